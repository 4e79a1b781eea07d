// Article requests end to end: answered from the cache inside the call, or queued and
// fetched when the client is free, never twice at once, urgent ones first.
#include "spotnntp.h"
#include "syncsession.h"
#include "testmain.h"
#include "zlibstream.h"

#include <QSignalSpy>

namespace {

const QByteArray otherGroup = "alt.binaries.test";

QByteArray articleText(const QByteArray &id)
{
    return "Subject: " + id + "\n\nInhoud van " + id + "\n";
}

// The article as the client delivers it: CR LF lines and the terminator.
QByteArray delivered(const QByteArray &id)
{
    return "Subject: " + id + "\r\n\r\nInhoud van " + id + "\r\n.\r\n";
}

} // namespace

class TestArticleRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void oneFetchPerId_data();
    void oneFetchPerId();
    void cachedArticleWithoutClient();
    void missingArticleIsAskedAgain();
    void articleCutOffIsFetchedAgain_data();
    void articleCutOffIsFetchedAgain();
    void deleteAllAnswersQueuedRequests();
    void listenerLetsTheClientGo();
    void requestsDuringRange_data();
    void requestsDuringRange();
    void commentGroupRefused_data();
    void commentGroupRefused();

private:
    std::unique_ptr<SyncSession> session;
};

void TestArticleRequests::init()
{
    session = std::make_unique<SyncSession>();
    // The idle client stays idle: no refresh while a test looks.
    session->refreshMs = 600000;
    for (const QByteArray id : {"a1@free.pt", "c1@free.pt", "c2@free.pt", "nzb@free.pt"})
        session->server.addArticle(otherGroup, 1, id, articleText(id));
    session->server.addArticle(Tarnwick::commentGroup, 7, "comment7@free.pt", articleText("comment7@free.pt"));
}

void TestArticleRequests::cleanup()
{
    endSession(session);
}

void TestArticleRequests::oneFetchPerId_data()
{
    QTest::addColumn<bool>("whileConnecting");
    QTest::newRow("queued-while-connecting") << true;
    QTest::newRow("in-flight-while-idle") << false;
}

void TestArticleRequests::oneFetchPerId()
{
    QFETCH(bool, whileConnecting);

    session->serveSpots(1, 100, 50);
    Tarnwick &controller = session->create();
    QSignalSpy answers(&controller, &Tarnwick::articleData);
    if (!whileConnecting) {
        controller.connectToServer();
        QVERIFY(session->waitForCycle());
    }
    controller.requestArticle("a1@free.pt", false);
    controller.requestArticle("a1@free.pt", false);
    QTRY_COMPARE(answers.count(), 1);
    QCOMPARE(answers.first(), QVariantList({QByteArray("a1@free.pt"), delivered("a1@free.pt")}));
    QCOMPARE(session->commands("ARTICLE"), QList<QByteArray>{"ARTICLE <a1@free.pt>"});
    // With the queue empty the client goes on with a cycle.
    QTRY_COMPARE(session->commands().mid(session->commands().indexOf("ARTICLE <a1@free.pt>") + 1, 1),
                 QList<QByteArray>{"GROUP free.pt"});
}

void TestArticleRequests::cachedArticleWithoutClient()
{
    session->serveSpots(1, 100, 50);
    Tarnwick &first = session->start();
    QSignalSpy fetched(&first, &Tarnwick::articleData);
    first.requestArticle("a1@free.pt", true);
    QTRY_COMPARE(fetched.count(), 1);
    const QList<QVariantList> stored = selectRows(
        "cache", QStringLiteral("SELECT typeof(id),data FROM cache WHERE id=?"), {QByteArray("a1@free.pt")});
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().first().toString(), QStringLiteral("blob"));
    QCOMPARE(ZlibStream::inflateZlib(stored.first().at(1).toByteArray()), delivered("a1@free.pt"));

    // The next start finds the program unconfigured: no client, and none is needed.
    session->controller.reset();
    QSettings().remove(Settings::Key::port);
    Tarnwick &second = session->create();
    QSignalSpy answers(&second, &Tarnwick::articleData);
    second.requestArticle("a1@free.pt", false);
    QCOMPARE(answers.count(), 1);
    QCOMPARE(answers.first(), QVariantList({QByteArray("a1@free.pt"), delivered("a1@free.pt")}));
    QVERIFY(!second.findChild<SpotNNTP *>());
    QCOMPARE(session->commands("ARTICLE").size(), 1);
    QCOMPARE(session->server.connectionCount(), 1);
}

