#pragma once

#include "commandreader.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class NewsServer;
class QTcpSocket;

// One connection of the news server: reads command lines (bounded in length; an idle
// connection is closed), answers them from the corpus
// or the scripts, and writes the replies in the pieces the scripts ask for.
class NewsSession : public QObject
{
    Q_OBJECT

public:
    // Takes the socket as child; greets once it is (for TLS: encrypted and) ready.
    NewsSession(NewsServer &server, QTcpSocket *socket, bool tls);

private:
    void greet();
    void onReadyRead();
    void handle(const QByteArray &command);
    QByteArray replyTo(const QByteArray &command);
    QByteArray authinfo(const QByteArray &argument);
    struct Reply
    {
        QByteArray bytes;
        QList<qint64> cuts;
        int closeAfterLines = -1;
        bool closeAfter = false;
    };
    // Sends the reply after the server's latency, in command order.
    void answer(Reply reply);
    void send(Reply reply);
    void sendDueReplies();
    void writeNextChunk();

    NewsServer &server;
    QTcpSocket *socket;
    CommandReader reader;
    QTimer idleTimer;
    QByteArray group;
    QByteArray pendingUser;
    bool authenticated = false;
    QList<std::pair<QDeadlineTimer, Reply>> delayed; // by the server's latency, oldest first
    QTimer latencyTimer;
    QList<QByteArray> chunks;
    bool writing = false;
    // The pace of a capped rate: since when this stretch of sending went on, and its bytes.
    QElapsedTimer paceClock;
    qint64 paced = 0;
    bool ending = false; // a reply on its way ends the connection: later commands are not obeyed
    bool closeWhenSent = false;
};
