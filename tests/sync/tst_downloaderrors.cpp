// Failures of the download against a server that really fails: what the user is told, and
// whether the controller lets go of its client or the cycle resumes by itself.
#include "spotnntp.h"
#include "syncsession.h"
#include "testcertificate.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

namespace {

const QByteArray password = "geheim";

QVariantMap withAccount(QVariantMap settings = {})
{
    settings.insert(Settings::Key::user, QByteArray("jan"));
    settings.insert(Settings::Key::pass, Settings::encodePassword(QString::fromLatin1(password)));
    return settings;
}

SpotNNTP *clientOf(const Tarnwick &controller)
{
    return controller.findChild<SpotNNTP *>();
}

} // namespace

class TestDownloadErrors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void clientDropped_data();
    void clientDropped();
    void errorDialogWhileClientQuits();
    void clientMadeWhileErrorBoxIsOpen();
    void cycleResumes_data();
    void cycleResumes();
    void tls_data();
    void tls();

private:
    std::unique_ptr<SyncSession> session;
};

void TestDownloadErrors::init()
{
    session = std::make_unique<SyncSession>();
}

void TestDownloadErrors::cleanup()
{
    endSession(session);
}

void TestDownloadErrors::clientDropped_data()
{
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<bool>("loginRequired");
    QTest::addColumn<QByteArray>("passwordReply");
    QTest::addColumn<bool>("overview");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QList<QByteArray>>("commands");

    QTest::newRow("480-without-password")
        << QVariantMap() << true << QByteArray() << true
        << QStringLiteral("Vul het wachtwoord van je Usenet provider in bij de instellingen")
        << QList<QByteArray>{"GROUP free.pt"};
    QTest::newRow("483-password") << withAccount() << false
                                  << QByteArray("483 Encryption or stronger authentication required") << true
                                  << QStringLiteral("Wachtwoord onjuist. Controleer de instellingen")
                                  << QList<QByteArray>{"AUTHINFO USER jan", "AUTHINFO PASS geheim"};
    QTest::newRow("host-not-found") << QVariantMap{{Settings::Key::server, QStringLiteral("nonexistent.invalid")}}
                                    << false << QByteArray() << true
                                    << QStringLiteral(
                                           "Server adres van Usenet provider onjuist. Controlleer instellingen")
                                    << QList<QByteArray>();
    QTest::newRow("provider-without-overview")
        << QVariantMap() << false << QByteArray() << false
        << QStringLiteral("Je Usenet provider ondersteund het downloaden van headers niet!")
        << QList<QByteArray>{"GROUP free.pt", "XOVER 1-100", "QUIT"};
}

// The settings must change first: the controller keeps no client, and a new
// connectToServer() starts afresh.
void TestDownloadErrors::clientDropped()
{
    QFETCH(QVariantMap, settings);
    QFETCH(bool, loginRequired);
    QFETCH(QByteArray, passwordReply);
    QFETCH(bool, overview);
    QFETCH(QString, error);
    QFETCH(QList<QByteArray>, commands);

    session->server.addGroup(Tarnwick::spotGroup, 1, 100);
    session->server.addGroup(Tarnwick::commentGroup, 1, 0);
    if (overview)
        session->addSpot(100);
    if (loginRequired)
        session->server.requireLogin("jan", password);
    if (!passwordReply.isEmpty())
        session->server.answer("AUTHINFO PASS", passwordReply);
    session->configure(settings);
    Tarnwick &controller = session->start();

    QVERIFY(session->waitForError());
    QCOMPARE(session->takeErrors(), QStringList{error});
    QTRY_COMPARE(session->commands(), commands);
    QTRY_VERIFY(!clientOf(controller));
    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout")), QStringList());
    QCOMPARE(session->server.connectionCount(), commands.isEmpty() ? 0 : 1);
}

