#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpSocket>

// A peer that feeds a transit server (innd) with streamed TAKETHIS (RFC 4644), as a news
// feed does. A server takes the articles of one connection in the order they were sent, so
// the articles of a group are numbered in the order of send(). Blocking; for tests.
class ArticleFeed
{
public:
    // Connects to loopback port and switches to streaming; false (see error()) when refused.
    bool open(quint16 port);
    // Sends the articles (LF line ends, every header, not dot-stuffed; the Message-ID header
    // names each) and waits for every answer; false unless the server took them all.
    bool send(const QList<QByteArray> &articles);
    void close();

    QString error() const;

private:
    bool command(const QByteArray &line, const QByteArray &expected);
    QByteArray readLine();

    QTcpSocket socket;
    QString failure;
};
