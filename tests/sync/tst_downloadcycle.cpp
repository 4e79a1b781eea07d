// The download cycle end to end: which ranges are asked for, what a cycle leaves in the
// store and the settings, progress, expiry, and what a broken or abandoned range leaves.
#include "syncsession.h"
#include "testmain.h"

#include <QDateTime>
#include <QSignalSpy>

namespace {

const QString countSpots = QStringLiteral("SELECT count(*) FROM spots");
const QString countDistinctSpots = QStringLiteral("SELECT count(DISTINCT msgid) FROM spots");
const QString countIndexedSpots = QStringLiteral("SELECT count(*) FROM msgnrs");

QList<QByteArray> prefixed(const QByteArray &prefix, const QStringList &ranges)
{
    QList<QByteArray> commands;
    for (const QString &range : ranges)
        commands += prefix + range.toLatin1();
    return commands;
}

} // namespace

class TestDownloadCycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void ranges_data();
    void ranges();
    void noticesOfACycle_data();
    void noticesOfACycle();
    void laterCycleFetchesOnlyNewArticles();
    void droppedConnection_data();
    void droppedConnection();
    void rolledBackRangeTellsTheList();
    void expiry_data();
    void expiry();
    void maintenanceDuringRange_data();
    void maintenanceDuringRange();
    void deleteAllDuringCommentRange();
    void reconnectDuringRange();
    void dotLineInsideCompressedRange();
    void emptyRangesAnswered423_data();
    void emptyRangesAnswered423();
    void quitReachesServerOnDestruction();

private:
    std::unique_ptr<SyncSession> session;
};

void TestDownloadCycle::init()
{
    session = std::make_unique<SyncSession>();
}

void TestDownloadCycle::cleanup()
{
    endSession(session);
}

void TestDownloadCycle::ranges_data()
{
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::addColumn<qint64>("lastDone");
    QTest::addColumn<int>("maxSpots");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QStringList>("ranges");

    QTest::newRow("first-run-keeps-maxspots")
        << 1LL << 1000000LL << 0LL << 30000 << false << QStringList{QStringLiteral("970001-1000000")};
    QTest::newRow("continues-after-lastheader")
        << 1LL << 1000000LL << 999990LL << 30000 << false << QStringList{QStringLiteral("999991-1000000")};
    QTest::newRow("nothing-new") << 1LL << 1000000LL << 1000000LL << 30000 << false << QStringList();
    QTest::newRow("small-group-from-its-low")
        << 5000LL << 30000LL << 0LL << 30000 << false << QStringList{QStringLiteral("5000-30000")};
    const QStringList threeRanges
        = {QStringLiteral("1-50001"), QStringLiteral("50002-100002"), QStringLiteral("100003-120000")};
    QTest::newRow("three-ranges") << 1LL << 120000LL << 0LL << 200000 << false << threeRanges;
    QTest::newRow("three-compressed-ranges") << 1LL << 120000LL << 0LL << 200000 << true << threeRanges;
    QTest::newRow("empty-group") << 1001LL << 1000LL << 0LL << 30000 << false << QStringList();
    QTest::newRow("maxspots-0-fetches-the-newest")
        << 1LL << 1000LL << 0LL << 0 << false << QStringList{QStringLiteral("1000-1000")};
}

