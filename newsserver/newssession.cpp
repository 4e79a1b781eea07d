#include "newssession.h"

#include "newsserver.h"

#include <QSslSocket>
#include <QTimer>

#include <algorithm>

NewsSession::NewsSession(NewsServer &server, QTcpSocket *socket, bool tls)
    : QObject(&server)
    , server(server)
    , socket(socket)
    , reader(NewsServer::maxCommandLength)
{
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); // small pieces must not wait for ACKs
    connect(socket, &QIODevice::readyRead, this, &NewsSession::onReadyRead);
    connect(socket, &QAbstractSocket::disconnected, this, &QObject::deleteLater);
    latencyTimer.setSingleShot(true);
    connect(&latencyTimer, &QTimer::timeout, this, &NewsSession::sendDueReplies);
    idleTimer.setSingleShot(true);
    connect(&idleTimer, &QTimer::timeout, socket, &QAbstractSocket::disconnectFromHost);
    if (server.idleTimeout > 0)
        idleTimer.start(server.idleTimeout);
    if (tls) {
        auto *tlsSocket = static_cast<QSslSocket *>(socket);
        connect(tlsSocket, &QSslSocket::encrypted, this, &NewsSession::greet);
        tlsSocket->startServerEncryption();
    } else {
        greet();
    }
}

void NewsSession::greet()
{
    if (!server.greeting.isEmpty())
        send({server.greeting + "\r\n", {}, -1, false});
}

void NewsSession::onReadyRead()
{
    for (const CommandReader::Line &line : reader.feed(socket->readAll())) {
        if (ending)
            break; // the connection ends after what is on its way (QUIT, a scripted close)
        if (line.tooLong) {
            answer({QByteArray(NewsStatus::lineTooLong) + "\r\n", {}, -1, false});
            continue;
        }
        server.record(line.command);
        handle(line.command);
    }
    if (server.idleTimeout > 0)
        idleTimer.start(server.idleTimeout);
}

void NewsSession::handle(const QByteArray &command)
{
    const NewsServer::Script script = server.scriptFor(command);
    if (script.quiet)
        return;
    Reply reply{script.statusLine ? *script.statusLine + "\r\n" : replyTo(command), script.cuts, script.closeAfterLines,
                command.toUpper() == "QUIT"};
    ending = ending || reply.closeAfter || reply.closeAfterLines >= 0;
    answer(std::move(reply));
}

void NewsSession::answer(Reply reply)
{
    if (server.latency <= 0) {
        send(std::move(reply));
        return;
    }
    delayed.append({QDeadlineTimer(server.latency), std::move(reply)});
    if (!latencyTimer.isActive())
        latencyTimer.start(int(delayed.first().first.remainingTime()));
}

void NewsSession::sendDueReplies()
{
    while (!delayed.isEmpty() && delayed.first().first.hasExpired())
        send(delayed.takeFirst().second);
    if (!delayed.isEmpty())
        latencyTimer.start(int(delayed.first().first.remainingTime()));
}

QByteArray NewsSession::replyTo(const QByteArray &command)
{
    const qsizetype blank = command.indexOf(' ');
    const QByteArray verb = command.left(blank < 0 ? command.size() : blank).toUpper();
    const QByteArray argument = blank < 0 ? QByteArray() : command.mid(blank + 1);
    if (verb == "QUIT")
        return QByteArray(NewsStatus::bye) + "\r\n";
    if (verb == "AUTHINFO")
        return authinfo(argument) + "\r\n";
    if (server.loginRequired && !authenticated)
        return QByteArray(NewsStatus::authenticationRequired) + "\r\n";

    const auto crc = server.wrongCrc ? NewsCorpus::Crc::Wrong : NewsCorpus::Crc::Correct;
    if (verb == "GROUP") {
        if (server.corpus.hasGroup(argument))
            group = argument;
        return server.corpus.groupReply(argument);
    }
    if (verb == "XOVER" || verb == "XZVER") {
        const auto form = verb == "XZVER" ? NewsCorpus::Form::Compressed : NewsCorpus::Form::Plain;
        return server.corpus.overviewReply(group, argument, form, crc);
    }
    if (verb == "XHDR" || verb == "XZHDR") {
        const qsizetype rangeStart = argument.indexOf(' ');
        if (rangeStart < 0 || argument.left(rangeStart).toLower() != "references")
            return QByteArray(NewsStatus::syntaxError) + "\r\n";
        const auto form = verb == "XZHDR" ? NewsCorpus::Form::Compressed : NewsCorpus::Form::Plain;
        return server.corpus.referencesReply(group, argument.mid(rangeStart + 1), form, crc);
    }
    if (verb == "ARTICLE" || verb == "HEAD" || verb == "BODY")
        return server.corpus.articleReply(group, argument,
                                          verb == "HEAD"       ? NewsCorpus::Part::Head
                                              : verb == "BODY" ? NewsCorpus::Part::Body
                                                               : NewsCorpus::Part::Whole);
    return QByteArray(NewsStatus::unknownCommand) + "\r\n";
}

