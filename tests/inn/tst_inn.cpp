// Debian's INN as the news server: a private instance fed with the demo corpus, downloaded by
// the real program over plain NNTP and over TLS, and a spot page opened against it.
#include "articlefeed.h"
#include "commentnumberlist.h"
#include "democorpus.h"
#include "innserver.h"
#include "pagetext.h"
#include "privatetruststore.h"
#include "programprocess.h"
#include "spotdetailsstore.h"
#include "spotview.h"
#include "syncsession.h"
#include "testcertificate.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTabWidget>
#include <QThread>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr qint64 corpusSpots = 2000;
// A failed QTRY waits as long again to tell by how much: both within QtTest's five minutes.
constexpr int downloadTimeoutMs = 120000;
// The name in the readers' certificate; they listen on 127.0.0.1 only.
const QString serverName = QStringLiteral("localhost");
const QString commentHeading = QStringLiteral("Reactie van ");
constexpr qsizetype maxComments = 8;

using CommentIndex = QMap<QString, QList<quint32>>;

// The corpus as INN must number it: the spots in order, each followed by its NZB articles,
// then the comments. The NZBs are most of the work: made on every core.
QList<QByteArray> corpusArticles(const DemoCorpus &corpus)
{
    const qint64 workers = std::max(1, QThread::idealThreadCount());
    std::vector<QList<QByteArray>> stretches(size_t(workers) + 1);
    std::vector<std::thread> threads;
    for (qint64 worker = 0; worker < workers; ++worker) {
        threads.emplace_back([&corpus, &stretches, worker, workers] {
            QList<QByteArray> &articles = stretches[size_t(worker)];
            for (qint64 number = corpus.spotCount() * worker / workers + 1;
                 number <= corpus.spotCount() * (worker + 1) / workers; ++number) {
                const DemoCorpus::Spot spot = corpus.spot(number);
                articles += corpus.spotArticle(spot);
                articles += corpus.nzbArticles(spot);
            }
        });
    }
    for (qint64 number = 1; number <= corpus.commentCount(); ++number)
        stretches.back() += corpus.commentArticle(corpus.comment(number));
    QList<QByteArray> articles;
    for (size_t stretch = 0; stretch < stretches.size(); ++stretch) {
        if (stretch < threads.size())
            threads[stretch].join();
        articles += stretches[stretch];
    }
    return articles;
}

// The spot keys of the spot tables, sorted, each as often as it is stored.
QList<QByteArray> storedSpotKeys()
{
    QList<QByteArray> keys;
    for (const QVariantList &row :
         Observer(QStringLiteral("spots.db"))
             .rows(QStringLiteral("SELECT msgid FROM spots UNION ALL SELECT msgid FROM erospots")))
        keys += row.value(0).toByteArray();
    std::sort(keys.begin(), keys.end());
    return keys;
}

CommentIndex storedCommentIndex()
{
    CommentIndex index;
    for (const QVariantList &row :
         Observer(QStringLiteral("reactielijst.db")).rows(QStringLiteral("SELECT post, nrs FROM msgnrs"))) {
        QList<quint32> numbers = CommentNumberList::decode(row.value(1).toByteArray());
        std::sort(numbers.begin(), numbers.end());
        index.insert(row.value(0).toString(), numbers);
    }
    return index;
}

// The sizes in the details file by spot key, of the spots with details.
QMap<QByteArray, qint64> storedSizes()
{
    QMap<QByteArray, qint64> sizes;
    for (const QVariantList &row :
         Observer(SpotDetailsStore::fileName())
             .rows(QStringLiteral("SELECT CAST(msgid AS BLOB), size FROM details WHERE found")))
        sizes.insert(row.value(0).toByteArray(), row.value(1).toLongLong());
    return sizes;
}

qint64 setting(QLatin1StringView key)
{
    QSettings settings;
    settings.sync();
    return settings.value(key).toLongLong();
}

} // namespace

