#include "httptestbed.h"
#include "nzbfile.h"
#include "nzbsender.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

QStringList entries(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

// NZB files on disk, and the sender that puts them in a watch folder.
class TestNzbFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void fileNameFor_data();
    void fileNameFor();
    void writeIntoAppearsComplete();
    void writeIntoNeverOverwrites_data();
    void writeIntoNeverOverwrites();
    void writeIntoUnwritableDirectory_data();
    void writeIntoUnwritableDirectory();
    void writeAtReplaces();
    void writeAtUnwritable();

    void folderSender();
    void folderSenderFails_data();
    void folderSenderFails();
    void makePicksTheSender_data();
    void makePicksTheSender();
};

void TestNzbFile::fileNameFor_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("plain") << QStringLiteral("Mijn spot 2024") << QStringLiteral("Mijn spot 2024.nzb");
    QTest::newRow("slashes") << QStringLiteral("AC/DC\\Live") << QStringLiteral("AC_DC_Live.nzb");
    QTest::newRow("colon") << QStringLiteral("Film: deel 2") << QStringLiteral("Film_ deel 2.nzb");
    QTest::newRow("quotes-and-wildcards") << QStringLiteral("\"Citaat\" *?<>|") << QStringLiteral("_Citaat_ _____.nzb");
    QTest::newRow("control-characters") << QStringLiteral("a\tb\nc\u0001d\u007f") << QStringLiteral("a_b_c_d_.nzb");
    QTest::newRow("c1-control-character") << QStringLiteral("x\u0085y") << QStringLiteral("x_y.nzb");
    QTest::newRow("surrounding-blanks-and-dots") << QStringLiteral("  ..Titel.. ") << QStringLiteral("Titel.nzb");
    QTest::newRow("inner-dots-kept") << QStringLiteral("Serie.S01E02.1080p")
                                     << QStringLiteral("Serie.S01E02.1080p.nzb");
    QTest::newRow("only-dots") << QStringLiteral("...") << QStringLiteral("spot.nzb");
    QTest::newRow("only-blanks") << QStringLiteral("   ") << QStringLiteral("spot.nzb");
    QTest::newRow("empty") << QString() << QStringLiteral("spot.nzb");
    QTest::newRow("accents-kept") << QStringLiteral("\u00c9\u00e9n \u2013 \u00fc")
                                  << QStringLiteral("\u00c9\u00e9n \u2013 \u00fc.nzb");
    QTest::newRow("long-title-cut-at-200-bytes")
        << QString(300, QChar(0xe9)) << QString(100, QChar(0xe9)) + QStringLiteral(".nzb");
    QTest::newRow("long-title-cut-then-trimmed")
        << QString(199, u'a') + QStringLiteral(" bbb") << QString(199, u'a') + QStringLiteral(".nzb");
    QString emoji = QStringLiteral("a");
    for (int i = 0; i < 60; ++i)
        emoji += QStringLiteral("\U0001F600");
    QTest::newRow("long-title-never-splits-a-character") << emoji << emoji.left(1 + 2 * 49) + QStringLiteral(".nzb");
}

void TestNzbFile::fileNameFor()
{
    QFETCH(QString, title);
    QTEST(NzbFile::fileNameFor(title), "fileName");
}

void TestNzbFile::writeIntoAppearsComplete()
{
    const QTemporaryDir dir;
    const QByteArray nzb = threeFileNzb();
    QString error;
    const std::optional<QString> path = NzbFile::writeInto(dir.path(), QStringLiteral("Mijn spot.nzb"), nzb, &error);
    QVERIFY2(path, qPrintable(error));
    QCOMPARE(*path, dir.filePath(QStringLiteral("Mijn spot.nzb")));
    QCOMPARE(contents(*path), nzb);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Mijn spot.nzb")}); // no temporary file left
    // Readable by a downloader running as another user, as the umask allows.
    QVERIFY(QFile::permissions(*path) & QFile::ReadOwner);
}

void TestNzbFile::writeIntoNeverOverwrites_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("written");

    QTest::newRow("free") << QStringList() << QStringLiteral("Spot.nzb");
    QTest::newRow("taken") << QStringList{QStringLiteral("Spot.nzb")} << QStringLiteral("Spot (2).nzb");
    QTest::newRow("taken-twice") << QStringList{QStringLiteral("Spot.nzb"), QStringLiteral("Spot (2).nzb")}
                                 << QStringLiteral("Spot (3).nzb");
    QTest::newRow("gap-is-used") << QStringList{QStringLiteral("Spot.nzb"), QStringLiteral("Spot (3).nzb")}
                                 << QStringLiteral("Spot (2).nzb");
}

void TestNzbFile::writeIntoNeverOverwrites()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, written);
    const QTemporaryDir dir;
    for (const QString &name : existing)
        QVERIFY(put(dir.filePath(name), "old " + name.toUtf8()));

    QString error;
    const std::optional<QString> path = NzbFile::writeInto(dir.path(), QStringLiteral("Spot.nzb"), "new", &error);
    QVERIFY2(path, qPrintable(error));
    QCOMPARE(*path, dir.filePath(written));
    QCOMPARE(contents(*path), QByteArray("new"));
    for (const QString &name : existing)
        QCOMPARE(contents(dir.filePath(name)), "old " + name.toUtf8());
    QStringList all = existing + QStringList{written};
    all.sort();
    QCOMPARE(entries(dir.path()), all);
}