QByteArray NewsSession::authinfo(const QByteArray &argument)
{
    const qsizetype blank = argument.indexOf(' ');
    const QByteArray kind = argument.left(blank < 0 ? argument.size() : blank).toUpper();
    const QByteArray value = blank < 0 ? QByteArray() : argument.mid(blank + 1);
    if (kind == "USER") {
        pendingUser = value; // a real server asks every user for a password, known or not
        return NewsStatus::enterPassword;
    }
    if (kind != "PASS")
        return NewsStatus::syntaxError;
    if (pendingUser.isEmpty())
        return NewsStatus::outOfSequence;
    authenticated = !server.loginRequired || (pendingUser == server.loginUser && value == server.loginPassword);
    pendingUser.clear();
    return authenticated ? NewsStatus::authenticated : NewsStatus::authenticationFailed;
}

void NewsSession::send(Reply what)
{
    QByteArray &reply = what.bytes;
    const int closeAfterLines = what.closeAfterLines;
    bool closeAfter = what.closeAfter;
    if (closeAfterLines >= 0) {
        qsizetype end = 0;
        for (int line = 0; line < closeAfterLines && end < reply.size(); ++line) {
            const qsizetype newline = reply.indexOf('\n', end);
            end = newline < 0 ? reply.size() : newline + 1;
        }
        reply.truncate(end);
        closeAfter = true;
    }
    QList<qint64> positions;
    for (const qint64 offset : std::as_const(what.cuts)) {
        const qint64 at = offset < 0 ? reply.size() + offset : offset;
        if (at > 0 && at < reply.size())
            positions += at;
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    qint64 from = 0;
    for (const qint64 at : positions) {
        chunks += reply.mid(from, at - from);
        from = at;
    }
    if (from < reply.size())
        chunks += reply.mid(from);
    closeWhenSent = closeWhenSent || closeAfter;
    if (!writing)
        writeNextChunk();
}

void NewsSession::writeNextChunk()
{
    if (chunks.isEmpty()) {
        writing = false;
        if (closeWhenSent)
            socket->disconnectFromHost();
        return;
    }
    if (!writing) {
        paceClock.start();
        paced = 0;
    }
    writing = true;
    if (server.rate > 0) {
        // What the rate allows since this stretch of sending began, 10 ms ahead, less what went
        // out: the pace holds on average however late the timer fires, and small replies
        // share a slice.
        constexpr int tick = 10;
        qint64 allowed = std::max<qint64>(1, qint64(server.rate) * 1024 * (paceClock.elapsed() + tick) / 1000 - paced);
        while (allowed > 0 && !chunks.isEmpty()) {
            QByteArray &first = chunks.first();
            const qsizetype size = qsizetype(std::min<qint64>(allowed, first.size()));
            const qint64 written = socket->write(first.first(size));
            server.sent += written;
            paced += written;
            allowed -= size;
            first.remove(0, size);
            if (first.isEmpty())
                chunks.removeFirst();
        }
        socket->flush();
        QTimer::singleShot(tick, this, &NewsSession::writeNextChunk);
        return;
    }
    server.sent += socket->write(chunks.takeFirst());
    socket->flush();
    if (chunks.isEmpty())
        writeNextChunk();
    else if (server.pacer)
        connect(server.pacer, &QIODevice::readyRead, this, &NewsSession::writeNextChunk,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    else
        QTimer::singleShot(server.chunkInterval, this, &NewsSession::writeNextChunk);
}
