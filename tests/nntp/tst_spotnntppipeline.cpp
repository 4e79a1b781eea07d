#include "nntptestbed.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>

namespace {

// Every result of a client as one short text, in the order the signals came.
struct ResultLog
{
    explicit ResultLog(SpotNNTP *client)
    {
        QObject::connect(client, &SpotNNTP::groupResponse, client, [this, client](const QByteArray &group) {
            add("group " + group + " current " + client->currentGroup());
        });
        QObject::connect(client, &SpotNNTP::headerLine, client, [this](const QByteArray &line) {
            add(line == ".\r\n" ? QByteArray("end") : "line " + line.left(line.indexOf('\t')));
        });
        QObject::connect(client, &SpotNNTP::xroverLine, client, [this](qint64 number, const QByteArray &references) {
            add("refs " + QByteArray::number(number) + ' ' + references);
        });
        QObject::connect(client, &SpotNNTP::articleData, client,
                         [this](const QByteArray &id) { add("article " + id); });
        QObject::connect(client, &SpotNNTP::headData, client, [this](const QByteArray &id) { add("head " + id); });
        QObject::connect(client, &SpotNNTP::articleNotFound, client,
                         [this](const QByteArray &id) { add("missing " + id); });
        QObject::connect(client, &SpotNNTP::error, client,
                         [this](int code) { add("error " + QByteArray::number(code)); });
    }

    void add(const QByteArray &entry)
    {
        // A result handed on while a slot still handles the one before breaks the order.
        entries += handling ? "NESTED " + entry : entry;
    }

    QList<QByteArray> entries;
    bool handling = false;
};

QList<QByteArray> overviewEntries(qint64 first, qint64 last)
{
    QList<QByteArray> entries;
    for (qint64 number = first; number <= last; ++number)
        entries += "line " + QByteArray::number(number);
    return entries << "end";
}

// Milliseconds until the client has the HEADs of requests comments, all asked at once; -1 when
// they are not all answered within 20 s.
qint64 headsMs(ClientUnderTest &c, int requests)
{
    QElapsedTimer timer;
    timer.start();
    for (int request = 0; request < requests; ++request)
        c->fetchHead(TestCorpus::commentId);
    return QTest::qWaitFor([&] { return c->pendingCommands() == 0; }, 20'000) ? timer.elapsed() : -1;
}

} // namespace

// Commands issued while earlier ones are outstanding: written ahead of their replies, and
// their results handed on in command order, each exactly once.
class TestSpotNNTPPipeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void overviewRanges_data();
    void overviewRanges();
    void mixedCommands();
    void refusalInTheMiddle_data();
    void refusalInTheMiddle();
    void connectionCutInTheMiddle();
    void compressionRefusedInPipe();
    void slotRunsEventLoop();
    void oneRoundTripUnderLatency_data();
    void oneRoundTripUnderLatency();
    void smallRepliesShareTheRate();

private:
    ClientTestBed bed;
};

void TestSpotNNTPPipeline::init()
{
    QVERIFY(bed.start());
}

void TestSpotNNTPPipeline::cleanup()
{
    CLIENT_TEST_CLEANUP(bed);
}

void TestSpotNNTPPipeline::overviewRanges_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("sentByFirstEnd"); // commands the server had when the first range ended
    QTest::newRow("plain") << false << SpotNNTP::defaultPipelineDepth << 5;
    // The connection's first compressed command goes alone, until the server has answered it.
    QTest::newRow("compressed") << true << SpotNNTP::defaultPipelineDepth << 2;
    QTest::newRow("depth-1") << false << 1 << 2;
}

void TestSpotNNTPPipeline::overviewRanges()
{
    QFETCH(bool, compressed);
    QFETCH(int, depth);
    ClientUnderTest &c = bed.makeClient(compressed);
    c->setPipelineDepth(depth);
    ResultLog log(c.client);
    QVERIFY(c.logIn());
    qsizetype sentByFirstEnd = -1;
    connect(c.client, &SpotNNTP::headerLine, this, [&](const QByteArray &line) {
        if (line == ".\r\n" && sentByFirstEnd < 0)
            sentByFirstEnd = bed.server->receivedCommands().size();
    });

    c->selectGroup(TestCorpus::spotGroup);
    QList<QByteArray> expected{"group free.pt current free.pt"};
    for (qint64 first = 1; first <= 1000; first += 250) {
        c->fetchOverview(first, first + 249);
        expected += overviewEntries(first, first + 249);
    }
    QCOMPARE(c->pendingCommands(), 5);
    QVERIFY(!c->isReady());
    QVERIFY(c.waitForOverviewEnd(4));
    QCOMPARE(log.entries, expected);
    QVERIFY(c->isReady());
    QCOMPARE(c->pendingCommands(), 0);
    QCOMPARE(bed.server->receivedCommands().size(), 5);
    QTEST(int(sentByFirstEnd), "sentByFirstEnd");
}