void TestNzbFile::writeIntoUnwritableDirectory_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("not-a-directory") << QStringLiteral("file");
    QTest::newRow("read-only") << QStringLiteral("read-only");
}

void TestNzbFile::writeIntoUnwritableDirectory()
{
    QFETCH(QString, kind);
    const QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("map"));
    if (kind == QLatin1StringView("file")) {
        QVERIFY(put(target, "no directory"));
    } else if (kind == QLatin1StringView("read-only")) {
        QVERIFY(QDir().mkdir(target));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
        // Permissions do not stop root; /proc takes no new files from anyone.
        if (::geteuid() == 0)
            target = QStringLiteral("/proc");
    }

    QString error;
    QVERIFY(!NzbFile::writeInto(target, QStringLiteral("Spot.nzb"), "nzb", &error));
    const QString expected = QStringLiteral("Kan de map '%1' niet schrijven: ").arg(target);
    QVERIFY2(error.startsWith(expected), qPrintable(error));
    QVERIFY(error.size() > expected.size()); // with the reason
    if (target != QLatin1StringView("/proc"))
        QVERIFY(!QFile::exists(target + QStringLiteral("/Spot.nzb")));
    QFile::setPermissions(dir.filePath(QStringLiteral("map")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestNzbFile::writeAtReplaces()
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gekozen.nzb"));
    QVERIFY(put(path, "an older and longer file"));
    QString error;
    QVERIFY2(NzbFile::writeAt(path, "new", &error), qPrintable(error));
    QCOMPARE(contents(path), QByteArray("new"));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("gekozen.nzb")});
}

void TestNzbFile::writeAtUnwritable()
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("weg/gekozen.nzb"));
    QString error;
    QVERIFY(!NzbFile::writeAt(path, "new", &error));
    QVERIFY2(error.startsWith(QStringLiteral("Kan '%1' niet schrijven: ").arg(path)), qPrintable(error));
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestNzbFile::folderSender()
{
    const QTemporaryDir dir;
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::Folder;
    handOff.folder = dir.path();
    const auto sender = NzbSender::make(handOff);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);

    const QByteArray nzb = threeFileNzb();
    sender->send({QStringLiteral("Mijn: spot"), QStringLiteral("Films"), "spot@free.pt", nzb});
    QVERIFY(sent.isEmpty() && failed.isEmpty()); // never from inside send()
    QVERIFY(sent.wait());
    const QString path = dir.filePath(QStringLiteral("Mijn_ spot.nzb"));
    QCOMPARE(sent.takeFirst().value(0).toString(), QStringLiteral("NZB in map gezet: ") + path);
    QCOMPARE(contents(path), nzb);

    sender->send({QStringLiteral("Mijn: spot"), QString(), "spot@free.pt", nzb});
    QVERIFY(sent.wait());
    QCOMPARE(sent.takeFirst().value(0).toString(),
             QStringLiteral("NZB in map gezet: ") + dir.filePath(QStringLiteral("Mijn_ spot (2).nzb")));
    QVERIFY(failed.isEmpty());
}

void TestNzbFile::folderSenderFails_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("reason"); // its start
    QTest::newRow("no-folder") << QString() << QStringLiteral("Er is geen map voor de NZB-bestanden ingesteld");
    QTest::newRow("missing-folder") << QStringLiteral("/nonexistent/tarnwick")
                                    << QStringLiteral("Kan de map '/nonexistent/tarnwick' niet schrijven: ");
}

void TestNzbFile::folderSenderFails()
{
    QFETCH(QString, folder);
    QFETCH(QString, reason);
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::Folder;
    handOff.folder = folder;
    const auto sender = NzbSender::make(handOff);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    sender->send({QStringLiteral("Spot"), QString(), "spot@free.pt", "nzb"});
    QVERIFY(failed.isEmpty());
    QVERIFY(failed.wait());
    const QString text = failed.takeFirst().value(0).toString();
    QVERIFY2(text.startsWith(reason), qPrintable(text));
    QVERIFY(sent.isEmpty());
}

void TestNzbFile::makePicksTheSender_data()
{
    using Destination = Settings::NzbHandOff::Destination;
    QTest::addColumn<Destination>("destination");
    QTest::addColumn<QByteArray>("className");
    QTest::newRow("save") << Destination::Save << QByteArray();
    QTest::newRow("folder") << Destination::Folder << QByteArray("FolderSender");
    QTest::newRow("nzbget") << Destination::NzbGet << QByteArray("NzbGetSender");
    QTest::newRow("sabnzbd") << Destination::Sabnzbd << QByteArray("SabnzbdSender");
}

void TestNzbFile::makePicksTheSender()
{
    using Destination = Settings::NzbHandOff::Destination;
    QFETCH(Destination, destination);
    QFETCH(QByteArray, className);
    Settings::NzbHandOff handOff;
    handOff.destination = destination;
    QObject parent;
    const auto sender = NzbSender::make(handOff, &parent);
    QCOMPARE(sender ? QByteArray(sender->metaObject()->className()) : QByteArray(), className);
    if (sender)
        QCOMPARE(sender->parent(), &parent);
}

TARNWICK_TEST_MAIN(TestNzbFile)
#include "tst_nzbfile.moc"
