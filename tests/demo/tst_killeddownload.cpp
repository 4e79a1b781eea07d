// The real program killed (SIGKILL) at ten moments of a large download from tarnwick-demo and
// started again each time: in the end the databases are whole and hold exactly what the
// server serves, each spot and each comment number once, and the saved positions are the
// server's last articles.
//
// The moments are found from outside, as the program runs undisturbed: by its debug lines
// (every command and status line, the end of each range), by how much it has read or
// written since (the kernel's counters in /proc/PID/io) or by a write-ahead log it has just
// emptied into its database file. The program itself cannot be made
// to open a spot page without a window system, so for that moment this test program runs
// the same main window in a child process, opens a spot and is killed while it loads.
#include "demorun.h"
#include "democorpus.h"
#include "mainwindow.h"
#include "testmain.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <QTreeWidget>

#include <algorithm>
#include <csignal>

namespace {

// Two header ranges and three comment ranges: a range is in flight at every moment.
constexpr qint64 corpusSpots = 100000;
constexpr quint32 corpusSeed = 4242;
constexpr int momentTimeoutMs = 240000;
const char spotPageArgument[] = "--open-a-spot-page";

// Read and Written: the bytes the process has read or written since the line; LogEmptied:
// the database's write-ahead log is empty (a finished range was checkpointed into the file,
// and its position is saved right after).
enum class Counter { None, Read, Written, LogEmptied };

// Kill once the debug output has shown a line starting with `line` and then, if a counter
// is named, the program has read or written that many bytes more, or emptied that log.
struct Moment
{
    const char *name;
    bool compressed; // XZVER / XZHDR, or XOVER / XHDR
    QByteArray line;
    Counter counter = Counter::None;
    qint64 bytes = 0;
    bool spotPage = false; // the child's main window, with a spot opened
    const char *log = nullptr; // for LogEmptied
};

// In this order: each starts where the kill before it left the download. Every header range
// asked for costs the sanitizer-built server some 18 s to make, so only three moments ask.
const Moment moments[] = {
    {"while-the-databases-are-made", true, "Database map:"},
    // Pages of the open transaction spill into the write-ahead log.
    {"while-a-header-range-is-stored", true, "R: \"224", Counter::Written, 3 << 20},
    {"while-a-header-range-commits", true, "S: [einde van XOVER data]"},
    {"while-a-plain-header-range-streams-in", false, "R: \"224", Counter::Read, 4 << 20},
    {"as-a-comment-range-starts-to-arrive", true, "R: \"221"},
    {"while-a-plain-comment-range-streams-in", false, "R: \"221", Counter::Read, 1 << 20},
    {"while-a-comment-range-commits", true, "S: [einde van XHDR data]"},
    {"as-the-next-comment-range-is-asked-for", true, "S: \"XZHDR References 50002-"},
    {"between-a-plain-comment-range-and-its-position", false, "S: [einde van XHDR data]", Counter::LogEmptied, 0, false,
     "reactielijst.db-wal"},
    {"while-a-spot-page-loads", true, "R: \"220", Counter::None, 0, true},
};

qint64 ioCounter(qint64 processId, Counter counter)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(processId));
    if ((counter != Counter::Read && counter != Counter::Written) || !io.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray field = counter == Counter::Read ? "rchar: " : "wchar: ";
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).toLongLong();
    }
    return 0;
}

// The child: the program's main window, downloading in this test's profile, opens the
// first spot of "Alles" in its tab.
int openSpotPage(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    MainWindow window;
    window.show();
    auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
    tree->setCurrentItem(tree->topLevelItem(1));
    // Clicked as soon as the list shows a row: it may count its rows in the background.
    auto *list = window.findChild<QTableView *>(QStringLiteral("tableView"));
    QTimer opener;
    QObject::connect(&opener, &QTimer::timeout, [list, &opener] {
        const QModelIndex first = list->model()->index(0, 2);
        if (!first.isValid())
            return;
        opener.stop();
        Q_EMIT list->clicked(first);
    });
    opener.start(100);
    return application.exec();
}

} // namespace

