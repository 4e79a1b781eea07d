// The download cycle over a distant server: the ranges of each group go out in one pipeline,
// ahead of the replies, so that a group costs about one round trip instead of one per range.
#include "syncsession.h"
#include "testmain.h"

#include <QSignalSpy>

class TestPipelinedSync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void rangesGoOutAheadOfTheirReplies();

private:
    std::unique_ptr<SyncSession> session;
};

void TestPipelinedSync::init()
{
    session = std::make_unique<SyncSession>();
    session->refreshMs = 600000;
}

void TestPipelinedSync::cleanup()
{
    endSession(session);
}

// Three ranges per group from a server 100 ms away. For every range command the server
// receives, the number of that group's ranges whose reply had ended by then: all 0 is one
// wave of requests (one round trip), one range at a time would be 0, 1, 2. The articles asked
// for meanwhile are answered, and the cycle stores everything once.
void TestPipelinedSync::rangesGoOutAheadOfTheirReplies()
{
    const QList<QByteArray> headerRanges{"XOVER 1-50001", "XOVER 50002-100002", "XOVER 100003-120000"};
    const QList<QByteArray> commentRanges{"XHDR References 1-50001", "XHDR References 50002-100002",
                                          "XHDR References 100003-120000"};

    session->serveSpots(1, 120000, 1000);
    session->server.addArticle(Tarnwick::spotGroup, 1000, "spot1000@free.pt", "Subject: x\r\n\r\nbody\r\n");
    session->server.setLatency(100);
    Tarnwick &controller = session->create();

    int headerRangesEnded = 0;
    int commentRangesEnded = 0;
    connect(&controller, &Tarnwick::headerDownloadStopped, this, [&] { ++headerRangesEnded; });
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (text == QLatin1String("Bezig met ophalen van reacties lijst"))
            ++commentRangesEnded;
        if (text.startsWith(QLatin1String("Headeren 1000 "))
            || text.startsWith(QLatin1String("Headeren van reacties 1000 ")))
            controller.requestArticle("spot1000@free.pt", false);
    });
    QList<int> endedAtHeaderRange;
    QList<int> endedAtCommentRange;
    connect(&session->server, &NewsServer::commandReceived, this, [&](const QByteArray &command) {
        if (headerRanges.contains(command))
            endedAtHeaderRange += headerRangesEnded;
        else if (commentRanges.contains(command))
            endedAtCommentRange += commentRangesEnded;
    });
    QSignalSpy answers(&controller, &Tarnwick::articleData);
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->commands("XOVER"), headerRanges);
    QCOMPARE(session->commands("XHDR"), commentRanges);
    QCOMPARE(endedAtHeaderRange, QList<int>({0, 0, 0}));
    QCOMPARE(endedAtCommentRange, QList<int>({0, 0, 0}));
    // Once from the server, once from the cache.
    QCOMPARE(session->commands("ARTICLE"), QList<QByteArray>{"ARTICLE <spot1000@free.pt>"});
    QTRY_COMPARE(answers.count(), 2);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(DISTINCT msgid) FROM spots")), 120);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 120);
    QCOMPARE(countRows("commentlist", QStringLiteral("SELECT count(*) FROM msgnrs")), 120);
    QCOMPARE(Settings::lastHeader(), 120000);
    QCOMPARE(Settings::lastCommentsHeader(), 120000);
}

TARNWICK_TEST_MAIN(TestPipelinedSync)
#include "tst_pipelinedsync.moc"
