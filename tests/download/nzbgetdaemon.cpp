#include "nzbgetdaemon.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <QUuid>

#include <memory>

namespace {

// Where the Debian package puts the configuration that NZBGet itself starts from.
const QStringList configTemplates{QStringLiteral("/usr/share/nzbget/webui/nzbget.conf"),
                                  QStringLiteral("/etc/nzbget.conf")};

QString configTemplate()
{
    for (const QString &path : configTemplates) {
        if (QFile::exists(path))
            return path;
    }
    return {};
}

// A loopback port that was free a moment ago: NZBGet takes no port 0.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

NzbGetDaemon::NzbGetDaemon()
    : secret(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

NzbGetDaemon::~NzbGetDaemon()
{
    if (daemon.state() == QProcess::NotRunning)
        return;
    call(QStringLiteral("shutdown"));
    if (!daemon.waitForFinished(20000)) {
        daemon.kill();
        daemon.waitForFinished();
    }
}

NzbGetDaemon::Options NzbGetDaemon::newsServer(quint16 port, int connections)
{
    return {{"Server1.Active", "yes"},
            {"Server1.Host", "127.0.0.1"},
            {"Server1.Port", QByteArray::number(port)},
            {"Server1.Username", ""},
            {"Server1.Password", ""},
            {"Server1.Connections", QByteArray::number(connections)},
            {"Server1.Encryption", "no"},
            {"DiskSpace", "0"}};
}

bool NzbGetDaemon::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("nzbget")).isEmpty() && !configTemplate().isEmpty();
}

QString NzbGetDaemon::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(controlPort);
}

QString NzbGetDaemon::destinationDir() const
{
    return dir.filePath(QStringLiteral("dst"));
}

bool NzbGetDaemon::writeConfig(const QString &templatePath, const QList<std::pair<QByteArray, QByteArray>> &extra,
                               QString *why) const
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
        {"ControlPort", QByteArray::number(controlPort)},
        {"ControlUsername", user.toUtf8()},
        {"ControlPassword", secret.toUtf8()},
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
    options += extra;
    QByteArray config;
    const QRegularExpression server(QStringLiteral("^Server\\d+\\."));
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (server.match(QString::fromUtf8(line)).hasMatch())
            continue; // the template's example server: only the options' servers
        for (auto &[name, value] : options) {
            if (!name.isEmpty() && line.startsWith(name + '=')) {
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

bool NzbGetDaemon::start(const Options &options, QString *why)
{
    controlPort = freePort();
    if (!dir.isValid() || controlPort == 0) {
        *why = QStringLiteral("no temporary directory or free port");
        return false;
    }
    if (!writeConfig(configTemplate(), options, why))
        return false;
    // In the foreground (-s), so that the test owns the process and its end.
    daemon.setProgram(QStandardPaths::findExecutable(QStringLiteral("nzbget")));
    daemon.setArguments({QStringLiteral("-c"), dir.filePath(QStringLiteral("nzbget.conf")), QStringLiteral("-s")});
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    daemon.start();
    if (!daemon.waitForStarted()) {
        *why = daemon.errorString();
        return false;
    }
    if (!QTest::qWaitFor(
            [this] { return call(QStringLiteral("version")).isString() || daemon.state() == QProcess::NotRunning; },
            30000)
        || daemon.state() != QProcess::Running) {
        *why = QString::fromLocal8Bit(daemon.readAll());
        return false;
    }
    return true;
}

QJsonValue NzbGetDaemon::call(const QString &method, const QJsonArray &params)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/jsonrpc").arg(controlPort)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setRawHeader("Authorization", "Basic " + (user + u':' + secret).toUtf8().toBase64());
    request.setTransferTimeout(10000);
    const QJsonObject body{
        {QStringLiteral("method"), method}, {QStringLiteral("params"), params}, {QStringLiteral("id"), 1}};
    const std::unique_ptr<QNetworkReply> reply(network.post(request, QJsonDocument(body).toJson()));
    if (!reply->isFinished())
        QSignalSpy(reply.get(), &QNetworkReply::finished).wait(15000);
    return QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("result"));
}