class TestKilledDownload : public QObject
{
    Q_OBJECT

private:
    DemoServerProcess demo;
    qint64 now = QDateTime::currentSecsSinceEpoch();

    // Starts the program (or the child with its spot page) and waits for the moment, or with
    // no moment for the end of the whole download; then kills it.
    void runUntil(const Moment *moment);
    void checkSpots(const DemoCorpus &corpus);
    void checkCommentIndex(const DemoCorpus &corpus);

private Q_SLOTS:
    void initTestCase();
    // The rows run in order, in one profile: each is one start of the program, and one kill.
    void killedAt_data();
    void killedAt();
    // The last start runs to the end of the download.
    void theDownloadEndsWholeWithEverythingOnce();
    void cleanupTestCase();
};

void TestKilledDownload::initTestCase()
{
    demo.start({QStringLiteral("--spots"), QString::number(corpusSpots), QStringLiteral("--seed"),
                QString::number(corpusSeed), QStringLiteral("--now"), QString::number(now),
                QStringLiteral("--interval"), QStringLiteral("0")});
}

void TestKilledDownload::cleanupTestCase()
{
    demo.stop();
}

void TestKilledDownload::runUntil(const Moment *moment)
{
    DemoProfile::configure(demo.port(), moment ? moment->compressed : true);
    ErrorLog log;
    QProcess program;
    log.attach(program);
    program.setStandardOutputFile(QProcess::nullDevice());
    if (moment && moment->spotPage)
        program.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(spotPageArgument)});
    else
        program.start(QStringLiteral(TARNWICK_EXECUTABLE), QStringList());
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

    const qint64 before = DemoProfile::setting("lastheader");
    const qint64 commentsBefore = DemoProfile::setting("lastcommentsheader");
    QElapsedTimer clock;
    clock.start();
    bool lineSeen = false;
    qint64 counterStart = 0;
    bool logFilled = false;
    const auto reached = [&] {
        if (!moment) {
            return DemoProfile::setting("lastheader") == demo.spots()
                && DemoProfile::setting("lastcommentsheader") == demo.comments();
        }
        if (!lineSeen) {
            for (const QByteArray &line : log.newLines()) {
                if (line.startsWith(moment->line)) {
                    lineSeen = true;
                    counterStart = ioCounter(program.processId(), moment->counter);
                    break;
                }
            }
        }
        if (lineSeen && moment->counter == Counter::LogEmptied) {
            // Filled by the commit first: it may have been empty before.
            const qint64 size = QFileInfo(DemoProfile::databaseFile(QLatin1String(moment->log))).size();
            logFilled = logFilled || size > 0;
            return logFilled && size == 0;
        }
        return lineSeen && ioCounter(program.processId(), moment->counter) - counterStart >= moment->bytes;
    };
    // Polled without the event loop: the kill follows the line by a fraction of a millisecond.
    while (!reached()) {
        QVERIFY2(!program.waitForFinished(0), log.all().right(4000).constData());
        QVERIFY2(clock.elapsed() < momentTimeoutMs, moment ? moment->name : "the whole download");
        QThread::usleep(moment ? 200 : 100000);
    }
    ::kill(pid_t(program.processId()), SIGKILL);
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    QVERIFY2(log.faults().isEmpty(), log.faults().constData());
    // Where the kill fell: a commit that went through before its position was saved, say.
    qInfo("%s after %.1f s: lastheader %lld -> %lld with %lld spots, lastcommentsheader %lld -> %lld with %lld numbers",
          moment ? moment->name : "done", double(clock.elapsed()) / 1000, before, DemoProfile::setting("lastheader"),
          DatabaseReader(DemoProfile::databaseFile(QStringLiteral("spots.db")))
              .scalar(QStringLiteral("SELECT (SELECT count(*) FROM spots) + (SELECT count(*) FROM erospots)")),
          commentsBefore, DemoProfile::setting("lastcommentsheader"),
          DatabaseReader(DemoProfile::databaseFile(QStringLiteral("reactielijst.db")))
              .scalar(QStringLiteral("SELECT total(length(nrs)) / 4 FROM msgnrs")));
}

