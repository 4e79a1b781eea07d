#include "nntptestbed.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QRegularExpression>

// How SpotNNTP fails: refusals, dropped connections and silence reset it and report once;
// a refused XHDR keeps the connection; and the client's own end (quit, deleteLater).
class TestSpotNNTPFailures : public QObject
{
    Q_OBJECT

public:
    enum class Command { Group, Overview, Article };
    Q_ENUM(Command)

private Q_SLOTS:
    void init();
    void cleanup();

    void refusedReferencesKeepConnection();
    void refusalResets_data();
    void refusalResets();
    void droppedConnection_data();
    void droppedConnection();
    void silence_data();
    void silence();
    void flowingReplyNeverTimesOut();
    void quitFromErrorSlot();
    void deleteLaterWhileRetryPending();
    void quitOnClosedSocket();
    void quitOnOpenSocket();

private:
    static void issue(ClientUnderTest &c, Command command);

    ClientTestBed bed;
};

void TestSpotNNTPFailures::init()
{
    QVERIFY(bed.start());
}

void TestSpotNNTPFailures::cleanup()
{
    CLIENT_TEST_CLEANUP(bed);
}

void TestSpotNNTPFailures::issue(ClientUnderTest &c, Command command)
{
    switch (command) {
    case Command::Group:
        c->selectGroup("no.such.group");
        break;
    case Command::Overview:
        c->fetchOverview(1, 3);
        break;
    case Command::Article:
        c->fetchArticle(TestCorpus::commentId);
        break;
    }
}

void TestSpotNNTPFailures::refusedReferencesKeepConnection()
{
    bed.server->answer("XHDR", NewsStatus::unknownCommand);
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::commentGroup));

    c->fetchReferences(1, 4);
    QVERIFY(c.error.wait());
    QCOMPARE(c.error.takeFirst(), QVariantList({SpotNNTP::codeReferencesRefused, QString()}));
    QVERIFY(c.xroverLine.isEmpty());
    QVERIFY(c->isReady());
    QCOMPARE(c->currentGroup(), TestCorpus::commentGroup);

    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    QCOMPARE(bed.server->connectionCount(), 1);
}

void TestSpotNNTPFailures::refusalResets_data()
{
    QTest::addColumn<bool>("loginRequired");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("scriptedReply");
    QTest::addColumn<Command>("command");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown-group") << false << QString() << QByteArray() << Command::Group << 411
                                   << QStringLiteral("411 No such group no.such.group\r\n");
    QTest::newRow("overview-outside-group") << false << QString() << QByteArray() << Command::Overview << 412
                                            << QStringLiteral("412 Not in a newsgroup\r\n");
    QTest::newRow("password-wrong") << true << QStringLiteral("fout") << QByteArray() << Command::Group << 481
                                    << QStringLiteral("481 Authentication failed\r\n");
    QTest::newRow("password-missing") << true << QString() << QByteArray() << Command::Group << 480
                                      << QStringLiteral("480 Authentication required for command\r\n");
    QTest::newRow("article-refused") << false << QString() << QByteArray("502 Permission denied") << Command::Article
                                     << 502 << QStringLiteral("502 Permission denied\r\n");
    QTest::newRow("overview-refused") << false << QString() << QByteArray("503 Overview not available")
                                      << Command::Overview << 503 << QStringLiteral("503 Overview not available\r\n");
    QTest::newRow("not-a-reply") << false << QString() << QByteArray("what is this") << Command::Article << 0
                                 << QStringLiteral("what is this\r\n");
}

void TestSpotNNTPFailures::refusalResets()
{
    QFETCH(bool, loginRequired);
    QFETCH(QString, password);
    QFETCH(QByteArray, scriptedReply);
    QFETCH(Command, command);
    if (loginRequired)
        bed.server->requireLogin("spotter", "geheim");
    if (!scriptedReply.isEmpty())
        bed.server->answer("", scriptedReply);
    ClientUnderTest &c = bed.makeClient(false, QStringLiteral("spotter"), password);

    c->login();
    if (password.isEmpty()) {
        QVERIFY(c.loggedIn.wait());
        issue(c, command);
    }
    QVERIFY(c.error.wait());
    QCOMPARE(c.error.count(), 1);
    const QVariantList error = c.error.takeFirst();
    QTEST(error.at(0).toInt(), "code");
    QTEST(error.at(1).toString(), "text");
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    QVERIFY(c->currentArticle().isEmpty());
    QVERIFY(c->currentGroup().isEmpty());
    QVERIFY(c.articleData.isEmpty());
}

void TestSpotNNTPFailures::droppedConnection_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("linesBeforeClose");
    QTest::newRow("before-group-reply") << QByteArray("GROUP") << 0;
    QTest::newRow("during-overview") << QByteArray("XOVER") << 3;
    QTest::newRow("during-article") << QByteArray("ARTICLE") << 2;
}

