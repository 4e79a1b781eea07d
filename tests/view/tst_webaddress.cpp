#include "testmain.h"
#include "webaddress.h"

class TestWebAddress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void imageAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("allowed");
        const auto row = [](const char *name, const char *address, bool allowed) {
            QTest::newRow(name) << QString::fromLatin1(address) << allowed;
        };
        row("public-name", "http://images.example/a.png", true);
        row("public-https", "HTTPS://Images.Example:8443/a.png", true);
        row("public-ipv4", "http://93.184.216.34/a.png", true);
        row("public-ipv6", "http://[2001:4860::1]/a.png", true);
        row("trailing-dot-public", "http://images.example./a.png", true);
        row("loopback", "http://127.0.0.1:6789/api", false);
        row("loopback-elsewhere-in-8", "http://127.1.2.3/", false);
        row("loopback-ipv6", "http://[::1]/", false);
        row("ipv4-mapped-loopback", "http://[::ffff:127.0.0.1]/", false);
        row("unspecified", "http://0.0.0.0/", false);
        row("private-10", "http://10.0.0.1/", false);
        row("private-172", "http://172.16.5.4/", false);
        row("not-private-172-32", "http://172.32.0.1/", true);
        row("private-192-168", "http://192.168.1.1/setup.cgi", false);
        row("shared-100-64", "http://100.64.0.1/", false);
        row("link-local-metadata", "http://169.254.169.254/latest", false);
        row("link-local-ipv6", "http://[fe80::1]/", false);
        row("unique-local-ipv6", "http://[fd00::1]/", false);
        row("multicast", "http://239.1.2.3/", false);
        row("broadcast", "http://255.255.255.255/", false);
        row("localhost", "http://localhost:8080/", false);
        row("localhost-upper-with-dot", "http://LOCALHOST./", false);
        row("under-localhost", "http://app.localhost/", false);
        row("mdns-name", "http://nas.local/", false);
        row("lan-name", "http://router.lan/", false);
        row("home-arpa", "http://printer.home.arpa/", false);
        row("dotless-name", "http://router/", false);
        row("decimal-ipv4", "http://2130706433/", false);
        row("hex-label", "http://a.0x7f/", false);
        row("numeric-last-label", "http://127.1/", false);
        row("javascript", "javascript:alert(1)", false);
        row("data", "data:image/png;base64,AAAA", false);
        row("file", "file:///etc/passwd", false);
        row("ftp", "ftp://images.example/a.png", false);
        row("no-host", "http:///a.png", false);
    }
    // clang-format on

    void imageAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, allowed);
        QCOMPARE(isPublicImageAddress(QUrl(address)), allowed);
    }

    // What the page writes for an image, and what the program fetches for what it asks.
    // The rows stay as laid out, one case a row.
    // clang-format off
    void pageImageAddresses_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("image"); // empty: none
        const auto row = [](const char *name, const char *asked, const char *image) {
            QTest::newRow(name) << QString::fromLatin1(asked) << QString::fromLatin1(image);
        };
        row("plain", "tarnwick-page:image?http%3A%2F%2Fi.example%2Fa.png", "http://i.example/a.png");
        row("query-and-escapes-kept", "tarnwick-page:image?http%3A%2F%2Fi.example%2Fa%2520b.png%3Fx%3D1%26y%3D%2522",
            "http://i.example/a%20b.png?x=1&y=%22");
        row("page-is-no-image", "tarnwick-page:1", "");
        row("other-scheme", "http:image?http%3A%2F%2Fi.example%2Fa.png", "");
    }
    // clang-format on

    void pageImageAddresses()
    {
        QFETCH(QString, asked);
        QFETCH(QString, image);
        QCOMPARE(imageOfPageImageAddress(QUrl(asked)).toString(QUrl::FullyEncoded), image);
        if (!image.isEmpty())
            QCOMPARE(QString::fromLatin1(pageImageAddress(QUrl(image))), asked);
    }
};

TARNWICK_TEST_MAIN(TestWebAddress)
#include "tst_webaddress.moc"
