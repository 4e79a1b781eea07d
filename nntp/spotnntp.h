#pragma once

#include "linebuffer.h"
#include "nntpreply.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QTimer>

#include <memory>

class CompressedReply;
class QTcpSocket;

// One connection to the Usenet server, plain or TLS, running one command at a time.
//
// Commands are accepted only when isReady(); otherwise they are dropped (fetchArticle()
// still remembers the id and sends it after the next login). A disconnected client
// reconnects by itself when a command is issued. Every result arrives as a signal,
// delivered directly: a slot may issue the next command at once, because the client is
// Ready before it emits a result. Per command exactly one of these ends the exchange:
//   selectGroup()     -> groupResponse()
//   fetchOverview()   -> headerLine() per line, the last one exactly ".\r\n"
//   fetchReferences() -> xroverLine() per line, then xroverLine(-1, ".")
//   fetchArticle()    -> articleData() or articleNotFound()
//   fetchHead()       -> headData() or articleNotFound()
// or error(): a refusal, a socket or TLS failure, silence of replyTimeout() while a reply
// is due, or a reply past its bounds (more lines numbered inside the range than it has
// articles, more than maxStrayBytes of lines numbered outside it, see also maxLineLength and
// maxArticleSize) resets the connection (except codeReferencesRefused and
// codeBadCompressedData, which keep it Ready). Lines numbered outside the range are handed on
// like the others; the owner decides what to make of them. With compression on, XZVER/XZHDR
// are used and their replies decoded to the same lines; a server that answers 500 to them
// gets the plain forms for the rest of the connection.
//
// Nothing that could end a command line early is ever sent (see NntpArgument): a command
// whose group name, range or article id does not pass is not sent, and is answered on the
// next turn of the event loop as a server would answer a missing one: articleNotFound(),
// groupResponse("", 0, 0), or a reply without lines. A user name or password with a line
// break ends the connection with error(codeLoginUnsendable).
//
// Lines are handed on strictly one after the other: while a slot handles one (even when it
// runs an event loop), no later line, no end of reply and no other result is emitted.
// A group reply that names another group than the one asked for leaves currentGroup() empty.
class SpotNNTP : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Disconnected,
        Connecting,
        UserSent,
        PasswordSent,
        Ready,
        ArticleRequested,
        ArticleBody,
        Quitting,
        GroupRequested,
        OverviewRequested,
        OverviewData,
        ReferencesRequested,
        ReferencesData,
        HeadRequested,
        HeadData,
    };
    Q_ENUM(State)

    // Codes of error() besides NNTP reply codes and QAbstractSocket::SocketError values.
    // 0 is also QAbstractSocket::ConnectionRefusedError: the two are told apart by isReady(),
    // which bad compressed data leaves true and a refused connection false.
    static constexpr int codeBadCompressedData = 0;
    static constexpr int codeTlsVerification = 9996;
    static constexpr int codeReferencesRefused = 9997;
    static constexpr int codeReconnectRequested = 9998;
    // A reply larger than any real one: a line, an article or compressed data past its bound.
    static constexpr int codeReplyTooLarge = 9995;
    // The settings' user name or password cannot be sent; the owner treats it as a wrong password.
    static constexpr int codeLoginUnsendable = NntpReply::passwordRejected;

    static constexpr qsizetype maxLineLength = 1024 * 1024;
    static constexpr qsizetype maxArticleSize = 64 * 1024 * 1024;
    static constexpr qsizetype maxHeadSize = 1024 * 1024;
    // Lines numbered outside the range asked for, per reply: a broken server adds a few, an
    // endless reply is ended.
    static constexpr qsizetype maxStrayBytes = 16 * 1024 * 1024;

    static constexpr int defaultReplyTimeout = 120000; // ms

    SpotNNTP(const QString &host, int port, const QString &user, const QString &password, bool ssl, bool compressed,
             QObject *parent = nullptr);
    ~SpotNNTP() override;

    void selectGroup(const QByteArray &group);
    void fetchOverview(qint64 first, qint64 last);
    void fetchReferences(qint64 first, qint64 last);
    // id: a message-id without angle brackets (contains "@") or an article number of the current group.
    void fetchArticle(const QByteArray &id);
    // The header block of an article, ids as for fetchArticle(). Unlike an article it is not
    // remembered while the client is not Ready: then it is dropped.
    void fetchHead(const QByteArray &id);

    // Sends QUIT and deletes the client once the connection has ended, however it ends;
    // with the socket already closed the client is deleted at once.
    void quit();

    bool isReady() const;
    State state() const;
    QByteArray currentArticle() const;
    QByteArray currentGroup() const;

    // login() after the given number of seconds; deleteLater() meanwhile waits for it.
    void scheduleLogin(int seconds);
    void resetWithError(int code, const QString &text);

    // How long the server may stay silent while a reply is due.
    void setReplyTimeout(int milliseconds);
    int replyTimeout() const;

    // The text of error(codeTlsVerification, ...) for a peer verification error.
    static QString sslErrorText(const QSslError &error, const QString &host);