void TestKilledDownload::killedAt_data()
{
    QTest::addColumn<int>("moment");
    for (const Moment &moment : moments)
        QTest::newRow(moment.name) << int(&moment - moments);
}

void TestKilledDownload::killedAt()
{
    QFETCH(int, moment);
    runUntil(&moments[moment]);
}

void TestKilledDownload::theDownloadEndsWholeWithEverythingOnce()
{
    runUntil(nullptr);
    if (QTest::currentTestFailed())
        return;
    for (const char *file : {"spots.db", "cache.db", "reactielijst.db"})
        QCOMPARE(DatabaseReader(DemoProfile::databaseFile(QLatin1String(file))).integrity(), QStringLiteral("ok"));
    const DemoCorpus corpus({corpusSeed, corpusSpots, now});
    checkSpots(corpus);
    checkCommentIndex(corpus);
    QCOMPARE(DemoProfile::setting("lastheader"), corpus.spotCount());
    QCOMPARE(DemoProfile::setting("lastcommentsheader"), corpus.commentCount());
}

// Each spot once, in the table of its kind.
void TestKilledDownload::checkSpots(const DemoCorpus &corpus)
{
    QList<QByteArray> expected[2];
    for (qint64 number = 1; number <= corpus.spotCount(); ++number) {
        const DemoCorpus::Spot spot = corpus.spot(number);
        expected[spot.isErotic()].append(spot.key);
    }
    const DatabaseReader spots(DemoProfile::databaseFile(QStringLiteral("spots.db")));
    const char *tables[] = {"spots", "erospots"};
    for (int erotic = 0; erotic < 2; ++erotic) {
        QList<QByteArray> stored;
        QVERIFY(spots.forEachRow(QStringLiteral("SELECT msgid FROM ") + QLatin1String(tables[erotic]),
                                 [&stored](const QList<QVariant> &row) { stored.append(row.value(0).toByteArray()); }));
        std::sort(stored.begin(), stored.end());
        std::sort(expected[erotic].begin(), expected[erotic].end());
        const auto duplicate = std::adjacent_find(stored.cbegin(), stored.cend());
        QVERIFY2(duplicate == stored.cend(), duplicate == stored.cend() ? "" : duplicate->constData());
        QCOMPARE(stored.size(), expected[erotic].size());
        QVERIFY(stored == expected[erotic]);
    }
}

// Each comment number once, under the spot that its References name.
void TestKilledDownload::checkCommentIndex(const DemoCorpus &corpus)
{
    QList<qint64> spotOf(corpus.commentCount() + 1, 0);
    const DatabaseReader index(DemoProfile::databaseFile(QStringLiteral("reactielijst.db")));
    QHash<QByteArray, qint64> spotByKey;
    for (qint64 number = 1; number <= corpus.spotCount(); ++number)
        spotByKey.insert(corpus.spot(number).key, number);
    qint64 numbers = 0;
    QVERIFY(index.forEachRow(QStringLiteral("SELECT post,nrs FROM msgnrs"), [&](const QList<QVariant> &row) {
        const qint64 spot = spotByKey.value(row.value(0).toString().toLatin1());
        const QByteArray nrs = row.value(1).toByteArray();
        for (qsizetype at = 0; at + 4 <= nrs.size(); at += 4, ++numbers) {
            const qint64 number = qFromBigEndian<quint32>(nrs.constData() + at);
            if (number >= 1 && number < spotOf.size())
                spotOf[number] = spotOf[number] ? -1 : spot; // -1: indexed twice
        }
    }));
    QCOMPARE(numbers, corpus.commentCount());
    for (qint64 number = 1; number <= corpus.commentCount(); ++number)
        QVERIFY2(spotOf[number] == corpus.comment(number).spot, qPrintable(QString::number(number)));
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], spotPageArgument) == 0)
        return openSpotPage(argc, argv); // in the profile of the test that started it
    TestProfile profile;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    TestKilledDownload test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killeddownload.moc"