void TestArticleRequests::missingArticleIsAskedAgain()
{
    session->serveSpots(1, 100, 50);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    QSignalSpy missing(&controller, &Tarnwick::articleNotFound);
    controller.requestArticle("gone@free.pt", false);
    QTRY_COMPARE(missing.count(), 1);
    QTRY_VERIFY(session->commands().last() == "GROUP free.usenet");
    controller.requestArticle("gone@free.pt", false);
    QTRY_COMPARE(missing.count(), 2);
    QCOMPARE(session->commands("ARTICLE"), QList<QByteArray>({"ARTICLE <gone@free.pt>", "ARTICLE <gone@free.pt>"}));
    QCOMPARE(countRows("cache", QStringLiteral("SELECT count(*) FROM cache")), 0);
}

void TestArticleRequests::articleCutOffIsFetchedAgain_data()
{
    QTest::addColumn<int>("cuts");
    QTest::addColumn<bool>("found");
    QTest::newRow("cut-once") << 1 << true;
    QTest::newRow("cut-twice") << 2 << true;
    // An article that breaks every connection must not keep the download away for ever.
    QTest::newRow("cut-every-time") << 3 << false;
}

// The connection drops in the middle of the article: after the reconnect it is asked for
// again, and the page gets it once; after three broken tries it is not found.
void TestArticleRequests::articleCutOffIsFetchedAgain()
{
    QFETCH(int, cuts);
    QFETCH(bool, found);

    session->serveSpots(1, 100, 50);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    session->server.closeDuringReply("ARTICLE", 2);
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (text.startsWith(QLatin1String("Fout: "))
            && session->noticesStartingWith(QStringLiteral("Fout: ")).size() == cuts)
            session->server.clearScripts();
    });
    QSignalSpy answers(&controller, &Tarnwick::articleData);
    QSignalSpy missing(&controller, &Tarnwick::articleNotFound);

    controller.requestArticle("a1@free.pt", false);
    QSignalSpy &answer = found ? answers : missing;
    QTRY_COMPARE(answer.count(), 1);
    QCOMPARE(answer.first().first(), QVariant(QByteArray("a1@free.pt")));
    QCOMPARE((found ? missing : answers).count(), 0);
    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout: ")).size(), cuts);
    QCOMPARE(session->commands("ARTICLE"), QList<QByteArray>(found ? cuts + 1 : cuts, "ARTICLE <a1@free.pt>"));
    // After the last broken try the answer may come before the new connection is made.
    QTRY_COMPARE(session->server.connectionCount(), cuts + 1);
    // With the queue empty the new connection goes on with a cycle, and delivers nothing twice.
    QTRY_COMPARE(session->commands().mid(session->commands().lastIndexOf("ARTICLE <a1@free.pt>") + 1, 1),
                 QList<QByteArray>{"GROUP free.pt"});
    QCOMPARE(answer.count(), 1);
}

// Deleting every spot answers what was still waiting: nobody is left to ask for it.
void TestArticleRequests::deleteAllAnswersQueuedRequests()
{
    session->serveSpots(1, 100, 50);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    session->server.stayQuiet("ARTICLE");
    QSignalSpy missing(&controller, &Tarnwick::articleNotFound);
    controller.requestArticle("a1@free.pt", false);
    controller.requestArticle("c1@free.pt", false);
    controller.requestArticle("c2@free.pt", false);
    QTRY_COMPARE(session->commands("ARTICLE"), QList<QByteArray>{"ARTICLE <a1@free.pt>"});

    QVERIFY(controller.deleteAllSpots());
    QCOMPARE(missing, QList<QVariantList>({{QByteArray("c1@free.pt")}, {QByteArray("c2@free.pt")}}));
}

// A page that hears its article may make the controller let go of its client (the settings
// were cleared): nothing may use that client afterwards.
void TestArticleRequests::listenerLetsTheClientGo()
{
    session->serveSpots(1, 100, 50);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    connect(&controller, &Tarnwick::articleData, this, [&] {
        QSettings().remove(Settings::Key::port);
        controller.reconnectToServer();
    });
    QSignalSpy answers(&controller, &Tarnwick::articleData);
    controller.requestArticle("a1@free.pt", false);
    QTRY_COMPARE(answers.count(), 1);
    QTRY_VERIFY(!controller.findChild<SpotNNTP *>());
    QCOMPARE(session->commands().last(), "ARTICLE <a1@free.pt>");
}