Q_SIGNALS:
    void articleData(QByteArray msgid, QByteArray data);
    void headerLine(QByteArray line);
    void groupResponse(QByteArray group, qint64 min, qint64 max);
    void xroverLine(qint64 nr, QByteArray references);
    void error(int code, QString msg);
    void articleNotFound(QByteArray msgid);
    void loggedIn();
    // The header lines (CR LF, dot-stuffing undone) of the article asked for by fetchHead(),
    // up to the empty line that ends them, which is not included.
    void headData(QByteArray msgid, QByteArray header);

public Q_SLOTS:
    void login();
    void deleteLater();

protected Q_SLOTS:
    void onConnected();
    void onReadyRead();
    void onError(QAbstractSocket::SocketError socketError);
    void onSSLerror(const QSslError &errors);

private:
    class CallbackScope;

    bool socketOpen() const;
    bool readyForCommand();
    bool compressing() const;
    bool articleOnItsWay() const;
    void setState(State next);
    void sendCommand(const QByteArray &command);
    // XOVER/XZVER or XHDR/XZHDR References for first to last.
    void requestRange(State requested, qint64 first, qint64 last);
    void sendArticleCommand(State requested);
    void sendLogin(State next, const QByteArray &command, const QString &argument);
    // Waits in the state of a command that was not sent, for answerRefusedCommand().
    void refuseCommand(State waiting, const QByteArray &what);
    void answerRefusedCommand();
    void reset();
    void destroyNow();
    // Deletes the client once none of its callbacks is on the stack any more.
    void deleteWhenIdle();
    void replyTooLarge(const QString &what);

    void handleStatusLine(const QByteArray &line);
    void handleSuccess(const QByteArray &line);
    void becomeReady();
    void articleMissing();
    void fallBackToPlain();
    QByteArray nextLine();
    void readArticleBody();
    void readDataLines();
    void deliverLine(const QByteArray &line);
    void finishReply();
    void deliverCompressedReply();
    void onReplyTimeout();

    const QString host;
    const quint16 port;
    const QString user;
    const QString password;
    const bool ssl;

    QTcpSocket *socket = nullptr;
    std::unique_ptr<CompressedReply> compressed; // only when compressed headers were asked for
    bool compressionRefused = false; // the server answered 500 to XZVER/XZHDR on this connection

    State currentState = State::Disconnected;
    QByteArray inFlightArticle;
    LineBuffer received;
    QByteArray body;
    QByteArray group;
    qint64 rangeFirst = 0;
    qint64 rangeLast = 0;
    quint64 linesLeft = 0; // lines numbered inside the range that its reply may still bring
    qsizetype strayBytes = 0; // of lines numbered outside it

    QTimer replyTimer;
    QTimer retryTimer;
    QTimer refusalTimer;
    bool loginRetryPending = false;
    bool deleteRequested = false;
    int callbackDepth = 0; // inside a socket or timer callback: deletion must be deferred
    bool reading = false; // onReadyRead() is on the stack: it alone reads the socket
    bool deletionPending = false;
};