// The main window shows the error in a modal box, inside the client's own callback; the
// client that was let go meanwhile gets QUIT's answer and the server's close.
void TestDownloadErrors::errorDialogWhileClientQuits()
{
    session->server.addGroup(Tarnwick::spotGroup, 1, 100);
    session->server.addGroup(Tarnwick::commentGroup, 1, 0);
    Tarnwick &controller = session->create();
    std::optional<bool> aliveAfterDialog;
    connect(&controller, &Tarnwick::error, this, [&] {
        const QPointer<SpotNNTP> client = clientOf(controller);
        QEventLoop dialog;
        QElapsedTimer open;
        QElapsedTimer closed;
        open.start();
        QTimer poll;
        // Open until the client is gone or its connection has been closed for a while.
        connect(&poll, &QTimer::timeout, &dialog, [&] {
            const QTcpSocket *socket = client ? client->findChild<QTcpSocket *>() : nullptr;
            if (socket && socket->state() == QAbstractSocket::UnconnectedState && !closed.isValid())
                closed.start();
            if (!client || (closed.isValid() && closed.elapsed() >= 100) || open.elapsed() >= 2000)
                dialog.quit();
        });
        poll.start(10);
        dialog.exec();
        aliveAfterDialog = !client.isNull();
    });
    controller.connectToServer();

    QTRY_VERIFY(aliveAfterDialog.has_value());
    QVERIFY(*aliveAfterDialog);
    QCOMPARE(session->takeErrors(),
             QStringList{QStringLiteral("Je Usenet provider ondersteund het downloaden van headers niet!")});
    QTRY_VERIFY(!clientOf(controller));
    QCOMPARE(session->commands(), QList<QByteArray>({"GROUP free.pt", "XOVER 1-100", "QUIT"}));
}

// The user fixes the settings while the error box is open (its event loop runs inside the
// client's callback): the new client stays, whatever became of the one that reported.
void TestDownloadErrors::clientMadeWhileErrorBoxIsOpen()
{
    session->serveSpots(1, 1000, 100);
    session->server.requireLogin("jan", password);
    Tarnwick &controller = session->create();
    connect(&controller, &Tarnwick::error, this, [&] {
        session->configure(withAccount());
        controller.connectToServer();
        QEventLoop dialog;
        QTimer::singleShot(100, &dialog, &QEventLoop::quit);
        dialog.exec();
    });
    controller.connectToServer();

    QVERIFY(session->waitForError());
    QCOMPARE(session->takeErrors(),
             QStringList{QStringLiteral("Vul het wachtwoord van je Usenet provider in bij de instellingen")});
    QVERIFY(session->waitForCycle());
    QCOMPARE(session->server.connectionCount(), 2);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 10);
}

void TestDownloadErrors::cycleResumes_data()
{
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<QByteArray>("commandPrefix");
    QTest::addColumn<QByteArray>("reply"); // empty: no reply at all
    QTest::addColumn<bool>("corruptCrc");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("replyTimeoutMs"); // 0: the client's own

    QTest::newRow("481-logs-in-again") << withAccount() << QByteArray("AUTHINFO PASS")
                                       << QByteArray("481 Authentication failed") << false
                                       << QStringLiteral("Fout: 481 Authentication failed") << 2 << 0;
    QTest::newRow("refused-xhdr-refreshes")
        << QVariantMap() << QByteArray("XHDR") << QByteArray("502 Permission denied") << false
        << QStringLiteral("Usenet provider ondersteund geen XHDR, kan geen reacties ophalen") << 1 << 0;
    QTest::newRow("bad-compressed-data-refreshes")
        << QVariantMap{{Settings::Key::xzver, true}} << QByteArray() << QByteArray() << true
        << QStringLiteral("Fout: Foutieve gecompreseerde headers ontvangen (yenc crc niet ok)") << 1 << 0;
    QTest::newRow("time-out-reconnects") << QVariantMap() << QByteArray("XOVER") << QByteArray() << false
                                         << QStringLiteral("Fout: Geen antwoord van de Usenet server (time-out)") << 2
                                         << 300;
    const QString otherGroup = QStringLiteral("Fout: de Usenet server selecteerde een andere groep dan gevraagd");
    QTest::newRow("group-reply-of-another-group")
        << QVariantMap() << QByteArray("GROUP free.pt") << QByteArray("211 1000 1 1000 free.usenet") << false
        << otherGroup << 1 << 0;
    QTest::newRow("group-reply-in-other-case")
        << QVariantMap() << QByteArray("GROUP free.usenet") << QByteArray("211 1000 1 1000 FREE.USENET") << false
        << otherGroup << 1 << 0;
    QTest::newRow("group-reply-without-name") << QVariantMap() << QByteArray("GROUP free.pt")
                                              << QByteArray("211 1000 1 1000") << false << otherGroup << 1 << 0;
    // More lines than the range has articles: the reply would never end.
    QByteArray endless = "221 References header follows\r\n";
    for (int line = 0; line <= 1000; ++line)
        endless += "500 <spot" + QByteArray::number(line) + "@free.pt>\r\n";
    QTest::newRow("endless-references-reconnect")
        << QVariantMap() << QByteArray("XHDR") << endless + '.' << false
        << QStringLiteral("Fout: Te groot antwoord van de Usenet server ontvangen (regels)") << 2 << 0;
}

