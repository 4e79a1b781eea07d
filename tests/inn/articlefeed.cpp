#include "articlefeed.h"

#include <QHostAddress>

namespace {

constexpr int timeoutMs = 30000;
// Articles sent before their answers are read: enough to keep the server busy, few enough
// that the answers fit the socket's buffer while the next batch is written.
constexpr qsizetype window = 200;

QByteArray messageId(const QByteArray &article)
{
    const QByteArray header = "\nMessage-ID: ";
    const qsizetype start = article.indexOf(header);
    if (start < 0)
        return {};
    const qsizetype from = start + header.size();
    return article.mid(from, article.indexOf('\n', from) - from);
}

// The article as it goes over the wire: CRLF line ends, dot-stuffed, ended by a lone dot.
QByteArray wireFormat(const QByteArray &article)
{
    QByteArray text;
    text.reserve(article.size() + article.size() / 32 + 8);
    for (const QByteArray &line : article.split('\n')) {
        if (line.startsWith('.'))
            text += '.';
        text += line;
        text += "\r\n";
    }
    if (article.endsWith('\n'))
        text.chop(2); // the split's empty last piece
    return text + ".\r\n";
}

} // namespace

bool ArticleFeed::open(quint16 port)
{
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs)) {
        failure = socket.errorString();
        return false;
    }
    const QByteArray greeting = readLine();
    if (!greeting.startsWith("200")) {
        failure = QStringLiteral("greeting: ") + QString::fromLatin1(greeting);
        return false;
    }
    return command("MODE STREAM", "203");
}

bool ArticleFeed::send(const QList<QByteArray> &articles)
{
    for (qsizetype first = 0; first < articles.size(); first += window) {
        const QList<QByteArray> batch = articles.mid(first, window);
        QList<QByteArray> ids;
        for (const QByteArray &article : batch) {
            ids += messageId(article);
            socket.write("TAKETHIS " + ids.last() + "\r\n" + wireFormat(article));
        }
        while (socket.bytesToWrite() > 0) {
            if (!socket.waitForBytesWritten(timeoutMs)) {
                failure = socket.errorString();
                return false;
            }
        }
        for (const QByteArray &id : ids) {
            const QByteArray answer = readLine();
            if (answer != "239 " + id) {
                failure = QStringLiteral("TAKETHIS %1: %2").arg(QString::fromLatin1(id), QString::fromLatin1(answer));
                return false;
            }
        }
    }
    return true;
}

void ArticleFeed::close()
{
    command("QUIT", "205");
    socket.disconnectFromHost();
}

QString ArticleFeed::error() const
{
    return failure;
}

bool ArticleFeed::command(const QByteArray &line, const QByteArray &expected)
{
    socket.write(line + "\r\n");
    const QByteArray answer = readLine();
    if (answer.startsWith(expected))
        return true;
    failure = QString::fromLatin1(line + ": " + answer);
    return false;
}

// One answer line without its line end; empty when none came in time.
QByteArray ArticleFeed::readLine()
{
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return {};
    }
    return socket.readLine().trimmed();
}
