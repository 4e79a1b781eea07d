// The program's fetch of a spot image, with the picture server as the proxy of every host:
// what it follows, what it refuses, and what the server is never asked.
#include "pictureserver.h"
#include "spotimagefetch.h"
#include "testmain.h"

#include <QNetworkProxy>
#include <QSignalSpy>

class TestSpotImageFetch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fetch_data();
    void fetch();

private:
    PictureServer pictures;
};

void TestSpotImageFetch::initTestCase()
{
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), pictures.serverPort()));
    pictures.largeSize = SpotImageFetch::maxBytes + 1;
}

void TestSpotImageFetch::fetch_data()
{
    using Outcome = SpotImageFetch::Outcome;
    QTest::addColumn<QString>("image");
    QTest::addColumn<QByteArray>("redirectTo");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QStringList>("reached"); // what the server was asked
    const QString redirect = QStringLiteral("http://images.example/redirect");
    const QString picture = QStringLiteral("http://images.example/spot.png");
    const QByteArray loopback = "http://127.0.0.1:" + QByteArray::number(pictures.serverPort()) + "/secret.png";

    QTest::newRow("picture") << picture << QByteArray() << Outcome::Fetched << QStringList{picture};
    QTest::newRow("loopback-never-asked")
        << QString::fromLatin1(loopback) << QByteArray() << Outcome::Refused << QStringList();
    QTest::newRow("redirect-to-loopback-not-followed")
        << redirect << loopback << Outcome::Refused << QStringList{redirect};
    QTest::newRow("redirect-to-localhost-not-followed")
        << redirect << QByteArray("http://localhost/secret.png") << Outcome::Refused << QStringList{redirect};
    QTest::newRow("redirect-to-a-private-network-not-followed")
        << redirect << QByteArray("http://192.168.1.1/secret.png") << Outcome::Refused << QStringList{redirect};
    QTest::newRow("redirect-to-file-not-followed") // by the network access already
        << redirect << QByteArray("file:///etc/passwd") << Outcome::Failed << QStringList{redirect};
    QTest::newRow("redirect-to-a-public-host-followed")
        << redirect << picture.toLatin1() << Outcome::Fetched << QStringList{redirect, picture};
    const QString page = QStringLiteral("http://images.example/page.html");
    QTest::newRow("web-page-is-no-picture") << page << QByteArray() << Outcome::Refused << QStringList{page};
    const QString large = QStringLiteral("http://images.example/large.png");
    QTest::newRow("picture-past-the-bound") << large << QByteArray() << Outcome::Refused << QStringList{large};
}

void TestSpotImageFetch::fetch()
{
    QFETCH(QString, image);
    QFETCH(QByteArray, redirectTo);
    QFETCH(SpotImageFetch::Outcome, outcome);
    QFETCH(QStringList, reached);
    pictures.targets.clear();
    pictures.redirectTo = redirectTo;

    SpotImageFetch fetch(QUrl(image), nullptr);
    QSignalSpy finished(&fetch, &SpotImageFetch::finished);
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().value<SpotImageFetch::Outcome>(), outcome);
    QVERIFY2(pictures.targets == reached, qPrintable(pictures.targets.join(QLatin1Char(' '))));
    if (outcome == SpotImageFetch::Outcome::Fetched) {
        QCOMPARE(fetch.contentType(), QByteArray("image/png"));
        QVERIFY(fetch.body().startsWith("\x89PNG"));
    }
}

TARNWICK_TEST_MAIN(TestSpotImageFetch)
#include "tst_spotimagefetch.moc"
