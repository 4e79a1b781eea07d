#include "newsserver.h"

#include "newssession.h"

#include <QSslSocket>

NewsServer::NewsServer(QObject *parent)
    : QTcpServer(parent)
{
}

void NewsServer::addGroup(const QByteArray &group, qint64 low, qint64 high)
{
    corpus.addGroup(group, low, high);
}

void NewsServer::addOverview(const QByteArray &group, qint64 number, const QByteArray &line)
{
    corpus.addOverview(group, number, line);
}

void NewsServer::setOverviewSource(const QByteArray &group, std::function<QByteArray(qint64)> source)
{
    corpus.setOverviewSource(group, std::move(source));
}

void NewsServer::addReferences(const QByteArray &group, qint64 number, const QByteArray &value)
{
    corpus.addReferences(group, number, value);
}

void NewsServer::addArticle(const QByteArray &group, qint64 number, const QByteArray &messageId, const QByteArray &text)
{
    corpus.addArticle(group, number, messageId, text);
}

void NewsServer::requireLogin(const QByteArray &user, const QByteArray &password)
{
    loginRequired = true;
    loginUser = user;
    loginPassword = password;
}

void NewsServer::useTls(const QSslCertificate &certificate, const QSslKey &key)
{
    tlsCertificate = certificate;
    tlsKey = key;
}

void NewsServer::setGenerator(const ArticleGenerator *generator)
{
    corpus.setGenerator(generator);
}

void NewsServer::setIdleTimeout(int milliseconds)
{
    idleTimeout = milliseconds;
}

bool NewsServer::start(quint16 port)
{
    return listen(QHostAddress::LocalHost, port);
}

quint16 NewsServer::port() const
{
    return serverPort();
}

void NewsServer::answer(const QByteArray &commandPrefix, const QByteArray &statusLine)
{
    addScript(commandPrefix).statusLine = statusLine;
}

void NewsServer::stayQuiet(const QByteArray &commandPrefix)
{
    addScript(commandPrefix).quiet = true;
}

void NewsServer::cutReply(const QByteArray &commandPrefix, const QList<qint64> &offsets)
{
    addScript(commandPrefix).cuts = offsets;
}

void NewsServer::closeDuringReply(const QByteArray &commandPrefix, int lines)
{
    addScript(commandPrefix).closeAfterLines = lines;
}

void NewsServer::corruptYencCrc(bool corrupt)
{
    wrongCrc = corrupt;
}

void NewsServer::setGreeting(const QByteArray &line)
{
    greeting = line;
}

void NewsServer::clearScripts()
{
    scripts.clear();
    wrongCrc = false;
    greeting = NewsStatus::greeting;
}

void NewsServer::paceChunksBy(QIODevice *reader)
{
    pacer = reader;
}

void NewsServer::setChunkInterval(int milliseconds)
{
    chunkInterval = milliseconds;
}

void NewsServer::setLatency(int milliseconds)
{
    latency = milliseconds;
}

void NewsServer::setRate(int kibPerSecond)
{
    rate = kibPerSecond;
}

QList<QByteArray> NewsServer::receivedCommands() const
{
    return commands;
}

int NewsServer::connectionCount() const
{
    return connections;
}

qint64 NewsServer::bytesSent() const
{
    return sent;
}

void NewsServer::incomingConnection(qintptr socketDescriptor)
{
    ++connections;
    const bool tls = !tlsCertificate.isNull();
    QTcpSocket *socket = tls ? new QSslSocket : new QTcpSocket;
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    if (tls) {
        auto *tlsSocket = static_cast<QSslSocket *>(socket);
        tlsSocket->setLocalCertificate(tlsCertificate);
        tlsSocket->setPrivateKey(tlsKey);
    }
    new NewsSession(*this, socket, tls);
}

NewsServer::Script &NewsServer::addScript(const QByteArray &commandPrefix)
{
    scripts += Script();
    scripts.last().prefix = commandPrefix;
    return scripts.last();
}

NewsServer::Script NewsServer::scriptFor(const QByteArray &command) const
{
    Script merged;
    const QByteArray upper = command.toUpper();
    for (const Script &script : scripts) {
        if (!upper.startsWith(script.prefix.toUpper()))
            continue;
        if (script.statusLine)
            merged.statusLine = script.statusLine;
        merged.quiet = merged.quiet || script.quiet;
        if (!script.cuts.isEmpty())
            merged.cuts = script.cuts;
        if (script.closeAfterLines >= 0)
            merged.closeAfterLines = script.closeAfterLines;
    }
    return merged;
}

void NewsServer::record(const QByteArray &command)
{
    commands += command;
    Q_EMIT commandReceived(command);
}