void TestSpotNNTPFailures::droppedConnection()
{
    QFETCH(QByteArray, command);
    QFETCH(int, linesBeforeClose);
    bed.server->closeDuringReply(command, linesBeforeClose);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(
                                         R"(^Socket fout: \(QAbstractSocket::RemoteHostClosedError\) ".+"$)")));
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    QVERIFY(command == "GROUP" || c.selectGroup(TestCorpus::spotGroup));

    if (command == "GROUP")
        c->selectGroup(TestCorpus::spotGroup);
    else if (command == "XOVER")
        c->fetchOverview(1, 3);
    else
        c->fetchArticle(TestCorpus::commentId);
    QVERIFY(c.error.wait());
    QCOMPARE(c.error.takeFirst().at(0).toInt(), int(QAbstractSocket::RemoteHostClosedError));
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    QCOMPARE(c.headerLine.count(), command == "XOVER" ? linesBeforeClose - 1 : 0);
    QVERIFY(c.articleData.isEmpty());

    // The owner's retry brings the client back.
    bed.server->clearScripts();
    c->scheduleLogin(0);
    QVERIFY(c.loggedIn.wait());
    QCOMPARE(bed.server->connectionCount(), 2);
}

void TestSpotNNTPFailures::silence_data()
{
    QTest::addColumn<QByteArray>("quietCommand");
    QTest::addColumn<bool>("midReply");
    QTest::newRow("no-greeting") << QByteArray() << false;
    QTest::newRow("no-group-reply") << QByteArray("GROUP") << false;
    QTest::newRow("no-article-reply") << QByteArray("ARTICLE") << false;
    QTest::newRow("overview-stops-halfway") << QByteArray("XOVER") << true;
}

void TestSpotNNTPFailures::silence()
{
    QFETCH(QByteArray, quietCommand);
    QFETCH(bool, midReply);
    if (quietCommand.isEmpty()) {
        bed.server->setGreeting(QByteArray());
    } else if (midReply) {
        bed.server->cutReply(quietCommand, {700});
        bed.server->setChunkInterval(24 * 3600 * 1000);
    } else {
        bed.server->stayQuiet(quietCommand);
    }
    ClientUnderTest &c = bed.makeClient();
    constexpr int timeout = 100;
    if (quietCommand.isEmpty())
        c->setReplyTimeout(timeout);

    c->login();
    if (!quietCommand.isEmpty()) {
        QVERIFY(c.loggedIn.wait());
        c->setReplyTimeout(timeout);
        c->selectGroup(quietCommand == "XOVER" ? TestCorpus::spotGroup : TestCorpus::commentGroup);
        if (quietCommand != "GROUP") {
            QVERIFY(c.groupResponse.wait());
            quietCommand == "XOVER" ? c->fetchOverview(1, 4) : c->fetchArticle("3");
        }
    }
    QVERIFY(c.error.wait());
    QCOMPARE(c.error.takeFirst(), QVariantList({int(QAbstractSocket::SocketTimeoutError),
                                                QStringLiteral("Geen antwoord van de Usenet server (time-out)")}));
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    QVERIFY(c->currentArticle().isEmpty());
}

void TestSpotNNTPFailures::flowingReplyNeverTimesOut()
{
    constexpr int timeout = 500;
    constexpr qint64 lines = 60;
    QList<qint64> cuts; // about 50 pieces, 20 ms apart
    for (qint64 at = 600; at < lines * OverviewCorpus::lineLength; at += 600)
        cuts += at;
    bed.server->cutReply("XOVER", cuts);
    bed.server->setChunkInterval(20);
    ClientUnderTest &c = bed.makeClient();
    c->setReplyTimeout(timeout);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));

    QElapsedTimer clock;
    clock.start();
    c->fetchOverview(1, lines);
    QVERIFY(QTest::qWaitFor([&] { return c.headerLines().contains(".\r\n") || !c.error.isEmpty(); }, 20000));
    QVERIFY(clock.elapsed() > 2 * timeout);
    QCOMPARE(c.headerLine.count(), lines + 1);
    QVERIFY(c->isReady());
}

void TestSpotNNTPFailures::quitFromErrorSlot()
{
    // The owner gives up on the client inside the error slot, while the client is still in
    // its own socket callback.
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    connect(c.client, &SpotNNTP::error, c.client, [&] { c->quit(); });

    c->selectGroup("no.such.group");
    QTRY_VERIFY(c.client.isNull());
    QCOMPARE(c.error.takeFirst().at(0).toInt(), 411);
}

void TestSpotNNTPFailures::deleteLaterWhileRetryPending()
{
    ClientUnderTest &c = bed.makeClient();
    c->scheduleLogin(0);
    c->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!c.client.isNull());

    QTRY_VERIFY(c.client.isNull()); // the retry deletes it instead of connecting
    QCOMPARE(bed.server->connectionCount(), 0);
}

void TestSpotNNTPFailures::quitOnClosedSocket()
{
    ClientUnderTest &c = bed.makeClient();
    c->quit();
    QVERIFY(c.client.isNull());
}

void TestSpotNNTPFailures::quitOnOpenSocket()
{
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    c->quit();
    QCOMPARE(c->state(), SpotNNTP::State::Quitting);
    QTRY_VERIFY(c.client.isNull()); // once the server has closed
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>{"QUIT"});
}

TARNWICK_TEST_MAIN(TestSpotNNTPFailures)
#include "tst_spotnntpfailures.moc"
