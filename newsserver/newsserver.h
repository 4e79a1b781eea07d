#pragma once

#include "newscorpus.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

#include <functional>
#include <optional>

class QIODevice;

// An NNTP server inside the calling process, on 127.0.0.1. It serves a corpus like a real
// server (INN's status lines, CR LF, dot-stuffing, and the compressed XZVER / XZHDR
// References replies) to any number of connections, and can be scripted to misbehave.
// Command lines longer than maxCommandLength get "500 Line too long" and are not obeyed.
//
//   NewsServer server;
//   server.addOverview("free.pt", 1, line);      // or setOverviewSource() for many
//   server.addArticle("free.usenet", 7, "id@free.pt", "Subject: x\n\nbody\n");
//   server.answer("XZVER", "500 What?");         // scripted misbehaviour
//   QVERIFY(server.start());
//   SpotNNTP client("127.0.0.1", server.port(), ...);
//   ...
//   QCOMPARE(server.receivedCommands(), QList<QByteArray>({"GROUP free.pt", "XOVER 1-3"}));
//
// Commands it knows: AUTHINFO USER/PASS, GROUP, XOVER, XZVER, XHDR References,
// XZHDR References, ARTICLE, HEAD and BODY by <message-id> or number, QUIT; anything else is
// "500 What?". Scripts select commands by a case-insensitive prefix of the command line
// ("XOVER", "ARTICLE <", "AUTHINFO USER"); the prefix "" selects every command. They apply
// to every connection, present and future, and combine: a later script of the same kind
// for a matching prefix wins.
class NewsServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit NewsServer(QObject *parent = nullptr);

    // The corpus (see NewsCorpus); message-ids without angle brackets.
    void addGroup(const QByteArray &group, qint64 low, qint64 high);
    void addOverview(const QByteArray &group, qint64 number, const QByteArray &line);
    void setOverviewSource(const QByteArray &group, std::function<QByteArray(qint64 number)> source);
    void addReferences(const QByteArray &group, qint64 number, const QByteArray &value);
    void addArticle(const QByteArray &group, qint64 number, const QByteArray &messageId, const QByteArray &text);
    // Groups and articles made on demand (not owned); added ones come first.
    void setGenerator(const ArticleGenerator *generator);

    // Reader commands before a successful AUTHINFO get 480; without this any login succeeds.
    void requireLogin(const QByteArray &user, const QByteArray &password);
    // Speak TLS on every connection from now on.
    void useTls(const QSslCertificate &certificate, const QSslKey &key);

    // The longest command line obeyed, CR LF included (as RFC 3977 allows).
    static constexpr qsizetype maxCommandLength = 512;
    // Close a connection that sends nothing for this long; 0 (the default): never.
    void setIdleTimeout(int milliseconds);

    // Listens on 127.0.0.1, on the port given or one the system picks.
    bool start(quint16 port = 0);
    quint16 port() const;

    // --- Scripts
    // Answer matching commands with this status line (CR LF added) instead of the real reply;
    // a whole reply also fits ("224 ...\r\n" + data + ".").
    void answer(const QByteArray &commandPrefix, const QByteArray &statusLine);
    // Read matching commands and never answer them.
    void stayQuiet(const QByteArray &commandPrefix);
    // Deliver the reply to matching commands in separate pieces, cut at these byte offsets
    // of the reply (status line included); a negative offset counts from the reply's end.
    void cutReply(const QByteArray &commandPrefix, const QList<qint64> &offsets);
    // Send only the first lines of the reply to matching commands, then close the connection.
    void closeDuringReply(const QByteArray &commandPrefix, int lines);
    // Compressed replies carry a yEnc trailer whose CRC does not match.
    void corruptYencCrc(bool corrupt = true);
    // The first line of every new connection; empty: say nothing at all.
    void setGreeting(const QByteArray &line);
    // Forget every script; the corpus, login and log stay.
    void clearScripts();

    // How the pieces of a cut reply are paced. By default each piece goes out on a later
    // turn of the event loop, which does not guarantee that the client reads it apart.
    // With a reader (the client's socket), each piece is written only after that reader has
    // signalled readyRead for the previous one: every piece is a read of its own.
    void paceChunksBy(QIODevice *reader);
    // Or a fixed pause between pieces, e.g. to keep a reply flowing slowly.
    void setChunkInterval(int milliseconds);
    // Like a distant server: every reply starts this long after its command arrived (replies
    // to pipelined commands wait side by side, not one after the other).
    void setLatency(int milliseconds);
    // Replies flow at most this many KiB per second (in pieces every 10 ms); 0: no cap.
    void setRate(int kibPerSecond);

    // --- What happened
    // Every command line received on any connection, in order, without its CR LF (a line
    // that did not end in CR LF is kept as received).
    QList<QByteArray> receivedCommands() const;
    int connectionCount() const;
    // Every byte of a reply (greetings included) written to any connection.
    qint64 bytesSent() const;

Q_SIGNALS:
    void commandReceived(const QByteArray &command);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    friend class NewsSession;

    struct Script
    {
        QByteArray prefix;
        std::optional<QByteArray> statusLine;
        bool quiet = false;
        QList<qint64> cuts;
        int closeAfterLines = -1;
    };
    Script &addScript(const QByteArray &commandPrefix);
    Script scriptFor(const QByteArray &command) const;
    void record(const QByteArray &command);

    NewsCorpus corpus;
    QList<Script> scripts;
    QByteArray greeting = NewsStatus::greeting;
    QByteArray loginUser;
    QByteArray loginPassword;
    bool loginRequired = false;
    bool wrongCrc = false;
    QSslCertificate tlsCertificate;
    QSslKey tlsKey;
    QPointer<QIODevice> pacer;
    int chunkInterval = 0;
    int latency = 0;
    int rate = 0;
    int idleTimeout = 0;
    QList<QByteArray> commands;
    int connections = 0;
    qint64 sent = 0;
};
