#include "httptestbed.h"
#include "nzbsender.h"
#include "testmain.h"

#include <QRegularExpression>
#include <QSignalSpy>

#include <optional>

namespace {

const QString apiKey = QStringLiteral("5e3b7a0c9d1f4e2a8b6c0d4f2a1e3c5b");

struct FormPart
{
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray content;
};

// A multipart/form-data body read as a web server reads it; empty when it is not well formed.
QList<FormPart> formParts(const HttpRequest &request)
{
    const QByteArray type = request.headers.value("content-type");
    const qsizetype at = type.indexOf("boundary=");
    if (!type.startsWith("multipart/form-data;") || at < 0)
        return {};
    QByteArray boundary = type.mid(at + 9);
    if (boundary.startsWith('"'))
        boundary = boundary.mid(1, boundary.size() - 2);
    const QByteArray delimiter = "--" + boundary;
    const QByteArray &body = request.body;
    QList<FormPart> parts;
    qsizetype position = body.indexOf(delimiter);
    while (position >= 0) {
        position += delimiter.size();
        if (body.mid(position, 4) == "--\r\n")
            return parts;
        if (body.mid(position, 2) != "\r\n")
            return {};
        position += 2;
        const qsizetype end = body.indexOf("\r\n" + delimiter, position);
        const qsizetype headEnd = body.indexOf("\r\n\r\n", position);
        if (end < 0 || headEnd < 0 || headEnd > end)
            return {};
        FormPart part;
        for (const QByteArray &line : body.mid(position, headEnd - position).split('\n')) {
            const qsizetype colon = line.indexOf(':');
            part.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        part.content = body.mid(headEnd + 4, end - headEnd - 4);
        parts.append(part);
        position = end + 2;
    }
    return {};
}

HttpAnswer json(const QByteArray &body, int status = 200)
{
    HttpAnswer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}

std::unique_ptr<NzbSender> sabnzbd(const QString &url, const QString &key,
                                   Settings::NzbHandOff::Priority priority = Settings::NzbHandOff::Priority::Normal,
                                   bool paused = false)
{
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::Sabnzbd;
    handOff.sabnzbdUrl = url;
    handOff.sabnzbdKey = key;
    handOff.priority = priority;
    handOff.addPaused = paused;
    return NzbSender::make(handOff);
}

} // namespace

// SabnzbdSender against a server that reads the request as SABnzbd's API reference describes
// "addfile" (a multipart/form-data POST to /api, the NZB in the field "name", the rest as
// query parameters) and answers as SABnzbd does.
class TestSabnzbdSender : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { log.emplace(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }
    void cleanupTestCase()
    {
        log->verifyNeverSaid(apiKey);
        log.reset();
    }