void TestSpotNNTPPipeline::mixedCommands()
{
    ClientUnderTest &c = bed.makeClient();
    ResultLog log(c.client);
    QVERIFY(c.logIn());

    c->selectGroup(TestCorpus::commentGroup);
    c->fetchReferences(1, 4);
    c->fetchArticle("3");
    c->fetchHead(TestCorpus::commentId);
    c->fetchArticle("gone@free.pt");
    c->fetchHead("a\r\nQUIT"); // not sent, answered in its turn
    c->selectGroup(TestCorpus::spotGroup);
    QCOMPARE(c->currentGroup(), QByteArray()); // follows the replies
    QCOMPARE(c->currentArticle(), QByteArray("3"));
    c->fetchOverview(7, 8);
    c->fetchArticle("3"); // a number of the spot group now
    QTRY_COMPARE(c->pendingCommands(), 0);
    const QList<QByteArray> expected{"group free.usenet current free.usenet",
                                     "refs 1 <key1@free.pt>",
                                     "refs 3 ",
                                     "refs 4 <key4@free.pt>",
                                     "refs -1 .",
                                     "article 3",
                                     "head c3@free.usenet",
                                     "missing gone@free.pt",
                                     "missing a\r\nQUIT",
                                     "group free.pt current free.pt",
                                     "line 7",
                                     "line 8",
                                     "end",
                                     "missing 3"};
    QCOMPARE(log.entries, expected);
    QVERIFY(!bed.server->receivedCommands().join('\n').contains("QUIT"));
    QVERIFY(c->isReady());
}

void TestSpotNNTPPipeline::refusalInTheMiddle_data()
{
    QTest::addColumn<QByteArray>("refused");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QList<QByteArray>>("after"); // the results after the first range's
    // clang-format off
    QTest::newRow("references-kept") << QByteArray("XHDR") << QByteArray("503 No overview")
                                     << QList<QByteArray>{"error 9997", "missing 3", "line 3", "end"};
    QTest::newRow("range-empty-423") << QByteArray("XHDR") << QByteArray("423 No articles in that range")
                                     << QList<QByteArray>{"refs -1 .", "missing 3", "line 3", "end"};
    QTest::newRow("article-resets")  << QByteArray("ARTICLE") << QByteArray("502 Permission denied")
                                     << QList<QByteArray>{"refs 1 x", "refs -1 .", "error 502"};
    // clang-format on
}

void TestSpotNNTPPipeline::refusalInTheMiddle()
{
    QFETCH(QByteArray, refused);
    QFETCH(QByteArray, status);
    QFETCH(QList<QByteArray>, after);
    bed.server->addReferences(TestCorpus::spotGroup, 1, "x");
    bed.server->answer(refused, status);
    ClientUnderTest &c = bed.makeClient();
    ResultLog log(c.client);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));

    c->fetchOverview(1, 2);
    c->fetchReferences(1, 1);
    c->fetchArticle("3");
    c->fetchOverview(3, 3);
    QTRY_COMPARE(c->pendingCommands(), 0);
    QCOMPARE(log.entries, QList<QByteArray>{"group free.pt current free.pt"} + overviewEntries(1, 2) + after);
    c.error.clear();
}

void TestSpotNNTPPipeline::connectionCutInTheMiddle()
{
    bed.server->closeDuringReply("XOVER 4-", 3);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Socket fout: ")));
    ClientUnderTest &c = bed.makeClient();
    ResultLog log(c.client);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));

    for (qint64 first = 1; first <= 10; first += 3)
        c->fetchOverview(first, first + 2);
    QVERIFY(c.error.wait());
    QCOMPARE(c->pendingCommands(), 0);
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    const QList<QByteArray> expected = QList<QByteArray>{"group free.pt current free.pt"} + overviewEntries(1, 3)
        + QList<QByteArray>{"line 4", "line 5", "error 1"};
    QCOMPARE(log.entries, expected);

    // The owner asks again after the login; nothing of the old pipe comes back.
    bed.server->clearScripts();
    connect(c.client, &SpotNNTP::loggedIn, this, [&] {
        c->selectGroup(TestCorpus::spotGroup);
        c->fetchOverview(6, 6);
    });
    c->login();
    QVERIFY(c.waitForOverviewEnd(2));
    const QList<QByteArray> again{"group free.pt current free.pt", "line 6", "end"};
    QCOMPARE(log.entries, expected + again);
    c.error.clear();
}

