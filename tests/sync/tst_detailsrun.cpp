// The details run against the test server: every spot's HEAD, pipelined, into spotdetails.db
// and the cache, over one or two connections, after the articles that pages ask for.
#include "detailsrun.h"
#include "spotarticles.h"
#include "spotxml.h"
#include "syncsession.h"
#include "testmain.h"

#include <QSignalSpy>

namespace {

const QByteArray otherGroup = "alt.binaries.test";

// Spot n has a size of n KB, except every seventh (a HEAD without X-XML) and every eleventh
// (gone: 430).
bool withoutXml(qint64 number)
{
    return number % 7 == 0;
}

bool gone(qint64 number)
{
    return number % 11 == 0;
}

qint64 sizeOf(qint64 number)
{
    return number * 1024;
}

} // namespace

class TestDetailsRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void detailsOfEverySpot();
    void windowOfHeads_data();
    void windowOfHeads();
    void cutMidWindow();
    void headThatAlwaysBreaks();
    void answeredSpotsAreNotAskedAgain();
    void unsendableKeysAreNeverAsked();
    void pageArticlesGoFirst();
    void twoConnectionsShareTheWork();
    void offAsksNothing();
    void pageReadsTheCachedHeader();
    void deleteAllSpotsClearsDetails();

private:
    // Spots 1 to count, with their articles; starts the controller with these settings.
    void serve(qint64 count, const QVariantMap &settings = {});
    // Until every spot is answered (the details' last progress).
    bool waitForDetails(int timeoutMs = 30000);
    // Until the spot group was up to date this many times: as many cycles began.
    bool waitForCycles(int times)
    {
        return QTest::qWaitFor([&] { return cycles->size() >= times; }, 30000);
    }
    void verifyStored(qint64 count);

    std::unique_ptr<SyncSession> session;
    std::unique_ptr<QSignalSpy> progress;
    std::unique_ptr<QSignalSpy> cycles;
};

void TestDetailsRun::init()
{
    session = std::make_unique<SyncSession>();
    session->refreshMs = 600000;
}

void TestDetailsRun::cleanup()
{
    progress.reset();
    cycles.reset();
    endSession(session);
}

void TestDetailsRun::serve(qint64 count, const QVariantMap &settings)
{
    session->serveSpots(1, count, 1);
    for (qint64 number = 1; number <= count; ++number) {
        if (gone(number))
            continue;
        const QByteArray id = "spot" + QByteArray::number(number) + "@free.pt";
        const QByteArray xml = SpotArticles::spotXml({{"Title", "Spot " + QByteArray::number(number)},
                                                      {"Description", "Beschrijving"},
                                                      {"Size", QByteArray::number(sizeOf(number))}});
        session->server.addArticle(Tarnwick::spotGroup, number, id,
                                   withoutXml(number) ? QByteArray("Subject: geen xml\n\nInhoud\n")
                                                      : SpotArticles::spot(xml));
    }
    QVariantMap withDetails{{Settings::Key::detailsFetch, true}};
    withDetails.insert(settings);
    session->configure(withDetails);
    Tarnwick &controller = session->create();
    progress = std::make_unique<QSignalSpy>(&controller, &Tarnwick::detailsProgress);
    cycles = std::make_unique<QSignalSpy>(&controller, &Tarnwick::spotsUpToDate);
    controller.connectToServer();
}

bool TestDetailsRun::waitForDetails(int timeoutMs)
{
    return QTest::qWaitFor(
        [this] {
            return !progress->isEmpty() && progress->last().at(0) == progress->last().at(1)
                && progress->last().at(1).toLongLong() > 0;
        },
        timeoutMs);
}

void TestDetailsRun::verifyStored(qint64 count)
{
    qint64 found = 0;
    for (qint64 number = 1; number <= count; ++number)
        found += !withoutXml(number) && !gone(number);
    const Observer details(SpotDetailsStore::fileName());
    QCOMPARE(details.count(QStringLiteral("SELECT count(*) FROM details")), count);
    QCOMPARE(details.count(QStringLiteral("SELECT count(*) FROM details WHERE found")), found);
    // The spot key is "spot" and the article number.
    QCOMPARE(details.count(QStringLiteral(
                 "SELECT count(*) FROM details WHERE found AND size=CAST(substr(msgid,5) AS INTEGER)*1024")),
             found);
}

