#include "httptestbed.h"
#include "nzbsender.h"
#include "testmain.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>

#include <optional>

namespace {

const QString user = QStringLiteral("tarnwick");
const QString password = QUuid::createUuid().toString(QUuid::WithoutBraces);

// Where the Debian package puts the configuration that NZBGet itself starts from.
const QStringList configTemplates{QStringLiteral("/usr/share/nzbget/webui/nzbget.conf"),
                                  QStringLiteral("/etc/nzbget.conf")};

std::unique_ptr<NzbSender> nzbget(quint16 port, const QString &name, const QString &pass, bool paused = false)
{
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::NzbGet;
    handOff.nzbgetUrl = QStringLiteral("http://127.0.0.1:%1").arg(port);
    handOff.nzbgetUser = name;
    handOff.nzbgetPassword = pass;
    handOff.priority = Settings::NzbHandOff::Priority::High;
    handOff.addPaused = paused;
    return NzbSender::make(handOff);
}

} // namespace

// NzbGetSender against a real NZBGet (Debian package nzbget): a private server on a free
// loopback port, its directories in a temporary one, no news servers, so that it only queues.
class TestNzbGetSender : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void queues_data();
    void queues();
    void wrongCredentials_data();
    void wrongCredentials();

private:
    bool writeConfig(const QString &templatePath, QString *why) const;
    // NZBGet's answer to one JSON-RPC call: its "result", undefined without one.
    QJsonValue call(const QString &method, const QJsonArray &params = {});
    QJsonArray groups();

    std::optional<MessageLog> log;
    QTemporaryDir dir;
    QProcess daemon;
    quint16 port = 0;
    QNetworkAccessManager network;
};

bool TestNzbGetSender::writeConfig(const QString &templatePath, QString *why) const
{
    QFile in(templatePath);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = templatePath + QStringLiteral(": ") + in.errorString();
        return false;
    }
    QList<std::pair<QByteArray, QByteArray>> options{
        {"MainDir", QFile::encodeName(dir.path())},
        {"DestDir", "${MainDir}/dst"},
        {"InterDir", "${MainDir}/inter"},
        {"NzbDir", "${MainDir}/nzb"},
        {"QueueDir", "${MainDir}/queue"},
        {"TempDir", "${MainDir}/tmp"},
        {"ScriptDir", "${MainDir}/scripts"},
        {"LockFile", "${MainDir}/nzbget.lock"},
        {"LogFile", "${MainDir}/nzbget.log"},
        {"ControlIP", "127.0.0.1"},
        {"ControlPort", QByteArray::number(port)},
        {"ControlUsername", user.toUtf8()},
        {"ControlPassword", password.toUtf8()},
        {"RestrictedUsername", ""},
        {"RestrictedPassword", ""},
        {"AddUsername", ""},
        {"AddPassword", ""},
        {"SecureControl", "no"},
        {"FormAuth", "no"},
        {"AuthorizedIP", ""}, // an address listed here gets in without a password
        {"UpdateCheck", "none"},
        {"NzbDirInterval", "0"}, // nothing but the test adds NZBs
        {"OutputMode", "loggable"}, // the template's "curses" wants a terminal
    };
    QByteArray config;
    const QRegularExpression server(QStringLiteral("^Server\\d+\\."));
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (server.match(QString::fromUtf8(line)).hasMatch())
            continue; // no news servers: nothing is downloaded
        for (auto &[name, value] : options) {
            if (line.startsWith(name + '=')) {
                line = name + '=' + value + '\n';
                name.clear(); // set
            }
        }
        config += line;
    }
    for (const auto &[name, value] : options) {
        if (!name.isEmpty())
            config += name + '=' + value + '\n';
    }
    QFile out(dir.filePath(QStringLiteral("nzbget.conf")));
    if (!out.open(QIODevice::WriteOnly) || out.write(config) != config.size()) {
        *why = out.fileName() + QStringLiteral(": ") + out.errorString();
        return false;
    }
    return true;
}

QJsonValue TestNzbGetSender::call(const QString &method, const QJsonArray &params)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/jsonrpc").arg(port)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setRawHeader("Authorization", "Basic " + (user + u':' + password).toUtf8().toBase64());
    request.setTransferTimeout(10000);
    const QJsonObject body{
        {QStringLiteral("method"), method}, {QStringLiteral("params"), params}, {QStringLiteral("id"), 1}};
    const std::unique_ptr<QNetworkReply> reply(network.post(request, QJsonDocument(body).toJson()));
    if (!reply->isFinished())
        QSignalSpy(reply.get(), &QNetworkReply::finished).wait(15000);
    return QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("result"));
}

QJsonArray TestNzbGetSender::groups()
{
    return call(QStringLiteral("listgroups"), {0}).toArray();
}