class TestInn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void downloadsWhatInnServes_data();
    void downloadsWhatInnServes();
    void spotPageFromInn();

private:
    const DemoCorpus corpus{{DemoCorpus::Options().seed, corpusSpots, 0}};
    std::unique_ptr<InnServer> inn;
};

// INN takes the corpus in number order, and so numbers it as the corpus does: free.pt 1 ... N,
// free.usenet 1 ... M, the NZBs in alt.binaries.ftd.
void TestInn::initTestCase()
{
    if (!InnServer::installed())
        QSKIP(
            "INN is not installed (Debian package inn2, which scripts/test installs): no real server to test against");
    if (geteuid() != 0)
        QSKIP("INN's servers run only as root (they switch to the user news) or as news");
    const TestCertificate certificate = TestCertificate::generate(serverName);
    QVERIFY(!certificate.isNull());
    QElapsedTimer timer;
    timer.start();
    inn = std::make_unique<InnServer>();
    QVERIFY2(inn->start({DemoCorpus::spotGroup, DemoCorpus::commentGroup, "alt.binaries.ftd"}, certificate),
             qPrintable(inn->output()));
    const qint64 started = timer.restart();

    const QList<QByteArray> articles = corpusArticles(corpus);
    const qint64 generated = timer.restart();
    ArticleFeed feed;
    QVERIFY2(feed.open(inn->feedPort()) && feed.send(articles),
             qPrintable(feed.error() + QLatin1Char('\n') + inn->output()));
    feed.close();
    qInfo("INN up in %lld ms; %lld spots, %lld comments, %lld articles in all made in %lld ms, fed in %lld ms", started,
          corpus.spotCount(), corpus.commentCount(), qint64(articles.size()), generated, timer.elapsed());
}

void TestInn::cleanup()
{
    if (inn)
        inn->stopReaders();
}

void TestInn::downloadsWhatInnServes_data()
{
    QTest::addColumn<InnServer::Reader>("reader");
    QTest::newRow("plain") << InnServer::Reader::Plain;
    QTest::newRow("tls") << InnServer::Reader::Tls;
}

// INN has no XZVER (500): the program falls back to XOVER, and ends with every spot once, the
// comment index of the corpus, its positions at INN's high marks and every spot's size from its
// HEAD, over two connections. Over TLS the program
// trusts INN's certificate through a trust store of its own in place of the system's.
void TestInn::downloadsWhatInnServes()
{
    QFETCH(InnServer::Reader, reader);
    const quint16 port = inn->startReader(reader);
    QVERIFY2(port != 0, qPrintable(inn->output()));
    SyncSession profile; // its settings and databases, cleared after
    profile.configure({{Settings::Key::server, serverName},
                       {Settings::Key::port, port},
                       {Settings::Key::ssl, reader == InnServer::Reader::Tls},
                       {Settings::Key::xzver, true},
                       {Settings::Key::detailsFetch, true},
                       {Settings::Key::detailsConnections, 2}});
    const PrivateTrustStore trustStore(inn->certificateFile());
    QVERIFY(trustStore.isValid());
    QProcess program;
    const QString executable = QStringLiteral(TARNWICK_EXECUTABLE);
    QElapsedTimer timer;
    timer.start();
    ProgramProcess::start(program,
                          reader == InnServer::Reader::Tls ? trustStore.wrap(program, executable) : executable);

    QTRY_COMPARE_WITH_TIMEOUT(setting(Settings::Key::lastCommentsHeader), corpus.commentCount(), downloadTimeoutMs);
    qInfo("downloaded in %lld ms", timer.elapsed());
    QTRY_COMPARE_WITH_TIMEOUT(storedSizes().size(), corpus.spotCount(), downloadTimeoutMs);
    qInfo("details in %lld ms", timer.elapsed());
    ProgramProcess::stop(program);
    QMap<QByteArray, qint64> sizes;
    for (qint64 number = 1; number <= corpus.spotCount(); ++number)
        sizes.insert(corpus.spot(number).key, corpus.spot(number).size);
    QCOMPARE(storedSizes(), sizes);
    QCOMPARE(setting(Settings::Key::lastHeader), corpus.spotCount());

    QList<QByteArray> keys;
    for (qint64 number = 1; number <= corpus.spotCount(); ++number)
        keys += corpus.spot(number).key;
    std::sort(keys.begin(), keys.end());
    QCOMPARE(storedSpotKeys(), keys);
    CommentIndex index;
    for (qint64 number = 1; number <= corpus.commentCount(); ++number)
        index[QString::fromLatin1(corpus.spot(corpus.comment(number).spot).key)] += quint32(number);
    QCOMPARE(storedCommentIndex(), index);
}