// The user is told, and the cycle goes on by itself: over the same connection after the
// refresh interval, or over a new one after the reconnect delay.
void TestDownloadErrors::cycleResumes()
{
    QFETCH(QVariantMap, settings);
    QFETCH(QByteArray, commandPrefix);
    QFETCH(QByteArray, reply);
    QFETCH(bool, corruptCrc);
    QFETCH(QString, notice);
    QFETCH(int, connections);
    QFETCH(int, replyTimeoutMs);

    session->serveSpots(1, 1000, 100);
    session->server.requireLogin("jan", password);
    if (!reply.isEmpty())
        session->server.answer(commandPrefix, reply);
    else if (!commandPrefix.isEmpty())
        session->server.stayQuiet(commandPrefix);
    session->server.corruptYencCrc(corruptCrc);
    session->configure(withAccount(settings));
    Tarnwick &controller = session->create();
    constexpr int reconnectSeconds = 1;
    controller.setReconnectDelay(reconnectSeconds);
    QElapsedTimer sinceNotice;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (!text.startsWith(notice))
            return;
        sinceNotice.start();
        session->server.clearScripts();
    });
    connect(&session->server, &NewsServer::newConnection, this, [&] {
        if (sinceNotice.isValid())
            QVERIFY(sinceNotice.elapsed() >= reconnectSeconds * 1000 - 50);
    });
    controller.connectToServer();
    if (replyTimeoutMs != 0)
        clientOf(controller)->setReplyTimeout(replyTimeoutMs);

    QVERIFY(session->waitForCycle());
    const QStringList told = session->noticesStartingWith(notice);
    QCOMPARE(told.size(), 1);
    // trimmed(): the client still hands on a server's reply line with its CR LF.
    QCOMPARE(told.first().trimmed(), notice);
    QCOMPARE(session->server.connectionCount(), connections);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 10);
    QCOMPARE(countRows("commentlist", QStringLiteral("SELECT count(*) FROM msgnrs")), 10);
}

void TestDownloadErrors::tls_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("trusted-certificate") << true;
    QTest::newRow("self-signed-certificate") << false;
}

void TestDownloadErrors::tls()
{
    QFETCH(bool, trusted);

    const TestCertificate tls = TestCertificate::generate(QStringLiteral("localhost"));
    QVERIFY(!tls.isNull());
    const QSslConfiguration systemDefault = QSslConfiguration::defaultConfiguration();
    if (trusted)
        tls.trust();
    session->serveSpots(1, 1000, 100);
    session->server.useTls(tls.certificate, tls.key);
    session->configure({{Settings::Key::server, QStringLiteral("localhost")}, {Settings::Key::ssl, true}});
    Tarnwick &controller = session->start();

    if (trusted) {
        const bool done = session->waitForCycle();
        QSslConfiguration::setDefaultConfiguration(systemDefault);
        QVERIFY(done);
        QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 10);
        return;
    }
    QVERIFY(session->waitForError());
    QCOMPARE(session->takeErrors(),
             QStringList{SpotNNTP::sslErrorText(QSslError(QSslError::SelfSignedCertificate, tls.certificate),
                                                QStringLiteral("localhost"))});
    QTRY_VERIFY(!clientOf(controller));
    QCOMPARE(session->commands(), QList<QByteArray>());
}

TARNWICK_TEST_MAIN(TestDownloadErrors)
#include "tst_downloaderrors.moc"