void TestDownloadCycle::ranges()
{
    QFETCH(qint64, low);
    QFETCH(qint64, high);
    QFETCH(qint64, lastDone);
    QFETCH(int, maxSpots);
    QFETCH(bool, compressed);
    QFETCH(QStringList, ranges);

    const QList<qint64> served = session->serveSpots(low, high, 10000);
    session->configure({{Settings::Key::lastHeader, lastDone},
                        {Settings::Key::lastCommentsHeader, lastDone},
                        {Settings::Key::maxSpots, maxSpots},
                        {Settings::Key::xzver, compressed}});
    Tarnwick &controller = session->start();
    if (ranges.isEmpty()) {
        // Nothing to fetch in either group: the cycle ends without a completion notice.
        QTRY_VERIFY(session->commands().size() >= 3);
        QCOMPARE(session->commands().mid(0, 3),
                 QList<QByteArray>({"GROUP free.pt", "GROUP free.usenet", "GROUP free.pt"}));
        QCOMPARE(countRows("spots", countSpots), 0);
        QCOMPARE(Settings::lastHeader(), lastDone);
        return;
    }
    QVERIFY(session->waitForCycle());

    QList<QByteArray> expected = {"GROUP free.pt"};
    expected += prefixed(compressed ? "XZVER " : "XOVER ", ranges);
    expected += "GROUP free.usenet";
    expected += prefixed(compressed ? "XZHDR References " : "XHDR References ", ranges);
    QCOMPARE(session->commands().mid(0, expected.size()), expected);

    const qint64 first = ranges.first().section(QLatin1Char('-'), 0, 0).toLongLong();
    const qint64 fetched = std::count_if(served.cbegin(), served.cend(), [&](qint64 n) { return n >= first; });
    QCOMPARE(countRows("spots", countSpots), fetched);
    QCOMPARE(countRows("commentlist", countIndexedSpots), fetched);
    QCOMPARE(controller.newSpotCount(), int(fetched));
    QCOMPARE(Settings::lastHeader(), high);
    QCOMPARE(Settings::lastCommentsHeader(), high);
}

void TestDownloadCycle::noticesOfACycle_data()
{
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::addColumn<QStringList>("notices");

    QTest::newRow("percentage-from-the-run-start")
        << 1000LL << 1400LL
        << QStringList{QStringLiteral("Bezig met binnenhalen van nieuwe headers"),
                       QStringLiteral("Headeren 1000 van 1400 (0% voltooid)"),
                       QStringLiteral("Headeren 1100 van 1400 (25% voltooid)"),
                       QStringLiteral("Headeren 1200 van 1400 (50% voltooid)"),
                       QStringLiteral("Headeren 1300 van 1400 (75% voltooid)"),
                       QStringLiteral("Headeren 1400 van 1400 (100% voltooid)"),
                       QStringLiteral("Klaar met headeren... 9 nieuwe spots, 9 totaal."),
                       QStringLiteral("Bezig met binnenhalen van nieuwe reactielijst"),
                       QStringLiteral("Headeren van reacties 0 van 1400"),
                       QStringLiteral("Headeren van reacties 1000 van 1400"),
                       QStringLiteral("Headeren van reacties 1100 van 1400"),
                       QStringLiteral("Headeren van reacties 1200 van 1400"),
                       QStringLiteral("Headeren van reacties 1300 van 1400"),
                       SyncSession::cycleDone};
    // The run start is the group's last article: the percentage divides by 1, not by 0.
    QTest::newRow("group-of-one-article")
        << 1000LL << 1000LL
        << QStringList{QStringLiteral("Bezig met binnenhalen van nieuwe headers"),
                       QStringLiteral("Headeren 1000 van 1000 (0% voltooid)"),
                       QStringLiteral("Klaar met headeren... 1 nieuwe spots, 1 totaal."),
                       QStringLiteral("Bezig met binnenhalen van nieuwe reactielijst"),
                       QStringLiteral("Headeren van reacties 0 van 1000"),
                       SyncSession::cycleDone};
}

void TestDownloadCycle::noticesOfACycle()
{
    QFETCH(qint64, low);
    QFETCH(qint64, high);
    QFETCH(QStringList, notices);

    session->serveSpots(low, high, 50);
    session->start();
    QVERIFY(session->waitForCycle());
    QCOMPARE(session->notices.mid(0, notices.size()), notices);
}

