#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <memory>
#include <utility>

// What the download tests share: a small HTTP server on a free loopback port that keeps each
// request as it arrived, and a log of every message the program writes (to prove that no
// password or key ever reaches it).

struct HttpRequest
{
    QByteArray method;
    QByteArray path; // without the query
    QList<std::pair<QString, QString>> query; // decoded as a web form is: "+" is a blank
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QStringList queryKeys() const
    {
        QStringList keys;
        for (const auto &item : query)
            keys.append(item.first);
        return keys;
    }
    QString queryValue(const QString &key) const
    {
        for (const auto &item : query) {
            if (item.first == key)
                return item.second;
        }
        return QString();
    }
};

struct HttpAnswer
{
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    bool silent = false; // reads the request and never answers
};

inline QString formDecoded(QByteArray part)
{
    part.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
}

class HttpTestServer
{
public:
    HttpTestServer()
    {
        const bool listening = listener.listen(QHostAddress::LocalHost, 0);
        Q_ASSERT(listening);
        Q_UNUSED(listening)
        QObject::connect(&listener, &QTcpServer::pendingConnectionAvailable, &listener, [this] {
            while (QTcpSocket *socket = listener.nextPendingConnection())
                serve(socket);
        });
    }

    // Serves https from now on, under the certificate's name (see url()).
    void useTls(const QSslCertificate &certificate, const QSslKey &key)
    {
        listener.certificate = certificate;
        listener.key = key;
    }

    QString url() const
    {
        return listener.certificate.isNull() ? QStringLiteral("http://127.0.0.1:%1").arg(port())
                                             : QStringLiteral("https://localhost:%1").arg(port());
    }
    quint16 port() const { return listener.serverPort(); }

    std::function<HttpAnswer(const HttpRequest &)> respond = [](const HttpRequest &) { return HttpAnswer{}; };
    QList<HttpRequest> requests;
    int closedConnections = 0; // closed by the client or after an answer

private:
    struct Listener : QTcpServer
    {
        QSslCertificate certificate;
        QSslKey key;

        void incomingConnection(qintptr descriptor) override
        {
            if (certificate.isNull()) {
                QTcpServer::incomingConnection(descriptor);
                return;
            }
            auto *socket = new QSslSocket(this);
            socket->setSocketDescriptor(descriptor);
            socket->setLocalCertificate(certificate);
            socket->setPrivateKey(key);
            socket->startServerEncryption();
            addPendingConnection(socket);
        }
    };

    void serve(QTcpSocket *socket)
    {
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            ++closedConnections;
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            received->append(socket->readAll());
            const qsizetype headEnd = received->indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            HttpRequest request;
            const QList<QByteArray> lines = received->left(headEnd).split('\n');
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            const QByteArray target = requestLine.value(1);
            const qsizetype question = target.indexOf('?');
            request.path = question < 0 ? target : target.left(question);
            if (question >= 0) {
                for (const QByteArray &item : target.mid(question + 1).split('&')) {
                    const qsizetype equals = item.indexOf('=');
                    request.query.append({formDecoded(item.left(equals)), formDecoded(item.mid(equals + 1))});
                }
            }
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines.at(i).indexOf(':');
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                       lines.at(i).mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length").toLongLong();
            if (received->size() < headEnd + 4 + length)
                return;
            request.body = received->mid(headEnd + 4, length);
            received->clear();
            requests.append(request);

            const HttpAnswer answer = respond(request);
            if (answer.silent)
                return;
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " Whatever\r\n";
            reply += "Content-Type: " + answer.contentType + "\r\n";
            reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
            for (const auto &[name, value] : answer.headers)
                reply += name + ": " + value + "\r\n";
            reply += "Connection: close\r\n\r\n" + answer.body;
            socket->write(reply);
            socket->disconnectFromHost();
        });
    }

    Listener listener;
};

// A spot's whole NZB: three files of one segment each, their names starting with tag.
inline QByteArray threeFileNzb(const QByteArray &tag = "spot")
{
    QByteArray nzb = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" "
                     "\"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
                     "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n";
    for (const char *suffix : {".part1.rar", ".part2.rar", ".par2"}) {
        const QByteArray file = tag + suffix;
        nzb += QByteArray("<file poster=\"spotter@example.invalid\" date=\"1700000000\" subject=\"&quot;") + file
            + "&quot; yEnc (1/1)\">\n"
              "<groups><group>alt.binaries.test</group></groups>\n"
              "<segments><segment bytes=\"1000\" number=\"1\">"
            + file + "@example.invalid</segment></segments>\n</file>\n";
    }
    return nzb + "</nzb>\n";
}

// A loopback port that nothing listens on.
inline quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Every message the program writes while it lives, passed on to QtTest as well. Create it
// inside the test run (initTestCase), after QtTest has put its own handler in place.
class MessageLog
{
public:
    MessageLog()
    {
        instance() = this;
        previous = qInstallMessageHandler(&MessageLog::handle);
    }
    ~MessageLog()
    {
        qInstallMessageHandler(previous);
        instance() = nullptr;
    }

    // Fails the test when a message contains secret.
    void verifyNeverSaid(const QString &secret) const
    {
        const QMutexLocker lock(&mutex);
        for (const QString &message : messages) {
            if (message.contains(secret))
                QFAIL(qPrintable(QStringLiteral("a message gives the secret away: ") + message));
        }
    }

private:
    static MessageLog *&instance()
    {
        static MessageLog *log = nullptr;
        return log;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        MessageLog *log = instance();
        {
            const QMutexLocker lock(&log->mutex);
            log->messages.append(message);
        }
        if (log->previous)
            log->previous(type, context, message);
    }

    mutable QMutex mutex;
    QStringList messages;
    QtMessageHandler previous = nullptr;
};