// A spot with signed comments, shown as a click shows it: the spot article and
// its NZB fetched by message-id, each comment by its number in free.usenet.
void TestInn::spotPageFromInn()
{
    const quint16 port = inn->startReader(InnServer::Reader::Plain);
    QVERIFY2(port != 0, qPrintable(inn->output()));
    auto session = std::make_unique<SyncSession>();
    session->refreshMs = downloadTimeoutMs; // no cycle after the first
    session->configure({{Settings::Key::port, port}});
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForNotice(SyncSession::cycleDone, 1, downloadTimeoutMs));

    // The page reads the NZB from its first article: a spot whose NZB has one, with a handful
    // of signed comments (the newest spots have hundreds).
    QMap<qint64, QList<DemoCorpus::Comment>> signedComments;
    for (qint64 number = 1; number <= corpus.commentCount(); ++number) {
        const DemoCorpus::Comment comment = corpus.comment(number);
        const DemoCorpus::Spot spot = corpus.spot(comment.spot);
        if (comment.isSigned && !spot.isErotic() && spot.nzbMessageIds.size() == 1)
            signedComments[spot.number] += comment;
    }
    qint64 chosen = 0;
    for (auto candidate = signedComments.cbegin(); candidate != signedComments.cend(); ++candidate) {
        if (candidate->size() <= maxComments && candidate->size() > signedComments.value(chosen).size())
            chosen = candidate.key();
    }
    const DemoCorpus::Spot spot = corpus.spot(chosen);
    // A comment posted twice, word for word, is shown once.
    QSet<QByteArray> distinct;
    QStringList headings;
    for (const DemoCorpus::Comment &comment : signedComments.value(chosen)) {
        const QByteArray key = comment.poster + '\n' + comment.text;
        if (!distinct.contains(key)) {
            distinct.insert(key);
            headings += commentHeading + QString::fromUtf8(comment.poster);
        }
    }
    QVERIFY(headings.size() > 1);
    QSqlQuery id(controller.spotsDatabase());
    id.prepare(QStringLiteral("SELECT id FROM spots WHERE msgid=?"));
    id.addBindValue(spot.key);
    QVERIFY(id.exec() && id.next());

    QTabWidget tabs;
    auto *view = new SpotView(&controller, &tabs, id.value(0).toInt(), QString::fromUtf8(spot.title), &tabs);
    QStringList rarFiles;
    for (const DemoCorpus::File &file : DemoCorpus::files(spot)) {
        if (file.name.endsWith(".rar"))
            rarFiles += QString::fromLatin1(file.name);
    }
    // The comments come one by one, after the NZB that was asked for urgently.
    QTRY_COMPARE_WITH_TIMEOUT(waitForText(view->webView(), commentHeading).count(commentHeading), headings.size(),
                              60000);
    const QString text = waitForText(view->webView(), rarFiles.last());
    // The RAR set's first and last file and the newsgroup come from the NZB.
    for (const QString &expected : QStringList{rarFiles.first(), QString::fromLatin1(spot.newsgroup)} + headings)
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in: ") + text));
    delete view;
    endSession(session);
}

TARNWICK_TEST_MAIN(TestInn)
#include "tst_inn.moc"