void TestDownloadCycle::laterCycleFetchesOnlyNewArticles()
{
    session->serveSpots(1000, 1400, 100);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    QSignalSpy newSpots(&controller, &Tarnwick::newSpots);

    // The refresh timer starts the next cycle; the group has grown meanwhile.
    session->server.addGroup(Tarnwick::spotGroup, 1000, 1800);
    session->server.addGroup(Tarnwick::commentGroup, 1000, 1800);
    for (qint64 number = 1500; number <= 1800; number += 100)
        session->addSpot(number);
    QVERIFY(session->waitForCycle(2));

    QCOMPARE(session->commands("XOVER"), QList<QByteArray>({"XOVER 1000-1400", "XOVER 1401-1800"}));
    QCOMPARE(session->commands("XHDR"), QList<QByteArray>({"XHDR References 1000-1400", "XHDR References 1401-1800"}));
    // The percentage keeps the start of the first run as its base.
    QVERIFY(session->notices.contains(QStringLiteral("Headeren 1600 van 1800 (75% voltooid)")));
    QVERIFY(session->notices.contains(QStringLiteral("Klaar met headeren... 9 nieuwe spots, 9 totaal.")));
    QCOMPARE(newSpots.count(), 1);
    QCOMPARE(countRows("spots", countSpots), 9);
    QCOMPARE(Settings::lastHeader(), 1800);
}

void TestDownloadCycle::droppedConnection_data()
{
    QTest::addColumn<QByteArray>("cutCommand");
    QTest::addColumn<int>("linesSent"); // of its reply, the status line included
    QTest::addColumn<bool>("articleQueued");

    // Three ranges of each group are asked for at once, so every cut falls inside a pipeline.
    // clang-format off
    QTest::newRow("first-range")            << QByteArray("XOVER 1-")                     << 11 << false;
    QTest::newRow("second-range")           << QByteArray("XOVER 50002-")                 << 11 << false;
    QTest::newRow("between-ranges")         << QByteArray("XOVER 50002-")                 << 0  << false;
    QTest::newRow("last-range")             << QByteArray("XOVER 100003-")                << 11 << false;
    QTest::newRow("article-in-the-pipe")    << QByteArray("XOVER 100003-")                << 11 << true;
    QTest::newRow("second-comment-range")   << QByteArray("XHDR References 50002-")       << 11 << false;
    QTest::newRow("between-comment-ranges") << QByteArray("XHDR References 50002-")       << 0  << false;
    QTest::newRow("comment-article-queued") << QByteArray("XHDR References 100003-")      << 11 << true;
    // clang-format on
}

// A connection cut anywhere in a pipeline of ranges: what was stored stays, the positions
// cover exactly what was stored, and after the reconnect every spot and comment is there
// once; an article on its way is answered once.
void TestDownloadCycle::droppedConnection()
{
    QFETCH(QByteArray, cutCommand);
    QFETCH(int, linesSent);
    QFETCH(bool, articleQueued);

    session->serveSpots(1, 120000, 1000);
    session->server.addArticle(Tarnwick::spotGroup, 1000, "spot1000@free.pt", "Subject: x\r\n\r\nbody\r\n");
    session->server.closeDuringReply(cutCommand, linesSent);
    Tarnwick &controller = session->create();
    QSignalSpy answers(&controller, &Tarnwick::articleData);
    QSignalSpy missing(&controller, &Tarnwick::articleNotFound);
    qint64 spots = -1, lastHeader = -1, index = -1, lastComments = -1;
    // Asked for while the group of the cut downloads.
    const QString during
        = cutCommand.startsWith("XHDR") ? QStringLiteral("Headeren van reacties ") : QStringLiteral("Headeren ");
    bool requested = false;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (articleQueued && !requested && text.startsWith(during)) {
            requested = true;
            controller.requestArticle("spot1000@free.pt", false);
        }
        if (!text.startsWith(QLatin1String("Fout: ")))
            return;
        spots = countRows("spots", countSpots);
        lastHeader = Settings::lastHeader();
        index = countRows("commentlist", countIndexedSpots);
        lastComments = Settings::lastCommentsHeader();
        session->server.clearScripts();
    });
    controller.connectToServer();

    // The client logs in again by itself and the next cycle fetches the broken range again.
    QVERIFY(session->waitForCycle());
    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout: ")).size(), 1);
    // A spot every 1000 articles: the positions name exactly what was stored when the
    // connection broke, and the range that broke is not among it.
    QCOMPARE(spots, lastHeader / 1000);
    QCOMPARE(index, lastComments / 1000);
    const qint64 cutFirst = cutCommand.mid(cutCommand.lastIndexOf(' ') + 1).chopped(1).toLongLong();
    QVERIFY((cutCommand.startsWith("XHDR") ? lastComments : lastHeader) < cutFirst);
    QCOMPARE(session->server.connectionCount(), 2);

    QCOMPARE(countRows("spots", countSpots), 120);
    QCOMPARE(countRows("spots", countDistinctSpots), 120);
    // Rows that were rolled back never counted as new.
    QCOMPARE(controller.newSpotCount(), 120);
    QCOMPARE(countRows("commentlist", countIndexedSpots), 120);
    // One comment per spot, indexed once.
    QCOMPARE(countRows("commentlist", QStringLiteral("SELECT count(*) FROM msgnrs WHERE length(nrs)<>4")), 0);
    QCOMPARE(Settings::lastHeader(), 120000);
    QCOMPARE(Settings::lastCommentsHeader(), 120000);
    QTRY_COMPARE(answers.count(), articleQueued ? 1 : 0);
    QCOMPARE(missing.count(), 0);
}