void TestArticleRequests::requestsDuringRange_data()
{
    QTest::addColumn<QList<QByteArray>>("ids"); // a number: a comment of free.usenet
    QTest::addColumn<QList<bool>>("urgent");
    QTest::addColumn<QList<QByteArray>>("commands");

    // clang-format off
    QTest::newRow("urgent-goes-first")
        << QList<QByteArray>{"c1@free.pt", "c2@free.pt", "nzb@free.pt"} << QList<bool>{false, false, true}
        << QList<QByteArray>{"XOVER 50002-100002", "XOVER 100003-150003", "ARTICLE <nzb@free.pt>",
                             "ARTICLE <c1@free.pt>", "ARTICLE <c2@free.pt>", "XOVER 150004-160000"};
    QTest::newRow("comment-number-selects-its-group")
        << QList<QByteArray>{"7"} << QList<bool>{false}
        << QList<QByteArray>{"XOVER 50002-100002", "XOVER 100003-150003", "GROUP free.usenet", "ARTICLE 7",
                             "GROUP free.pt", "XOVER 150001-160000"};
    QTest::newRow("message-id-then-number")
        << QList<QByteArray>{"a1@free.pt", "7"} << QList<bool>{false, false}
        << QList<QByteArray>{"XOVER 50002-100002", "XOVER 100003-150003", "ARTICLE <a1@free.pt>",
                             "GROUP free.usenet", "ARTICLE 7", "GROUP free.pt", "XOVER 150001-160000"};
    // clang-format on
}

// A spot page opened while a range downloads: its articles ride in the pipeline at the end
// of the range, behind the ranges already asked for (committed before the articles are
// answered), and the download goes on. A comment by number needs its group: the run stops
// asking for ranges, stores those asked for, and goes on from the saved position after the
// article.
void TestArticleRequests::requestsDuringRange()
{
    QFETCH(QList<QByteArray>, ids);
    QFETCH(QList<bool>, urgent);
    QFETCH(QList<QByteArray>, commands);

    session->serveSpots(1, 160000, 1000);
    Tarnwick &controller = session->create();
    bool requested = false;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (requested || !text.startsWith(QLatin1String("Headeren 1000 ")))
            return;
        requested = true;
        QMetaObject::invokeMethod(
            &controller,
            [&] {
                for (int i = 0; i < ids.size(); ++i) {
                    if (ids.at(i).contains('@'))
                        controller.requestArticle(ids.at(i), urgent.at(i));
                    else
                        controller.requestArticleNumber(ids.at(i).toLongLong());
                }
            },
            Qt::QueuedConnection);
    });
    QList<qint64> positionsSeen;
    connect(&controller, &Tarnwick::articleData, this,
            [&](const QByteArray &, const QByteArray &) { positionsSeen += Settings::lastHeader(); });
    controller.connectToServer();
    QVERIFY(session->waitForHeaders());

    QCOMPARE(positionsSeen, QList<qint64>(ids.size(), 150000));
    const QList<QByteArray> received = session->commands();
    const qsizetype afterRange = received.indexOf("XOVER 1-50001") + 1;
    QVERIFY(afterRange > 0);
    QCOMPARE(received.mid(afterRange, commands.size()), commands);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 160);
}

void TestArticleRequests::commentGroupRefused_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("411-no-such-group") << QByteArray("411 No such group free.usenet");
    QTest::newRow("502-permission-denied") << QByteArray("502 Permission denied");
    QTest::newRow("reply-naming-another-group") << QByteArray("211 1000 1 1000 alt.binaries.test");
}

// Comments are asked for by number, which needs their group: a server that will not select
// it gets a bounded number of tries, the comments are not found, and the download goes on.
// Once the group can be selected again, comments are fetched again.
void TestArticleRequests::commentGroupRefused()
{
    QFETCH(QByteArray, reply);

    session->serveSpots(1, 1000, 100);
    session->server.answer("GROUP free.usenet", reply);
    session->refreshMs = 50; // a reply for another group is tried again at the next refresh
    Tarnwick &controller = session->create();
    QSignalSpy missing(&controller, &Tarnwick::articleNotFound);
    QSignalSpy answers(&controller, &Tarnwick::articleData);
    controller.requestArticleNumber(7); // connects
    controller.requestArticleNumber(8);
    controller.requestArticle("a1@free.pt", false);
    QVERIFY(session->waitForHeaders());

    QCOMPARE(missing, QList<QVariantList>({{QByteArray("7")}, {QByteArray("8")}}));
    QCOMPARE(answers.count(), 1);
    const QList<QByteArray> received = session->commands();
    const QList<QByteArray> beforeHeaders = received.mid(0, received.indexOf("XOVER 1-1000"));
    QCOMPARE(beforeHeaders.count("GROUP free.usenet"), Tarnwick::commentGroupTries);
    QCOMPARE(beforeHeaders.last(2), QList<QByteArray>({"ARTICLE <a1@free.pt>", "GROUP free.pt"}));
    QCOMPARE(session->commands("ARTICLE"), QList<QByteArray>{"ARTICLE <a1@free.pt>"});
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 10);
    QCOMPARE(Settings::lastHeader(), 1000);

    session->server.clearScripts();
    QVERIFY(session->waitForCycle());
    controller.requestArticleNumber(7);
    QTRY_COMPARE(answers.count(), 2);
    QCOMPARE(answers.last().first(), QVariant(QByteArray("7")));
}

TARNWICK_TEST_MAIN(TestArticleRequests)
#include "tst_articlerequests.moc"