void TestSpotNNTPPipeline::compressionRefusedInPipe()
{
    bed.server->answer("XZVER", NewsStatus::unknownCommand);
    QTest::ignoreMessage(QtDebugMsg, "Server kent geen gecomprimeerde headers, verder zonder compressie");
    ClientUnderTest &c = bed.makeClient(true);
    ResultLog log(c.client);
    QVERIFY(c.logIn());

    c->selectGroup(TestCorpus::spotGroup);
    c->fetchOverview(1, 2);
    c->fetchOverview(3, 4);
    c->fetchArticle("5");
    c->fetchOverview(5, 6);
    QTRY_COMPARE(c->pendingCommands(), 0);
    QCOMPARE(log.entries,
             QList<QByteArray>{"group free.pt current free.pt"} + overviewEntries(1, 2) + overviewEntries(3, 4)
                 + QList<QByteArray>{"missing 5"} + overviewEntries(5, 6));
    const QList<QByteArray> sent{"GROUP free.pt", "XZVER 1-2", "XOVER 1-2", "XOVER 3-4", "ARTICLE 5", "XOVER 5-6"};
    QCOMPARE(bed.server->receivedCommands(), sent);
}

// A slot that runs the event loop (a dialog, a progress notice) gets no result inside it;
// the client reads on meanwhile, and hands on the rest in order afterwards.
void TestSpotNNTPPipeline::slotRunsEventLoop()
{
    ClientUnderTest &c = bed.makeClient();
    ResultLog log(c.client);
    QVERIFY(c.logIn());
    bool dialogShown = false;
    connect(c.client, &SpotNNTP::headerLine, this, [&] {
        if (std::exchange(dialogShown, true))
            return;
        log.handling = true;
        // Until the server has had every command and the client has read what came.
        QVERIFY(QTest::qWaitFor(
            [&] { return bed.server->receivedCommands().size() == 4 && c.socket()->bytesAvailable() == 0; }));
        log.handling = false;
    });

    c->selectGroup(TestCorpus::spotGroup);
    c->fetchOverview(1, 300);
    c->fetchArticle(TestCorpus::commentId);
    c->fetchOverview(301, 600);
    QTRY_COMPARE(c->pendingCommands(), 0);
    QCOMPARE(log.entries,
             QList<QByteArray>{"group free.pt current free.pt"} + overviewEntries(1, 300)
                 + QList<QByteArray>{"article c3@free.usenet"} + overviewEntries(301, 600));
}

void TestSpotNNTPPipeline::oneRoundTripUnderLatency_data()
{
    QTest::addColumn<int>("depth");
    QTest::newRow("pipelined") << 10;
    QTest::newRow("one-at-a-time") << 1;
}

// Ten requests to a server 50 ms away: pipelined they take about one round trip, one at a
// time ten.
void TestSpotNNTPPipeline::oneRoundTripUnderLatency()
{
    QFETCH(int, depth);
    constexpr int latency = 50;
    constexpr int requests = 10;
    ClientUnderTest &c = bed.makeClient();
    c->setPipelineDepth(depth);
    QVERIFY(c.logIn());
    bed.server->setLatency(latency);

    const qint64 elapsed = headsMs(c, requests);
    QVERIFY(elapsed >= 0);
    if (depth == 1)
        QVERIFY2(elapsed >= requests * latency, qPrintable(QString::number(elapsed)));
    else
        QVERIFY2(elapsed < requests * latency / 2, qPrintable(QString::number(elapsed)));
    QCOMPARE(c.articleNotFound.count(), 0);
}

// A server capped at 1 MiB/s sends many small pipelined replies at that rate, several in one
// 10 ms slice (not one reply a slice), and never faster.
void TestSpotNNTPPipeline::smallRepliesShareTheRate()
{
    constexpr int rateKiBps = 1024;
    constexpr int requests = 200;
    ClientUnderTest &c = bed.makeClient();
    c->setPipelineDepth(requests);
    QVERIFY(c.logIn());
    bed.server->setRate(rateKiBps);
    const qint64 sentBefore = bed.server->bytesSent();

    const qint64 elapsed = headsMs(c, requests);
    QVERIFY(elapsed >= 0);
    const qint64 atRateMs = (bed.server->bytesSent() - sentBefore) * 1000 / (rateKiBps * 1024);
    QVERIFY2(elapsed >= atRateMs - 10, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < requests * 10 / 2, qPrintable(QString::number(elapsed)));
}

TARNWICK_TEST_MAIN(TestSpotNNTPPipeline)
#include "tst_spotnntppipeline.moc"