// The list may have read rows of a range while it was open; when the range is rolled back
// it must read again.
void TestDownloadCycle::rolledBackRangeTellsTheList()
{
    // No progress turn among these numbers: every line is stored before the drop is seen.
    session->server.addGroup(Tarnwick::spotGroup, 1, 1010);
    session->server.addGroup(Tarnwick::commentGroup, 1, 1010);
    for (qint64 number = 1001; number <= 1010; ++number)
        session->addSpot(number);
    session->server.closeDuringReply("XOVER", 11);
    Tarnwick &controller = session->create();
    QList<qint64> spotsWhenTold;
    connect(&controller, &Tarnwick::newSpots, this, [&] { spotsWhenTold += countRows("spots", countSpots); });
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (text.startsWith(QLatin1String("Fout: ")))
            session->server.clearScripts();
    });
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout: ")).size(), 1);
    // Once for the rollback, once for the range fetched again.
    QCOMPARE(spotsWhenTold, QList<qint64>({0, 10}));
    QCOMPARE(controller.newSpotCount(), 10);
}

void TestDownloadCycle::expiry_data()
{
    QTest::addColumn<int>("maxDays");
    QTest::addColumn<QStringList>("spotsLeft");
    QTest::addColumn<QStringList>("eroticSpotsLeft");
    // Spots that expire at the end of their own range never count as new.
    QTest::addColumn<int>("newSpots");
    QTest::addColumn<int>("newEroticSpots");
    QTest::addColumn<QString>("headersDone");

    QTest::newRow("never-expire") << 0
                                  << QStringList{QStringLiteral("oud"), QStringLiteral("ouder"),
                                                 QStringLiteral("nieuw")}
                                  << QStringList{QStringLiteral("ouder"), QStringLiteral("nieuw")} << 2 << 2
                                  << QStringLiteral("Klaar met headeren... 4 nieuwe spots, 5 totaal.");
    QTest::newRow("thirty-days") << 30 << QStringList{QStringLiteral("nieuw")} << QStringList{QStringLiteral("nieuw")}
                                 << 1 << 1 << QStringLiteral("Klaar met headeren... 2 nieuwe spots, 2 totaal.");
}

void TestDownloadCycle::expiry()
{
    QFETCH(int, maxDays);
    QFETCH(QStringList, spotsLeft);
    QFETCH(QStringList, eroticSpotsLeft);

    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 day = 86400;
    session->server.addGroup(Tarnwick::commentGroup, 1, 0);
    session->server.addOverview(Tarnwick::spotGroup, 1, spotLine(1, "ouder", now - 40 * day));
    session->server.addOverview(Tarnwick::spotGroup, 2, spotLine(2, "nieuw", now - 10 * day));
    session->server.addOverview(Tarnwick::spotGroup, 3, spotLine(3, "ouder", now - 40 * day, "9101"));
    session->server.addOverview(Tarnwick::spotGroup, 4, spotLine(4, "nieuw", now - 10 * day, "9101"));
    session->configure({{Settings::Key::maxDays, maxDays}});
    session->create();
    // A spot of an earlier download expires as well.
    QCOMPARE(selectRows("spots", QStringLiteral("INSERT INTO spots(cat,spotdate,title) VALUES (2,?,'oud')"),
                        {now - 100 * day}),
             QList<QVariantList>());
    session->controller->connectToServer();
    QVERIFY(session->waitForHeaders());

    const auto titles = [](const char *table) {
        QStringList found;
        for (const QVariantList &row : selectRows(
                 "spots", QStringLiteral("SELECT CAST(title AS TEXT) FROM %1 ORDER BY id").arg(QLatin1String(table))))
            found += row.first().toString();
        return found;
    };
    QCOMPARE(titles("spots"), spotsLeft);
    QCOMPARE(titles("erospots"), eroticSpotsLeft);
    QTEST(session->controller->newSpotCount(), "newSpots");
    QTEST(session->controller->newEroticSpotCount(), "newEroticSpots");
    QTEST(session->noticesStartingWith(SyncSession::headersDone).value(0), "headersDone");
}