void TestDetailsRun::detailsOfEverySpot()
{
    serve(2500);
    QVERIFY(waitForDetails());
    verifyStored(2500);
    QCOMPARE(session->commands("HEAD").size(), 2500);
    QCOMPARE(progress->last(), QVariantList({qint64(2500), qint64(2500)}));
}

void TestDetailsRun::windowOfHeads_data()
{
    QTest::addColumn<int>("connections");
    // clang-format off
    QTest::newRow("one connection")  << 1;
    QTest::newRow("two connections") << 2;
    // clang-format on
}

void TestDetailsRun::windowOfHeads()
{
    QFETCH(int, connections);
    // HEADs never answered: what is asked is what the window allows.
    session->server.stayQuiet("HEAD");
    serve(2500, {{Settings::Key::detailsConnections, connections}});
    QTRY_COMPARE(session->commands("HEAD").size(), connections * DetailsRun::window);
    QCOMPARE(session->server.connectionCount(), connections);
    const QList<QByteArray> heads = session->commands("HEAD");
    QCOMPARE(QSet<QByteArray>(heads.cbegin(), heads.cend()).size(), heads.size());
}

void TestDetailsRun::cutMidWindow()
{
    // A HEAD of the second batch (spots 1500 to 501) ends the connection, once.
    session->server.closeDuringReply("HEAD <spot1000@free.pt>", 2);
    serve(2500);
    QObject::connect(session->controller.get(), &Tarnwick::notice, session->controller.get(),
                     [this](int, const QString &text) {
                         if (text.startsWith(QLatin1String("Fout: ")))
                             session->server.clearScripts();
                     });
    QVERIFY(waitForDetails());
    verifyStored(2500);
    const QList<QByteArray> heads = session->commands("HEAD");
    QCOMPARE(QSet<QByteArray>(heads.cbegin(), heads.cend()).size(), 2500);
    // The first batch (spots 2500 to 1501) was stored before the cut and is not asked again.
    QCOMPARE(heads.count("HEAD <spot2000@free.pt>"), 1);
    QCOMPARE(heads.count("HEAD <spot1000@free.pt>"), 2);
}

void TestDetailsRun::headThatAlwaysBreaks()
{
    session->server.closeDuringReply("HEAD <spot50@free.pt>", 1);
    serve(100);
    QVERIFY(waitForDetails());
    QCOMPARE(session->commands("HEAD <spot50@free.pt>").size(), DetailsRun::headTries);
    const Observer details(SpotDetailsStore::fileName());
    QCOMPARE(
        details.count(QStringLiteral("SELECT count(*) FROM details WHERE CAST(msgid AS TEXT)='spot50' AND NOT found")),
        1);
    QCOMPARE(details.count(QStringLiteral("SELECT count(*) FROM details")), 100);
    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout: ")).size(), DetailsRun::headTries);
}

void TestDetailsRun::answeredSpotsAreNotAskedAgain()
{
    session->refreshMs = 50;
    serve(300);
    QVERIFY(waitForDetails());
    QVERIFY(waitForCycles(3));
    QCOMPARE(session->commands("HEAD").size(), 300);
    verifyStored(300);
}

// Spots whose keys cannot go into a command (a space; a CR with a second command after it)
// end without details, and nothing but whole, well-formed HEADs reaches the server.
void TestDetailsRun::unsendableKeysAreNeverAsked()
{
    serve(4);
    session->server.addOverview(Tarnwick::spotGroup, 2, spotLine(2, "Spot 2", 1600000120, "2101a01", "sp ot2"));
    session->server.addOverview(Tarnwick::spotGroup, 3,
                                spotLine(3, "Spot 3", 1600000180, "2101a01", "x>\rQUIT\r<spot3"));
    QVERIFY(waitForDetails());
    const Observer details(SpotDetailsStore::fileName());
    QCOMPARE(details.count(QStringLiteral("SELECT count(*) FROM details")), 4);
    QCOMPARE(details.count(QStringLiteral("SELECT count(*) FROM details WHERE found")), 2);
    QCOMPARE(session->commands("HEAD"), QList<QByteArray>({"HEAD <spot4@free.pt>", "HEAD <spot1@free.pt>"}));
    QCOMPARE(session->commands("QUIT"), QList<QByteArray>());
}