void TestNzbGetSender::initTestCase()
{
    log.emplace();
    const QString program = QStandardPaths::findExecutable(QStringLiteral("nzbget"));
    if (program.isEmpty())
        QSKIP("NZBGet is not installed (Debian package nzbget); scripts/test installs it");
    QString templatePath;
    for (const QString &path : configTemplates) {
        if (templatePath.isEmpty() && QFile::exists(path))
            templatePath = path;
    }
    QVERIFY2(!templatePath.isEmpty(), "nzbget is installed, but not its configuration template");
    QVERIFY(dir.isValid());
    port = closedPort();
    QString why;
    QVERIFY2(writeConfig(templatePath, &why), qPrintable(why));

    // In the foreground (-s), so that the test owns the process and its end.
    daemon.setProgram(program);
    daemon.setArguments({QStringLiteral("-c"), dir.filePath(QStringLiteral("nzbget.conf")), QStringLiteral("-s")});
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    daemon.start();
    QVERIFY2(daemon.waitForStarted(), qPrintable(daemon.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(call(QStringLiteral("version")).isString() || daemon.state() == QProcess::NotRunning,
                             30000);
    QVERIFY2(daemon.state() == QProcess::Running, daemon.readAll().constData());
    QVERIFY(groups().isEmpty());
}

void TestNzbGetSender::cleanupTestCase()
{
    if (daemon.state() != QProcess::NotRunning) {
        call(QStringLiteral("shutdown"));
        if (!daemon.waitForFinished(20000)) {
            daemon.kill();
            daemon.waitForFinished();
        }
    }
    log->verifyNeverSaid(password);
    log.reset();
}

void TestNzbGetSender::queues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QString>("nzbName");
    QTest::addColumn<QString>("status");

    QTest::newRow("with-category") << QStringLiteral("Tarnwick proef een") << QStringLiteral("Films") << false
                                   << QStringLiteral("Tarnwick proef een") << QStringLiteral("QUEUED");
    QTest::newRow("without-category-paused") << QStringLiteral("Tarnwick proef twee") << QString() << true
                                             << QStringLiteral("Tarnwick proef twee") << QStringLiteral("PAUSED");
    QTest::newRow("title-with-path-characters")
        << QStringLiteral("Tarnwick: proef/drie \u00e9") << QStringLiteral("Boeken") << false
        << QStringLiteral("Tarnwick_ proef_drie \u00e9") << QStringLiteral("QUEUED");
}

void TestNzbGetSender::queues()
{
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(bool, paused);
    QFETCH(QString, nzbName);
    const qsizetype before = groups().size();

    const auto sender = nzbget(port, user, password, paused);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    // Each row its own files: NZBGet sets an NZB it already has aside as a duplicate.
    const QByteArray messageId = QByteArray(QTest::currentDataTag()) + "@free.pt";
    sender->send({name, category, messageId, threeFileNzb(QTest::currentDataTag())});
    QVERIFY(sent.isEmpty() && failed.isEmpty());
    QVERIFY(sent.wait(15000));
    QCOMPARE(sent.first().value(0).toString(), QStringLiteral("NZB naar NZBGet gestuurd: ") + name);
    const QString jobId = sent.first().value(1).toString();
    QVERIFY(failed.isEmpty());

    const QJsonArray queued = groups();
    QCOMPARE(queued.size(), before + 1);
    QJsonObject group;
    for (const QJsonValue &entry : queued) {
        if (entry.toObject().value(QStringLiteral("NZBName")).toString() == nzbName)
            group = entry.toObject();
    }
    QVERIFY2(!group.isEmpty(), QJsonDocument(queued).toJson().constData());
    QCOMPARE(QString::number(group.value(QStringLiteral("NZBID")).toInt()), jobId);
    QCOMPARE(group.value(QStringLiteral("NZBFilename")).toString(), nzbName + QStringLiteral(".nzb"));
    QCOMPARE(group.value(QStringLiteral("FileCount")).toInt(), 3);
    QCOMPARE(group.value(QStringLiteral("Category")).toString(), category);
    QCOMPARE(group.value(QStringLiteral("MaxPriority")).toInt(), 50); // high
    QTEST(group.value(QStringLiteral("Status")).toString(), "status");
    QCOMPARE(group.value(QStringLiteral("DupeKey")).toString(), QStringLiteral("tarnwick:") + QString::fromLatin1(messageId));
    QCOMPARE(group.value(QStringLiteral("DupeMode")).toString(), QStringLiteral("SCORE"));
    const QJsonArray parameters = group.value(QStringLiteral("Parameters")).toArray();
    QVERIFY2(parameters.contains(QJsonObject{{QStringLiteral("Name"), QStringLiteral("TarnwickSpot")},
                                             {QStringLiteral("Value"), QString::fromLatin1(messageId)}}),
             QJsonDocument(parameters).toJson().constData());
}

void TestNzbGetSender::wrongCredentials_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pass");
    QTest::newRow("wrong-password") << user << QStringLiteral("fout");
    QTest::newRow("wrong-user") << QStringLiteral("iemand") << password;
    QTest::newRow("none") << QString() << QString();
}

void TestNzbGetSender::wrongCredentials()
{
    QFETCH(QString, name);
    QFETCH(QString, pass);
    const qsizetype before = groups().size();

    const auto sender = nzbget(port, name, pass);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    sender->send({QStringLiteral("Tarnwick geweigerd"), QString(), "geweigerd@free.pt", threeFileNzb()});
    QVERIFY(failed.wait(15000));
    QCOMPARE(failed.takeFirst().value(0).toString(),
             QStringLiteral("NZBGet weigert de gebruikersnaam of het wachtwoord"));
    QVERIFY(sent.isEmpty());
    QCOMPARE(groups().size(), before);
}

TARNWICK_TEST_MAIN(TestNzbGetSender)
#include "tst_nzbgetsender.moc"