    void sends_data();
    void sends();
    void refusals_data();
    void refusals();

private:
    std::optional<MessageLog> log;
};

void TestSabnzbdSender::sends_data()
{
    QTest::addColumn<QString>("address"); // %1: the server's port
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<Settings::NzbHandOff::Priority>("priority");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QString>("priorityValue");

    using Priority = Settings::NzbHandOff::Priority;
    const QString plain = QStringLiteral("http://127.0.0.1:%1");
    QTest::newRow("with-category") << plain << QStringLiteral("Mijn spot") << QStringLiteral("Films")
                                   << QByteArray("/api") << QStringLiteral("Mijn spot.nzb") << Priority::Normal << false
                                   << QStringLiteral("0");
    QTest::newRow("without-category") << plain << QStringLiteral("Mijn spot") << QString() << QByteArray("/api")
                                      << QStringLiteral("Mijn spot.nzb") << Priority::Low << false
                                      << QStringLiteral("-1");
    QTest::newRow("reserved-characters") << plain << QStringLiteral("A+B & C=D?#/ \u00e9\u20ac")
                                         << QStringLiteral("Muziek & zo") << QByteArray("/api")
                                         << QStringLiteral("A+B & C=D_#_ \u00e9\u20ac.nzb") << Priority::High << false
                                         << QStringLiteral("1");
    QTest::newRow("trailing-slash") << QStringLiteral("http://127.0.0.1:%1/") << QStringLiteral("Spot")
                                    << QStringLiteral("Boeken") << QByteArray("/api") << QStringLiteral("Spot.nzb")
                                    << Priority::Force << false << QStringLiteral("2");
    QTest::newRow("no-scheme") << QStringLiteral("127.0.0.1:%1") << QStringLiteral("Spot") << QStringLiteral("Boeken")
                               << QByteArray("/api") << QStringLiteral("Spot.nzb") << Priority::High << true
                               << QStringLiteral("-2");
    QTest::newRow("under-sabnzbd") << QStringLiteral("http://127.0.0.1:%1/sabnzbd/") << QStringLiteral("Spot")
                                   << QStringLiteral("Boeken") << QByteArray("/sabnzbd/api")
                                   << QStringLiteral("Spot.nzb") << Priority::Normal << false << QStringLiteral("0");
}

void TestSabnzbdSender::sends()
{
    QFETCH(QString, address);
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(Settings::NzbHandOff::Priority, priority);
    QFETCH(bool, paused);
    HttpTestServer server;
    server.respond = [](const HttpRequest &) { return json(R"({"status": true, "nzo_ids": ["SABnzbd_nzo_x1"]})"); };
    const QByteArray nzb = threeFileNzb();

    const auto sender = sabnzbd(address.arg(server.port()), apiKey, priority, paused);
    QVERIFY(sender);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    sender->send({name, category, "spot@free.pt", nzb});
    QVERIFY(sent.isEmpty() && failed.isEmpty()); // never from inside send()
    QVERIFY(sent.wait());
    QCOMPARE(sent.first().value(0).toString(), QStringLiteral("NZB naar SABnzbd gestuurd: ") + name);
    QCOMPARE(sent.first().value(1).toString(), QStringLiteral("SABnzbd_nzo_x1")); // the job to follow
    QVERIFY(failed.isEmpty());

    QCOMPARE(server.requests.size(), 1);
    const HttpRequest &request = server.requests.first();
    QCOMPARE(request.method, QByteArray("POST"));
    QTEST(request.path, "path");
    QStringList keys{QStringLiteral("apikey"), QStringLiteral("mode"), QStringLiteral("nzbname"),
                     QStringLiteral("output"), QStringLiteral("pp"),   QStringLiteral("priority")};
    if (!category.isEmpty())
        keys.append(QStringLiteral("cat"));
    QStringList sentKeys = request.queryKeys();
    sentKeys.sort();
    keys.sort();
    QCOMPARE(sentKeys, keys);
    QCOMPARE(request.queryValue(QStringLiteral("mode")), QStringLiteral("addfile"));
    QCOMPARE(request.queryValue(QStringLiteral("output")), QStringLiteral("json"));
    QCOMPARE(request.queryValue(QStringLiteral("apikey")), apiKey);
    QCOMPARE(request.queryValue(QStringLiteral("nzbname")), name);
    QCOMPARE(request.queryValue(QStringLiteral("cat")), category);
    QTEST(request.queryValue(QStringLiteral("priority")), "priorityValue");
    QCOMPARE(request.queryValue(QStringLiteral("pp")), QStringLiteral("3")); // repair, unpack, delete
    QVERIFY(!request.headers.contains("authorization"));

    const QList<FormPart> parts = formParts(request);
    QCOMPARE(parts.size(), 1);
    QFETCH(QString, fileName);
    QCOMPARE(parts.first().headers.value("content-disposition"),
             "form-data; name=\"name\"; filename=\"" + fileName.toUtf8() + '"');
    QCOMPARE(parts.first().headers.value("content-type"), QByteArray("application/x-nzb"));
    QCOMPARE(parts.first().content, nzb);
}

void TestSabnzbdSender::refusals_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reason");

    const QByteArray json = "application/json";
    const QByteArray text = "text/plain";
    QTest::newRow("refused") << apiKey << 200 << json << QByteArray(R"({"status": false, "error": "Geen geldige NZB"})")
                             << QStringLiteral("SABnzbd weigerde de NZB: Geen geldige NZB");
    QTest::newRow("wrong-key") << QStringLiteral("fout") << 200 << json
                               << QByteArray(R"({"status": false, "error": "API Key Incorrect"})")
                               << QStringLiteral("SABnzbd weigerde de NZB: API Key Incorrect");
    QTest::newRow("wrong-key-forbidden") << QStringLiteral("fout") << 403 << text << QByteArray("API Key Incorrect\n")
                                         << QStringLiteral("SABnzbd weigerde de NZB: API Key Incorrect");
    QTest::newRow("no-key-plain") << QString() << 200 << text << QByteArray("error: API Key Required\n")
                                  << QStringLiteral("SABnzbd weigerde de NZB: API Key Required");
    QTest::newRow("status-false-only") << apiKey << 200 << json << QByteArray(R"({"status": false, "nzo_ids": []})")
                                       << QStringLiteral("SABnzbd weigerde de NZB");
    QTest::newRow("status-not-boolean") << apiKey << 200 << json << QByteArray(R"({"status": "true"})")
                                        << QStringLiteral("SABnzbd weigerde de NZB");
    QTest::newRow("server-error") << apiKey << 500 << text << QByteArray()
                                  << QStringLiteral("SABnzbd weigerde de NZB (HTTP 500)");
}

void TestSabnzbdSender::refusals()
{
    QFETCH(QString, key);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    HttpTestServer server;
    server.respond = [&](const HttpRequest &) {
        HttpAnswer answer = json(body, status);
        answer.contentType = contentType;
        return answer;
    };

    const auto sender = sabnzbd(server.url(), key);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    sender->send({QStringLiteral("Mijn spot"), QString(), "spot@free.pt", threeFileNzb()});
    QVERIFY(failed.isEmpty());
    QVERIFY(failed.wait());
    QTEST(failed.takeFirst().value(0).toString(), "reason");
    QVERIFY(sent.isEmpty());
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(server.requests.first().queryValue(QStringLiteral("apikey")), key);
}

TARNWICK_TEST_MAIN(TestSabnzbdSender)
#include "tst_sabnzbdsender.moc"
