#include "nntptestbed.h"
#include "testmain.h"
#include "yencencoder.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

// What a message box opened in a slot does: the event loop turns, here until the client
// is gone or its connection has been closed for a while, a second at most.
void runDialog(const QPointer<SpotNNTP> &client)
{
    QEventLoop dialog;
    QElapsedTimer open;
    QElapsedTimer closed;
    open.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        const QTcpSocket *socket = client ? client->findChild<QTcpSocket *>() : nullptr;
        if (socket && socket->state() == QAbstractSocket::UnconnectedState && !closed.isValid())
            closed.start();
        if (!client || (closed.isValid() && closed.elapsed() >= 100) || open.elapsed() >= 1000)
            dialog.quit();
    });
    poll.start(10);
    dialog.exec();
}

} // namespace

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
    void busyReaderNeverTimesOut_data();
    void busyReaderNeverTimesOut();
    void replyTooLarge_data();
    void replyTooLarge();
    void moreLinesThanRange_data();
    void moreLinesThanRange();
    void quitFromErrorSlot();
    void ownerLetsGoInsideCallback_data();
    void ownerLetsGoInsideCallback();
    void deleteLaterWhileRetryPending();
    void quitOnClosedSocket();
    void quitOnOpenSocket_data();
    void quitOnOpenSocket();
    void quitReachesServerBeforeDelete();

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
    QTest::ignoreMessage(
        QtDebugMsg,
        QRegularExpression(QStringLiteral(R"(^Socket fout: \(QAbstractSocket::RemoteHostClosedError\) ".+"$)")));
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
    QCOMPARE(c.error.takeFirst(),
             QVariantList({int(QAbstractSocket::SocketTimeoutError),
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

void TestSpotNNTPFailures::busyReaderNeverTimesOut_data()
{
    QTest::addColumn<qint64>("lines");
    QTest::addColumn<int>("replyTimeoutMs");
    QTest::newRow("reply-of-many-reads") << 3000LL << 300;
    // Read from the socket at once: the rest of the reply waits in the client, not the socket.
    QTest::newRow("whole-reply-buffered") << 400LL << 120;
}

// A slot that lets the event loop turn now and then (a progress notice, a dialog) keeps the
// data waiting; that is no silence of the server.
void TestSpotNNTPFailures::busyReaderNeverTimesOut()
{
    QFETCH(qint64, lines);
    QFETCH(int, replyTimeoutMs);
    ClientUnderTest &c = bed.makeClient();
    c->setReplyTimeout(replyTimeoutMs);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    connect(c.client, &SpotNNTP::headerLine, this, [&] {
        if (c.headerLine.count() % 100 != 0)
            return;
        QEventLoop away;
        QTimer::singleShot(50, &away, &QEventLoop::quit);
        away.exec();
    });

    c->fetchOverview(1, lines);
    QVERIFY(QTest::qWaitFor([&] { return c.headerLines().contains(".\r\n") || !c.error.isEmpty(); }, 60000));
    QCOMPARE(c.headerLine.count(), lines + 1);
    QCOMPARE(c.headerLines().at(lines - 1), OverviewCorpus::line(lines));
    QVERIFY(c->isReady());
}

void TestSpotNNTPFailures::replyTooLarge_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("what");
    QTest::newRow("status-line-without-lf") << QByteArray("GROUP") << QStringLiteral("regel");
    QTest::newRow("overview-line-without-lf") << QByteArray("XOVER") << QStringLiteral("regel");
    QTest::newRow("article") << QByteArray("ARTICLE") << QStringLiteral("artikel");
    QTest::newRow("head") << QByteArray("HEAD") << QStringLiteral("headers");
}

// A reply past any real size ends the connection before it can fill the memory.
void TestSpotNNTPFailures::replyTooLarge()
{
    QFETCH(QByteArray, command);
    const QByteArray endless(2 * SpotNNTP::maxLineLength, 'x');
    if (command == "GROUP") {
        bed.server->answer(command, endless); // its CR LF comes after the limit
    } else if (command == "XOVER") {
        bed.server->answer(command, "224 Overview information follows\r\n" + endless);
    } else if (command == "HEAD") {
        QByteArray text;
        while (text.size() <= SpotNNTP::maxHeadSize)
            text += "X-Vulling: " + QByteArray(1000, 'y') + '\n';
        bed.server->addArticle(TestCorpus::commentGroup, 9, "groot@free.pt", text + "\nbody\n");
    } else {
        QByteArray text = "Subject: groot\n\n";
        const QByteArray line = QByteArray(1023, 'y') + '\n';
        text.reserve(SpotNNTP::maxArticleSize + 2 * 1024 * 1024);
        while (text.size() <= SpotNNTP::maxArticleSize + 1024 * 1024)
            text += line;
        bed.server->addArticle(TestCorpus::commentGroup, 9, "groot@free.pt", text);
    }
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    if (command == "XOVER")
        QVERIFY(c.selectGroup(TestCorpus::spotGroup));

    if (command == "GROUP")
        c->selectGroup(TestCorpus::spotGroup);
    else if (command == "XOVER")
        c->fetchOverview(1, 3);
    else if (command == "HEAD")
        c->fetchHead("groot@free.pt");
    else
        c->fetchArticle("groot@free.pt");
    QVERIFY(c.error.wait(30000));
    QCOMPARE(c.error.count(), 1);
    QFETCH(QString, what);
    QCOMPARE(c.error.takeFirst(),
             QVariantList({SpotNNTP::codeReplyTooLarge,
                           QStringLiteral("Te groot antwoord van de Usenet server ontvangen (%1)").arg(what)}));
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    QCOMPARE(c.groupResponse.count(), command == "XOVER" ? 1 : 0);
    QVERIFY(c.headerLine.isEmpty());
    QVERIFY(c.articleData.isEmpty());
}

void TestSpotNNTPFailures::moreLinesThanRange_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<int>("linesSent");
    QTest::newRow("xover-exactly-the-range") << QByteArray("XOVER") << 1LL << 3LL << 3;
    QTest::newRow("xover-one-line-too-many") << QByteArray("XOVER") << 1LL << 3LL << 4;
    QTest::newRow("xhdr-exactly-the-range") << QByteArray("XHDR") << 1LL << 3LL << 3;
    QTest::newRow("xhdr-one-line-too-many") << QByteArray("XHDR") << 1LL << 3LL << 4;
    QTest::newRow("xzver-exactly-the-range") << QByteArray("XZVER") << 1LL << 3LL << 3;
    QTest::newRow("xzver-one-line-too-many") << QByteArray("XZVER") << 1LL << 3LL << 4;
    QTest::newRow("xzhdr-one-line-too-many") << QByteArray("XZHDR") << 1LL << 3LL << 4;
}

// A range reply has at most one line per article: the lines up to that bound are handed on;
// a line past it (here the last article once more) resets the connection, and neither it nor
// the end of the reply is handed on.
void TestSpotNNTPFailures::moreLinesThanRange()
{
    QFETCH(QByteArray, command);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(int, linesSent);
    const bool overview = command.endsWith("VER");
    const bool compressed = command.startsWith("XZ");
    const qint64 bound = std::max<qint64>(0, last - first + 1);
    const bool tooMany = linesSent > bound;

    QByteArray lines;
    QList<QByteArray> expectedOverview;
    QList<std::pair<qint64, QByteArray>> expectedReferences;
    for (qint64 sent = 0; sent < linesSent; ++sent) {
        const qint64 number = std::min(first + sent, last);
        const QByteArray reference = "<key" + QByteArray::number(number) + "@free.pt>";
        lines += overview ? OverviewCorpus::line(number) : QByteArray::number(number) + ' ' + reference + "\r\n";
        if (sent < bound)
            overview ? expectedOverview.append(OverviewCorpus::line(number))
                     : expectedReferences.append({number, reference});
    }
    if (!tooMany)
        overview ? expectedOverview.append(".\r\n") : expectedReferences.append({-1, "."});
    // answer() adds the CR LF of the last line.
    bed.server->answer(command,
                       (overview ? "224 Overview information follows\r\n" : "221 References follow\r\n")
                           + (compressed ? YencEncoder::compressedReply(lines).chopped(2) : lines + '.'));
    ClientUnderTest &c = bed.makeClient(compressed);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(overview ? TestCorpus::spotGroup : TestCorpus::commentGroup));

    overview ? c->fetchOverview(first, last) : c->fetchReferences(first, last);
    QVERIFY(QTest::qWaitFor([&] { return c->isReady() || !c.error.isEmpty(); }));
    QCOMPARE(c.error.count(), tooMany ? 1 : 0);
    if (tooMany) {
        QCOMPARE(c.error.takeFirst(),
                 QVariantList({SpotNNTP::codeReplyTooLarge,
                               QStringLiteral("Te groot antwoord van de Usenet server ontvangen (regels)")}));
        QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    }
    QCOMPARE(c.headerLines(), expectedOverview);
    QCOMPARE(c.referenceLines(), expectedReferences);
    QCOMPARE(bed.server->receivedCommands().last().left(command.size()), command);
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

void TestSpotNNTPFailures::ownerLetsGoInsideCallback_data()
{
    QTest::addColumn<bool>("quit");
    QTest::addColumn<bool>("inErrorSlot");
    QTest::newRow("quit-in-error-slot") << true << true;
    QTest::newRow("delete-later-in-error-slot") << false << true;
    // The server closes after QUIT while the dialog is open: that close must not delete it.
    QTest::newRow("quit-in-not-found-slot") << true << false;
    QTest::newRow("delete-later-in-not-found-slot") << false << false;
}

// The owner lets go of the client and then shows a dialog, all inside the client's own
// callback: the client lives until that callback has returned, and goes away after it.
void TestSpotNNTPFailures::ownerLetsGoInsideCallback()
{
    QFETCH(bool, quit);
    QFETCH(bool, inErrorSlot);
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    std::optional<bool> aliveAfterDialog;
    const auto letGo = [&] {
        quit ? c->quit() : c->deleteLater();
        runDialog(c.client);
        aliveAfterDialog = !c.client.isNull();
    };
    if (inErrorSlot)
        connect(c.client, &SpotNNTP::error, this, letGo);
    else
        connect(c.client, &SpotNNTP::articleNotFound, this, letGo);

    inErrorSlot ? c->selectGroup("no.such.group") : c->fetchArticle("gone@free.pt");
    QTRY_VERIFY(aliveAfterDialog.has_value());
    QVERIFY(*aliveAfterDialog);
    QTRY_VERIFY(c.client.isNull());
    if (inErrorSlot)
        QCOMPARE(c.error.takeFirst().at(0).toInt(), 411);
    else
        QCOMPARE(c.articleNotFound.count(), 1);
    if (quit && !inErrorSlot)
        QCOMPARE(bed.server->receivedCommands().last(), "QUIT");
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

void TestSpotNNTPFailures::quitOnOpenSocket_data()
{
    QTest::addColumn<QAbstractSocket::SocketError>("socketError");
    QTest::newRow("server-closes") << QAbstractSocket::RemoteHostClosedError;
    QTest::newRow("network-error") << QAbstractSocket::NetworkError;
    QTest::newRow("tls-internal-error") << QAbstractSocket::SslInternalError;
}

// However the connection ends after QUIT, the client ends with it and reports nothing.
void TestSpotNNTPFailures::quitOnOpenSocket()
{
    QFETCH(QAbstractSocket::SocketError, socketError);
    const bool serverCloses = socketError == QAbstractSocket::RemoteHostClosedError;
    if (!serverCloses)
        bed.server->stayQuiet("QUIT");
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    c->quit();
    QCOMPARE(c->state(), SpotNNTP::State::Quitting);
    QTRY_COMPARE(bed.server->receivedCommands(), QList<QByteArray>{"QUIT"});
    if (!serverCloses) {
        // Loopback gives no other error for real: the socket's report is handed on as it would be.
        QVERIFY(QMetaObject::invokeMethod(c.client, "onError", Qt::DirectConnection,
                                          Q_ARG(QAbstractSocket::SocketError, socketError)));
        QVERIFY(!c.client.isNull()); // not deleted inside the socket's callback
    }
    QTRY_VERIFY(c.client.isNull());
    QVERIFY(c.error.isEmpty());
}

// The owner may delete the client right after quit(): QUIT has gone out all the same.
void TestSpotNNTPFailures::quitReachesServerBeforeDelete()
{
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    c->quit();
    delete c.client;
    QTRY_COMPARE(bed.server->receivedCommands(), QList<QByteArray>{"QUIT"});
}

TARNWICK_TEST_MAIN(TestSpotNNTPFailures)
#include "tst_spotnntpfailures.moc"