void TestDetailsRun::pageArticlesGoFirst()
{
    session->server.addArticle(otherGroup, 1, "a1@free.pt", "Subject: a1\n\nInhoud\n");
    session->server.setLatency(20);
    serve(3000);
    QTRY_VERIFY(!session->commands("HEAD").isEmpty());
    Tarnwick &controller = *session->controller;
    QSignalSpy articles(&controller, &ArticleSource::articleData);
    const qsizetype headsBefore = session->commands("HEAD").size();
    controller.requestArticle("a1@free.pt", false);
    QTRY_COMPARE(articles.size(), 1);
    const QList<QByteArray> commands = session->commands();
    const qsizetype article = commands.indexOf("ARTICLE <a1@free.pt>");
    QVERIFY(article > 0);
    // No more than the window went after the request: the rest waited for the article.
    const qsizetype headsAhead = std::count_if(commands.cbegin(), commands.cbegin() + article,
                                               [](const QByteArray &command) { return command.startsWith("HEAD"); });
    QVERIFY2(headsAhead <= headsBefore + DetailsRun::window, qPrintable(QString::number(headsAhead)));
    QVERIFY(headsAhead < 3000);
    QVERIFY(waitForDetails());
    verifyStored(3000);
}

void TestDetailsRun::twoConnectionsShareTheWork()
{
    serve(2500, {{Settings::Key::detailsConnections, 2}});
    QVERIFY(waitForDetails());
    verifyStored(2500);
    QCOMPARE(session->commands("HEAD").size(), 2500);
    QCOMPARE(session->server.connectionCount(), 2);
}

void TestDetailsRun::offAsksNothing()
{
    session->refreshMs = 50;
    serve(300, {{Settings::Key::detailsFetch, false}});
    QVERIFY(waitForCycles(2));
    QCOMPARE(session->commands("HEAD"), QList<QByteArray>());
    QCOMPARE(progress->size(), 0);
}

void TestDetailsRun::pageReadsTheCachedHeader()
{
    serve(30);
    QVERIFY(waitForDetails());
    Tarnwick &controller = *session->controller;
    QSignalSpy articles(&controller, &ArticleSource::articleData);
    controller.requestArticle("spot5@free.pt", false);
    QCOMPARE(articles.size(), 1); // inside the call, from the cache
    const std::optional<SpotFields> fields = SpotFields::parseArticle(articles.first().at(1).toByteArray());
    QVERIFY(fields);
    QCOMPARE(fields->size, sizeOf(5));
    QCOMPARE(session->commands("ARTICLE"), QList<QByteArray>());
    // Kept apart from whole articles: a fetch of the article itself never finds it.
    const Observer cache(QStringLiteral("cache.db"));
    QCOMPARE(cache.count(QStringLiteral("SELECT count(*) FROM cache WHERE CAST(id AS TEXT)='spot5@free.pt'")), 0);
    QCOMPARE(cache.count(QStringLiteral("SELECT count(*) FROM cache WHERE CAST(id AS TEXT)='head spot5@free.pt'")), 1);
}

void TestDetailsRun::deleteAllSpotsClearsDetails()
{
    serve(30);
    QVERIFY(waitForDetails());
    QVERIFY(session->controller->deleteAllSpots());
    QCOMPARE(progress->last(), QVariantList({qint64(0), qint64(0)}));
    const Observer details(SpotDetailsStore::fileName());
    QCOMPARE(details.count(QStringLiteral("SELECT count(*) FROM details")), 0);
}

TARNWICK_TEST_MAIN(TestDetailsRun)
#include "tst_detailsrun.moc"
