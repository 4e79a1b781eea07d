// The same download over every transport stores the same rows: plain TCP, TLS (whose
// socket reports new data from inside the event-loop turn of a progress notice), compressed
// headers over TLS, and a slot that runs a nested event loop, as a message box does.
#include "syncsession.h"
#include "testcertificate.h"
#include "testmain.h"

#include <QEventLoop>
#include <QSslConfiguration>
#include <QTimer>

namespace {

constexpr qint64 spotCount = 3000;
constexpr qint64 commentsPerSpot = 2;

QByteArray keyOf(qint64 spot)
{
    return "spot" + QByteArray::number(spot);
}

// Comment n is on spot ((n - 1) mod spotCount) + 1: every spot has its comments far apart.
QList<quint32> commentsOf(qint64 spot)
{
    QList<quint32> numbers;
    for (qint64 round = 0; round < commentsPerSpot; ++round)
        numbers += quint32(spot + round * spotCount);
    return numbers;
}

} // namespace

class TestDownloadTransport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void sameRowsOverEveryTransport_data();
    void sameRowsOverEveryTransport();

private:
    TestCertificate localhost;
    QSslConfiguration systemDefault;
    std::unique_ptr<SyncSession> session;
};

void TestDownloadTransport::initTestCase()
{
    localhost = TestCertificate::generate(QStringLiteral("localhost"));
    QVERIFY(!localhost.isNull());
    systemDefault = QSslConfiguration::defaultConfiguration();
}

void TestDownloadTransport::init()
{
    session = std::make_unique<SyncSession>();
}

void TestDownloadTransport::cleanup()
{
    QSslConfiguration::setDefaultConfiguration(systemDefault);
    endSession(session);
}

void TestDownloadTransport::sameRowsOverEveryTransport_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<bool>("nestedLoop");
    QTest::newRow("plain") << false << false << false;
    QTest::newRow("tls") << true << false << false;
    QTest::newRow("tls-compressed") << true << true << false;
    QTest::newRow("tls-nested-loop") << true << false << true;
    QTest::newRow("plain-nested-loop") << false << false << true;
    QTest::newRow("plain-compressed-nested-loop") << false << true << true;
}

void TestDownloadTransport::sameRowsOverEveryTransport()
{
    QFETCH(bool, tls);
    QFETCH(bool, compressed);
    QFETCH(bool, nestedLoop);

    NewsServer &server = session->server;
    server.addGroup(Tarnwick::spotGroup, 1, spotCount);
    server.setOverviewSource(Tarnwick::spotGroup, [](qint64 number) {
        return spotLine(number, "Spot " + QByteArray::number(number) + " | tag", 1600000000 + number * 60);
    });
    server.addGroup(Tarnwick::commentGroup, 1, spotCount * commentsPerSpot);
    for (qint64 number = 1; number <= spotCount * commentsPerSpot; ++number)
        server.addReferences(Tarnwick::commentGroup, number, reference(keyOf((number - 1) % spotCount + 1)));
    QVariantMap settings{{Settings::Key::xzver, compressed}};
    if (tls) {
        server.useTls(localhost.certificate, localhost.key);
        localhost.trust();
        settings.insert(Settings::Key::server, QStringLiteral("localhost"));
        settings.insert(Settings::Key::ssl, true);
    }
    session->configure(settings);
    Tarnwick &controller = session->create();
    if (nestedLoop) {
        // A dialog open for a moment in the middle of each range, inside the client's callback.
        connect(&controller, &Tarnwick::notice, this, [](int, const QString &text) {
            if (!text.startsWith(QStringLiteral("Headeren 1500 "))
                && !text.startsWith(QStringLiteral("Headeren van reacties 1500 ")))
                return;
            QEventLoop dialog;
            QTimer::singleShot(50, &dialog, &QEventLoop::quit);
            dialog.exec();
        });
    }
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QList<QVariantList> expectedSpots;
    for (qint64 spot = 1; spot <= spotCount; ++spot)
        expectedSpots += QVariantList{keyOf(spot)};
    QCOMPARE(selectRows("spots", QStringLiteral("SELECT msgid FROM spots ORDER BY id")), expectedSpots);
    QCOMPARE(countRows("commentlist", QStringLiteral("SELECT count(*) FROM msgnrs")), spotCount);
    for (qint64 spot = 1; spot <= spotCount; ++spot)
        QCOMPARE(controller.commentNumbers(QString::fromLatin1(keyOf(spot))), commentsOf(spot));
    QCOMPARE(Settings::lastHeader(), spotCount);
    QCOMPARE(Settings::lastCommentsHeader(), spotCount * commentsPerSpot);
}

TARNWICK_TEST_MAIN(TestDownloadTransport)
#include "tst_downloadtransport.moc"
