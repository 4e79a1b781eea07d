#pragma once

#include "linebuffer.h"
#include "nntpreply.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

class CompressedReply;
class QTcpSocket;

// One connection to the Usenet server, plain or TLS, running commands in a pipeline.
//
// Which calls are accepted when:
// - Not logged in (disconnected, connecting, logging in) or after quit(): commands are
//   dropped, except that fetchArticle() remembers its id (the last one wins) and sends it
//   after the login instead of emitting loggedIn(). A disconnected client reconnects by
//   itself when a command is issued.
// - Logged in: every command is accepted and queued, also while earlier ones are
//   outstanding and from inside a slot of any signal. Up to pipelineDepth() of them are
//   written ahead of their replies (RFC 3977 3.5); the rest follow as replies come in.
//   isReady() is true when logged in and nothing is outstanding; pendingCommands() counts
//   the commands accepted and not yet answered.
//
// Results are handed on strictly in command order, one after the other, by these signals;
// per command exactly one of these ends its exchange:
//   selectGroup()     -> groupResponse()
//   fetchOverview()   -> headerLine() per line, the last one exactly ".\r\n"
//   fetchReferences() -> xroverLine() per line, then xroverLine(-1, ".")
//   fetchArticle()    -> articleData() or articleNotFound()
//   fetchHead()       -> headData() or articleNotFound()
// or error(). A command's last signal is emitted after the command has left the pipeline,
// so a slot sees pendingCommands() without it and may issue the next command at once. While
// a slot handles a signal (even when it runs an event loop) no later line, end of reply or
// other result is emitted; meanwhile the client keeps reading the socket into its own
// buffer (up to maxBufferedBytes), so the server keeps sending. Lines are handed on in
// slices of at most linesPerTurn per turn of the event loop.
//
// Errors: a refusal (a reply code below 200 or from 400 up other than those below), a
// socket or TLS failure, silence of replyTimeout() while a reply is due, or a reply past
// its bounds (more lines numbered inside the range than it has articles, more than
// maxStrayBytes of lines numbered outside it, see also maxLineLength, maxArticleSize and
// maxHeadSize) reset the connection: every queued and outstanding command is dropped
// without a result, error() is emitted once, and the owner re-issues what it still wants
// after loggedIn(). These keep the connection and the pipeline, and the later replies
// arrive in order: 430/423 to ARTICLE or HEAD (articleNotFound()), 423 to an overview or
// references range (a reply without lines), a refused references command
// (error(codeReferencesRefused)), compressed data that does not decode
// (error(codeBadCompressedData)).
//
// Group replies: currentGroup() follows the replies, not the commands: it is the group of
// the last GROUP reply handed on, empty when that reply named another group than the one
// asked for, and empty again after a reset or login().
//
// Compression: with compression on, XZVER/XZHDR are used and their replies decoded to the
// same lines. Until the server has answered the first compressed command of a connection,
// that command is the last one written; if it answers 500, it is sent again in the plain
// form, and every later range goes plain for the rest of the connection. So every range is
// asked for, and delivered, once. A 500 to a compressed command after the server accepted
// one is a refusal like any other.
//
// Nothing that could end a command line early is ever sent (see NntpArgument): a command
// whose group name, range or article id does not pass is not sent, and is answered in its
// turn, never inside the call, as a server would answer a missing one: articleNotFound(),
// groupResponse("", 0, 0), or a reply without lines. A user name or password with a line
// break ends the connection with error(codeLoginUnsendable).
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
    // 0 is also QAbstractSocket::ConnectionRefusedError: the two are told apart by state(),
    // which bad compressed data leaves logged in and a refused connection Disconnected.
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
    static constexpr int defaultPipelineDepth = 8;
    // Bytes read ahead of what the owner has taken; past this the socket is left to wait.
    static constexpr qsizetype maxBufferedBytes = 16 * 1024 * 1024;
    static constexpr int linesPerTurn = 2000;

    SpotNNTP(const QString &host, int port, const QString &user, const QString &password, bool ssl, bool compressed,
             QObject *parent = nullptr);
    ~SpotNNTP() override;

    void selectGroup(const QByteArray &group);
    void fetchOverview(qint64 first, qint64 last);
    void fetchReferences(qint64 first, qint64 last);
    // id: a message-id without angle brackets (contains "@") or an article number of the group
    // that the server has selected when it reaches this command (the last GROUP before it).
    void fetchArticle(const QByteArray &id);
    // The header block of an article, ids as for fetchArticle(). Unlike an article it is not
    // remembered while the client is not logged in: then it is dropped.
    void fetchHead(const QByteArray &id);

    // Sends QUIT and deletes the client once the connection has ended, however it ends;
    // with the socket already closed the client is deleted at once.
    void quit();

    // Logged in and nothing outstanding.
    bool isReady() const;
    // The phase of the oldest outstanding command's reply; Ready when none.
    State state() const;
    int pendingCommands() const;
    // The id of the oldest outstanding ARTICLE or HEAD, else the id kept for after the login.
    QByteArray currentArticle() const;
    QByteArray currentGroup() const;

    // At least 1; with 1 each command is written once the reply before it has ended.
    void setPipelineDepth(int commands);
    int pipelineDepth() const;

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

    // One command accepted and not yet answered.
    struct Command
    {
        State requested; // GroupRequested, OverviewRequested, ReferencesRequested, ArticleRequested or HeadRequested
        QByteArray argument; // the group name or article id
        qint64 first = 0;
        qint64 last = 0;
        bool sendable = true; // its argument passes NntpArgument; else it is answered without the server
        bool compressed = false; // written as XZVER / XZHDR
    };
    // What the server made of the compressed forms on this connection.
    enum class Compression { Unknown, Probing, Accepted, Refused };

    bool socketOpen() const;
    bool loggedInState() const;
    bool acceptsCommands();
    void accept(Command command);
    void writeCommands();
    QByteArray commandLine(const Command &command) const;
    // Takes the answered command out of the pipeline; the next one's reply is due.
    Command finishCommand();
    void answerUnsent();
    void sendCommand(const QByteArray &command);
    void requestRange(State requested, qint64 first, qint64 last);
    void sendLogin(State next, const QByteArray &command, const QString &argument);
    void reset();
    void destroyNow();
    // Deletes the client once none of its callbacks is on the stack any more.
    void deleteWhenIdle();
    void replyTooLarge(const QString &what);

    // The reading loop, on readyRead and on later turns of the event loop.
    void process();
    void readSocket();
    void handleStatusLine(const QByteArray &line);
    void handleReply(int code, const QByteArray &line);
    void handleSuccess(const QByteArray &line);
    void becomeReady();
    void articleMissing();
    void fallBackToPlain();
    QByteArray nextLine();
    void readArticleBody();
    void readDataLines();
    void deliverLine(const QByteArray &line);
    void finishReply();
    void onReplyTimeout();

    const QString host;
    const quint16 port;
    const QString user;
    const QString password;
    const bool ssl;

    QTcpSocket *socket = nullptr;
    std::unique_ptr<CompressedReply> compressed; // only when compressed headers were asked for
    Compression compression = Compression::Unknown;
    bool inflatedPending = false; // the lines of a compressed reply are being handed on

    State currentState = State::Disconnected;
    std::deque<Command> pipeline; // oldest first; the first `written` of them are on their way
    qsizetype written = 0;
    int depth = defaultPipelineDepth;
    QByteArray articleAfterLogin;
    LineBuffer received;
    QByteArray body;
    QByteArray group;
    qint64 rangeFirst = 0;
    qint64 rangeLast = 0;
    quint64 linesLeft = 0; // lines numbered inside the range that its reply may still bring
    qsizetype strayBytes = 0; // of lines numbered outside it
    int turnBudget = 0; // lines still to hand on in this turn of the event loop

    QTimer replyTimer;
    QTimer retryTimer;
    QTimer turnTimer; // the reading loop goes on in a later turn
    bool loginRetryPending = false;
    bool deleteRequested = false;
    int callbackDepth = 0; // inside a socket or timer callback: deletion must be deferred
    bool reading = false; // process() is on the stack: it alone hands on results
    bool deletionPending = false;
};
