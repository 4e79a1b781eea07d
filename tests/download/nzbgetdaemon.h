#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <utility>

// Debian's NZBGet as a private server: its configuration (from the package's template) and
// every directory in a temporary one, its control port on loopback at a port that was free,
// a user and password of its own, run in the foreground so that the test owns the process.
// Without news servers it only queues; options given to start() may add one.
class NzbGetDaemon
{
public:
    static inline const QString user = QStringLiteral("tarnwick");

    NzbGetDaemon();
    // Asks NZBGet to shut down, else kills it.
    ~NzbGetDaemon();

    // The program and its configuration template are installed.
    static bool installed();

    using Options = QList<std::pair<QByteArray, QByteArray>>;
    // The options of one plain news server on 127.0.0.1 at port without a login, with no
    // disk-space check: the start of the options of a test that downloads.
    static Options newsServer(quint16 port, int connections);

    // Writes the configuration, these options set over the template's, and starts NZBGet; false
    // (with why) when it does not answer.
    bool start(const Options &options, QString *why);

    quint16 port() const { return controlPort; }
    QString url() const;
    QString password() const { return secret; }
    // Where NZBGet puts what it downloaded.
    QString destinationDir() const;

    // NZBGet's answer to one JSON-RPC call: its "result", undefined without one.
    QJsonValue call(const QString &method, const QJsonArray &params = {});

    Q_DISABLE_COPY_MOVE(NzbGetDaemon)

private:
    bool writeConfig(const QString &templatePath, const QList<std::pair<QByteArray, QByteArray>> &extra,
                     QString *why) const;

    QTemporaryDir dir;
    QProcess daemon;
    quint16 controlPort = 0;
    const QString secret;
    QNetworkAccessManager network;
};