void TestDownloadCycle::maintenanceDuringRange_data()
{
    QTest::addColumn<QString>("duringNotice");
    QTest::addColumn<bool>("deleteAll");
    QTest::addColumn<bool>("done");

    QTest::newRow("optimise-during-header-range") << QStringLiteral("Headeren 1000 ") << false << false;
    QTest::newRow("delete-during-header-range") << QStringLiteral("Headeren 1000 ") << true << false;
    QTest::newRow("optimise-during-comment-range") << QStringLiteral("Headeren van reacties 0 ") << false << true;
}

// A click in the window arrives in the event-loop turn that each progress notice allows.
void TestDownloadCycle::maintenanceDuringRange()
{
    QFETCH(QString, duringNotice);
    QFETCH(bool, deleteAll);
    QFETCH(bool, done);

    session->serveSpots(1, 2000, 100);
    Tarnwick &controller = session->create();
    std::optional<bool> result;
    qint64 spotsSeen = -1;
    const Observer observer(QStringLiteral("spots.db"));
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (!text.startsWith(duringNotice) || result)
            return;
        QMetaObject::invokeMethod(
            &controller,
            [&] {
                result = deleteAll ? controller.deleteAllSpots() : controller.optimizeDatabases();
                spotsSeen = observer.count(countSpots);
            },
            Qt::QueuedConnection);
    });
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QVERIFY(result.has_value());
    QCOMPARE(*result, done);
    if (!done) {
        // The range went on untouched, inside its transaction: nothing committed yet.
        QCOMPARE(spotsSeen, 0);
        QCOMPARE(countRows("spots", countSpots), 20);
        QCOMPARE(Settings::lastHeader(), 2000);
    }
}

// Emptying the store while a comment range downloads abandons that range: nothing of the
// old store is written back, and the next cycle starts from the beginning.
void TestDownloadCycle::deleteAllDuringCommentRange()
{
    session->serveSpots(1, 2000, 100);
    Tarnwick &controller = session->create();
    std::optional<bool> deleted;
    qint64 indexAtNextCycle = -1;
    qint64 positionAtNextCycle = -1;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (deleted && indexAtNextCycle < 0 && text == QLatin1String("Bezig met binnenhalen van nieuwe headers")) {
            indexAtNextCycle = countRows("commentlist", countIndexedSpots);
            positionAtNextCycle = Settings::lastCommentsHeader();
        }
        if (deleted || !text.startsWith(QLatin1String("Headeren van reacties 0 ")))
            return;
        QMetaObject::invokeMethod(
            &controller, [&] { deleted = controller.deleteAllSpots(); }, Qt::QueuedConnection);
    });
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QVERIFY(deleted.has_value());
    QVERIFY(*deleted);
    QCOMPARE(indexAtNextCycle, 0);
    QCOMPARE(positionAtNextCycle, 0);
    // The refresh timer started the cycle again, which completed this time.
    QCOMPARE(session->commands("GROUP free.pt").size(), 2);
    QCOMPARE(session->commands("XHDR"), QList<QByteArray>({"XHDR References 1-2000", "XHDR References 1-2000"}));
    QCOMPARE(session->noticesStartingWith(SyncSession::cycleDone).size(), 1);
    QCOMPARE(countRows("spots", countSpots), 20);
    QCOMPARE(countRows("commentlist", countIndexedSpots), 20);
    QCOMPARE(Settings::lastCommentsHeader(), 2000);
}

