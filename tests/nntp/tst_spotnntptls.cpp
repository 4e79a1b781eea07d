#include "nntptestbed.h"
#include "testcertificate.h"
#include "testmain.h"

#include <QSslConfiguration>

// SpotNNTP over TLS against the news server with certificates made for the test: peer
// verification is never skipped, and each failure reports its Dutch text once.
class TestSpotNNTPTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void trustedCertificate();
    void verificationFails_data();
    void verificationFails();
    void otherErrorText();

private:
    TestCertificate localhost;
    TestCertificate wrongHost;
    QSslConfiguration originalDefault;
    ClientTestBed bed;
};

void TestSpotNNTPTls::initTestCase()
{
    localhost = TestCertificate::generate(QStringLiteral("localhost"));
    wrongHost = TestCertificate::generate(QStringLiteral("wrong.example"));
    QVERIFY(!localhost.isNull());
    QVERIFY(!wrongHost.isNull());
    originalDefault = QSslConfiguration::defaultConfiguration();
}

void TestSpotNNTPTls::init()
{
    QVERIFY(bed.start());
}

void TestSpotNNTPTls::cleanup()
{
    QSslConfiguration::setDefaultConfiguration(originalDefault);
    CLIENT_TEST_CLEANUP(bed);
}

void TestSpotNNTPTls::trustedCertificate()
{
    bed.server->useTls(localhost.certificate, localhost.key);
    localhost.trust();
    ClientUnderTest &c = bed.makeClient(true, {}, {}, QStringLiteral("localhost"), true);

    QVERIFY(c.logIn());
    QVERIFY(c.overview(1, 3));
    QCOMPARE(c.headerLine.count(), 4);
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>({"GROUP free.pt", "XZVER 1-3"}));
}

void TestSpotNNTPTls::verificationFails_data()
{
    QTest::addColumn<bool>("wrongName");
    QTest::addColumn<QString>("text");
    QTest::newRow("untrusted")
        << false
        << QStringLiteral("SSL fout! <p>Het SSL certificaat van de sever is niet uitgegeven door een "
                          "vertrouwde instantie (zoals RapidSSL, StartSSL of Comodo).<br>Zonder betrouwbaar "
                          "certificaat is het niet mogelijk een <b>VEILIGE</b> verbinding op te zetten.<p>"
                          "Neem contact met je provider op!");
    QTest::newRow("host-name-mismatch") << true
                                        << QStringLiteral("SSL fout! Je hebt 'localhost' als server adres opgegeven, "
                                                          "maar het SSL certificaat van de server is alleen geldig "
                                                          "voor 'wrong.example'");
}

void TestSpotNNTPTls::verificationFails()
{
    QFETCH(bool, wrongName);
    const TestCertificate &served = wrongName ? wrongHost : localhost;
    bed.server->useTls(served.certificate, served.key);
    if (wrongName)
        served.trust(); // so that the name is the only fault
    ClientUnderTest &c = bed.makeClient(false, {}, {}, QStringLiteral("localhost"), true);

    c->login();
    QVERIFY(c.error.wait());
    QFETCH(QString, text);
    QCOMPARE(c.error.takeFirst(), QVariantList({SpotNNTP::codeTlsVerification, text}));
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    QVERIFY(c.loggedIn.isEmpty());
    QVERIFY(bed.server->receivedCommands().isEmpty());
}

void TestSpotNNTPTls::otherErrorText()
{
    const QSslError expired(QSslError::CertificateExpired, localhost.certificate);
    QCOMPARE(SpotNNTP::sslErrorText(expired, QStringLiteral("localhost")),
             QStringLiteral("SSL fout! : ") + expired.errorString());
}

TARNWICK_TEST_MAIN(TestSpotNNTPTls)
#include "tst_spotnntptls.moc"