// A reconnect in the middle of a range (the settings dialog) abandons the range; the new
// client fetches it again, and nothing is stored twice.
void TestDownloadCycle::reconnectDuringRange()
{
    session->serveSpots(1, 2000, 100);
    Tarnwick &controller = session->create();
    bool reconnected = false;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (reconnected || !text.startsWith(QLatin1String("Headeren 1000 ")))
            return;
        reconnected = true;
        QMetaObject::invokeMethod(&controller, &Tarnwick::reconnectToServer, Qt::QueuedConnection);
    });
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QVERIFY(session->notices.contains(QStringLiteral("Instellingen gewijzigd")));
    QCOMPARE(session->server.connectionCount(), 2);
    QCOMPARE(session->commands("XOVER"), QList<QByteArray>({"XOVER 1-2000", "XOVER 1-2000"}));
    QCOMPARE(countRows("spots", countSpots), 20);
    QCOMPARE(countRows("spots", countDistinctSpots), 20);
    QCOMPARE(controller.newSpotCount(), 20);
    QCOMPARE(Settings::lastHeader(), 2000);
}

// A "." line in inflated overview data is a line like any other: the range commits once,
// with every spot, and the cycle goes on.
void TestDownloadCycle::dotLineInsideCompressedRange()
{
    session->serveSpots(1, 1000, 100);
    session->server.addOverview(Tarnwick::spotGroup, 450, ".\r\n");
    session->configure({{Settings::Key::xzver, true}});
    Tarnwick &controller = session->create();
    QSignalSpy newSpots(&controller, &Tarnwick::newSpots);
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->commands("XZVER"), QList<QByteArray>{"XZVER 1-1000"});
    QCOMPARE(session->noticesStartingWith(SyncSession::headersDone),
             QStringList{QStringLiteral("Klaar met headeren... 10 nieuwe spots, 10 totaal.")});
    QCOMPARE(newSpots.count(), 1);
    QCOMPARE(countRows("spots", countSpots), 10);
    QCOMPARE(Settings::lastHeader(), 1000);
    QCOMPARE(Settings::lastCommentsHeader(), 1000);
}

void TestDownloadCycle::emptyRangesAnswered423_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::newRow("xover-xhdr") << false;
    QTest::newRow("xzver-xzhdr") << true;
}

// A server that says "423 No articles in that range" has simply nothing new.
void TestDownloadCycle::emptyRangesAnswered423()
{
    QFETCH(bool, compressed);
    session->serveSpots(1, 200, 100);
    session->server.answer("X", "423 No articles in that range");
    session->configure({{Settings::Key::lastHeader, 100},
                        {Settings::Key::lastCommentsHeader, 100},
                        {Settings::Key::xzver, compressed}});
    session->start();
    QVERIFY(session->waitForCycle());

    const QList<QByteArray> expected = compressed
        ? QList<QByteArray>{"GROUP free.pt", "XZVER 101-200", "GROUP free.usenet", "XZHDR References 101-200"}
        : QList<QByteArray>{"GROUP free.pt", "XOVER 101-200", "GROUP free.usenet", "XHDR References 101-200"};
    QCOMPARE(session->commands().mid(0, expected.size()), expected);
    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout")), QStringList());
    QCOMPARE(session->server.connectionCount(), 1);
    QCOMPARE(countRows("spots", countSpots), 0);
    QCOMPARE(Settings::lastHeader(), 100);
    QCOMPARE(Settings::lastCommentsHeader(), 100);
}

// The program ends: its controller goes, and with it the client, right after QUIT.
void TestDownloadCycle::quitReachesServerOnDestruction()
{
    session->serveSpots(1, 200, 100);
    session->refreshMs = 600000;
    session->start();
    QVERIFY(session->waitForCycle());
    session->controller.reset();
    QTRY_COMPARE(session->commands().last(), "QUIT");
    QCOMPARE(session->commands("QUIT").size(), 1);
}

TARNWICK_TEST_MAIN(TestDownloadCycle)
#include "tst_downloadcycle.moc"
