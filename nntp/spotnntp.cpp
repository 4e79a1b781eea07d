#include "spotnntp.h"

#include "bytetext.h"
#include "compressedreply.h"
#include "nntpargument.h"
#include "nntpreply.h"

#include <QDebug>
#include <QScopedValueRollback>
#include <QSslCertificate>
#include <QSslSocket>

#include <utility>

namespace {

// Reads of a bounded size reuse their memory; fresh multi-megabyte buffers per read cost
// more in page faults than the lines are worth.
constexpr qint64 readBufferSize = 256 * 1024;

} // namespace

// Deletion requested inside one of our own socket or timer callbacks waits until the
// callback has returned: the socket that called us is our child. A slot of the owner may run
// a nested event loop (a message box) inside a callback, and our own deletion requested there
// would otherwise happen in that loop, under our feet.
class SpotNNTP::CallbackScope
{
public:
    explicit CallbackScope(SpotNNTP &client)
        : client(client)
    {
        ++client.callbackDepth;
    }
    ~CallbackScope()
    {
        if (--client.callbackDepth == 0 && std::exchange(client.deletionPending, false))
            client.QObject::deleteLater();
    }
    CallbackScope(const CallbackScope &) = delete;
    CallbackScope &operator=(const CallbackScope &) = delete;

private:
    SpotNNTP &client;
};

SpotNNTP::SpotNNTP(const QString &host, int port, const QString &user, const QString &password, bool ssl,
                   bool compressed, QObject *parent)
    : QObject(parent)
    , host(host)
    , port(quint16(port))
    , user(user)
    , password(password)
    , ssl(ssl)
{
    if (ssl) {
        auto *tlsSocket = new QSslSocket(this);
        connect(tlsSocket, &QSslSocket::encrypted, this, &SpotNNTP::onConnected);
        connect(tlsSocket, &QSslSocket::peerVerifyError, this, &SpotNNTP::onSSLerror);
        socket = tlsSocket;
    } else {
        socket = new QTcpSocket(this);
    }
    socket->setReadBufferSize(readBufferSize);
    connect(socket, &QAbstractSocket::connected, this, &SpotNNTP::onConnected);
    connect(socket, &QIODevice::readyRead, this, &SpotNNTP::onReadyRead);
    connect(socket, &QAbstractSocket::errorOccurred, this, &SpotNNTP::onError);
    if (compressed)
        this->compressed = std::make_unique<CompressedReply>();

    replyTimer.setSingleShot(true);
    replyTimer.setInterval(defaultReplyTimeout);
    connect(&replyTimer, &QTimer::timeout, this, &SpotNNTP::onReplyTimeout);
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &SpotNNTP::login);
    refusalTimer.setSingleShot(true);
    refusalTimer.setInterval(0);
    connect(&refusalTimer, &QTimer::timeout, this, &SpotNNTP::answerRefusedCommand);
}

SpotNNTP::~SpotNNTP() = default;

void SpotNNTP::selectGroup(const QByteArray &name)
{
    if (!readyForCommand())
        return;
    if (!NntpArgument::isGroupName(name)) {
        refuseCommand(State::GroupRequested, "GROUP " + name);
        return;
    }
    setState(State::GroupRequested);
    sendCommand("GROUP " + name);
    group = name;
}

void SpotNNTP::fetchOverview(qint64 first, qint64 last)
{
    requestRange(State::OverviewRequested, first, last);
}

void SpotNNTP::fetchReferences(qint64 first, qint64 last)
{
    requestRange(State::ReferencesRequested, first, last);
}

void SpotNNTP::requestRange(State requested, qint64 first, qint64 last)
{
    if (!readyForCommand())
        return;
    rangeFirst = first;
    rangeLast = last;
    linesLeft = last >= first ? quint64(last) - quint64(first) + 1 : 0;
    strayBytes = 0;
    const QByteArray command = requested == State::OverviewRequested
        ? (compressing() ? "XZVER " : "XOVER ")
        : (compressing() ? "XZHDR References " : "XHDR References ");
    const QByteArray line = command + QByteArray::number(first) + '-' + QByteArray::number(last);
    if (!NntpArgument::isRange(first, last)) {
        refuseCommand(requested, line);
        return;
    }
    setState(requested);
    sendCommand(line);
}

void SpotNNTP::fetchArticle(const QByteArray &id)
{
    // The article on its way keeps its id, or its data would be delivered under the new one.
    if (articleOnItsWay())
        return;
    inFlightArticle = id; // sent after the next login if the client is not Ready now
    if (readyForCommand())
        sendArticleCommand(State::ArticleRequested);
}

void SpotNNTP::fetchHead(const QByteArray &id)
{
    if (articleOnItsWay() || !readyForCommand())
        return;
    inFlightArticle = id;
    sendArticleCommand(State::HeadRequested);
}

bool SpotNNTP::articleOnItsWay() const
{
    switch (currentState) {
    case State::ArticleRequested:
    case State::ArticleBody:
    case State::HeadRequested:
    case State::HeadData:
        return true;
    default:
        return false;
    }
}

void SpotNNTP::quit()
{
    if (!socketOpen()) {
        destroyNow();
        return;
    }
    setState(State::Quitting);
    sendCommand("QUIT");
    // The owner may be on its way out: hand the command to the system now.
    socket->flush();
}

bool SpotNNTP::isReady() const
{
    return currentState == State::Ready;
}

SpotNNTP::State SpotNNTP::state() const
{
    return currentState;
}

QByteArray SpotNNTP::currentArticle() const
{
    return inFlightArticle;
}

QByteArray SpotNNTP::currentGroup() const
{
    return group;
}

void SpotNNTP::scheduleLogin(int seconds)
{
    loginRetryPending = true;
    retryTimer.start(seconds * 1000);
}

void SpotNNTP::resetWithError(int code, const QString &text)
{
    reset();
    Q_EMIT error(code, text);
}

void SpotNNTP::setReplyTimeout(int milliseconds)
{
    replyTimer.setInterval(milliseconds);
}

int SpotNNTP::replyTimeout() const
{
    return replyTimer.interval();
}

QString SpotNNTP::sslErrorText(const QSslError &error, const QString &host)
{
    const QString text = tr("SSL fout! ");
    switch (error.error()) {
    case QSslError::NoError:
    case QSslError::SelfSignedCertificate:
        return text
            + tr("<p>Het SSL certificaat van de sever is niet uitgegeven door een vertrouwde instantie (zoals "
                 "RapidSSL, StartSSL of Comodo).<br>Zonder betrouwbaar certificaat is het niet mogelijk een "
                 "<b>VEILIGE</b> verbinding op te zetten.<p>Neem contact met je provider op!");
    case QSslError::HostNameMismatch:
        return text
            + tr("Je hebt '%1' als server adres opgegeven, maar het SSL certificaat van de server is alleen "
                 "geldig voor '%2'")
                  .arg(host, error.certificate().subjectInfo(QSslCertificate::CommonName).join(QStringLiteral(", ")));
    default:
        return text + QStringLiteral(": ") + error.errorString();
    }
}

void SpotNNTP::login()
{
    loginRetryPending = false;
    group.clear();
    if (deleteRequested) {
        deleteLater();
        return;
    }
    if (socketOpen())
        return;
    compressionRefused = false;
    setState(State::Connecting);
    replyTimer.start(); // the greeting is due
    if (ssl)
        qobject_cast<QSslSocket *>(socket)->connectToHostEncrypted(host, port);
    else
        socket->connectToHost(host, port);
}

void SpotNNTP::deleteLater()
{
    if (loginRetryPending)
        deleteRequested = true;
    else
        deleteWhenIdle();
}

void SpotNNTP::deleteWhenIdle()
{
    if (callbackDepth > 0)
        deletionPending = true;
    else
        QObject::deleteLater();
}

void SpotNNTP::onConnected()
{
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void SpotNNTP::onReadyRead()
{
    // A TLS socket reports every decrypted record, also from inside an event-loop turn that
    // a slot of ours runs (a progress notice, a dialog) while this loop is handing on a line.
    // A second loop there would hand on later lines, and the end of the reply, before the
    // earlier line has been handled. The loop further up the stack takes these bytes too.
    if (reading)
        return;
    const QScopedValueRollback oneReader(reading, true);
    CallbackScope scope(*this);
    if (replyTimer.isActive())
        replyTimer.start(); // the server is alive
    // Keep going until the buffer is used up: data that arrived while a slot of ours ran
    // the event loop brings no readyRead of its own.
    while (currentState != State::Disconnected) {
        switch (currentState) {
        case State::ArticleBody:
        case State::HeadData: {
            const State reading = currentState;
            readArticleBody();
            if (currentState == reading)
                return;
            break;
        }
        case State::OverviewData:
        case State::ReferencesData:
            readDataLines();
            if (currentState == State::OverviewData || currentState == State::ReferencesData)
                return;
            break;
        default: {
            const QByteArray line = nextLine();
            if (line.isEmpty())
                return;
            handleStatusLine(line);
            break;
        }
        }
    }
}

void SpotNNTP::onError(QAbstractSocket::SocketError socketError)
{
    CallbackScope scope(*this);
    if (currentState == State::Quitting) {
        // Nobody listens for a report any more: however the connection ended, the client ends.
        deleteWhenIdle();
        return;
    }
    if (currentState == State::Disconnected)
        return; // a late report about a connection that was already dropped
    const QString text = socket->errorString();
    qDebug().nospace() << "Socket fout: (" << socketError << ") " << text;
    resetWithError(int(socketError), text);
}

void SpotNNTP::onSSLerror(const QSslError &errors)
{
    CallbackScope scope(*this);
    if (currentState != State::Disconnected) // the first error of a handshake ends it
        resetWithError(codeTlsVerification, sslErrorText(errors, host));
}

void SpotNNTP::onReplyTimeout()
{
    CallbackScope scope(*this);
    if (currentState == State::Quitting) {
        // A server that never closes after QUIT ends like one that does.
        socket->abort();
        deleteWhenIdle();
        return;
    }
    // Data is waiting, or a slot of ours is still handling it (it ran a dialog inside our
    // callback; our own scope counts one): the server is alive, only its reader was busy.
    if (socket->bytesAvailable() > 0 || callbackDepth > 1) {
        replyTimer.start();
        return;
    }
    resetWithError(QAbstractSocket::SocketTimeoutError, tr("Geen antwoord van de Usenet server (time-out)"));
}

bool SpotNNTP::socketOpen() const
{
    return socket->state() != QAbstractSocket::UnconnectedState;
}

bool SpotNNTP::readyForCommand()
{
    if (!socketOpen())
        login();
    return currentState == State::Ready;
}

bool SpotNNTP::compressing() const
{
    return compressed && !compressionRefused;
}

void SpotNNTP::setState(State next)
{
    currentState = next;
    if (next == State::Ready || next == State::Disconnected)
        replyTimer.stop(); // nothing is due
}

void SpotNNTP::sendCommand(const QByteArray &command)
{
    if (currentState == State::PasswordSent)
        qDebug() << "Wachtwoord verzonden";
    else
        qDebug() << "S:" << command;
    socket->write(command + "\r\n");
    replyTimer.start();
}

void SpotNNTP::sendArticleCommand(State requested)
{
    const QByteArray verb = requested == State::HeadRequested ? "HEAD " : "ARTICLE ";
    if (!NntpArgument::isArticleId(inFlightArticle)) {
        refuseCommand(requested, verb + inFlightArticle);
        return;
    }
    setState(requested);
    if (inFlightArticle.contains('@'))
        sendCommand(verb + '<' + inFlightArticle + '>');
    else
        sendCommand(verb + inFlightArticle);
}

void SpotNNTP::sendLogin(State next, const QByteArray &command, const QString &argument)
{
    const QByteArray bytes = ByteText::toBytes(argument);
    if (!NntpArgument::isLoginArgument(bytes)) {
        resetWithError(codeLoginUnsendable, tr("Gebruikersnaam of wachtwoord bevat een regeleinde"));
        return;
    }
    setState(next);
    sendCommand(command + bytes);
}

void SpotNNTP::refuseCommand(State waiting, const QByteArray &what)
{
    // Shown escaped: the point is what the text holds.
    qDebug() << "Niet verzonden (ongeldig argument):" << what.left(NntpArgument::maxMessageIdLength + 20);
    setState(waiting);
    refusalTimer.start();
}

void SpotNNTP::answerRefusedCommand()
{
    CallbackScope scope(*this);
    switch (currentState) {
    case State::ArticleRequested:
    case State::HeadRequested:
        articleMissing();
        break;
    case State::GroupRequested:
        group.clear();
        setState(State::Ready);
        Q_EMIT groupResponse(QByteArray(), 0, 0);
        break;
    case State::OverviewRequested:
        setState(State::OverviewData);
        finishReply();
        break;
    case State::ReferencesRequested:
        setState(State::ReferencesData);
        finishReply();
        break;
    default:
        break; // a reset came first
    }
}

void SpotNNTP::reset()
{
    refusalTimer.stop();
    inFlightArticle.clear();
    group.clear();
    received.clear();
    body.clear();
    if (compressed)
        compressed->reset(); // a reply cut off half-way must not leak into the next one
    setState(State::Disconnected);
    socket->abort();
}

void SpotNNTP::destroyNow()
{
    if (callbackDepth > 0)
        deletionPending = true;
    else
        delete this;
}

void SpotNNTP::handleStatusLine(const QByteArray &line)
{
    qDebug() << "R:" << line.trimmed();
    if (line.size() <= 2 || currentState == State::Quitting)
        return; // nothing after QUIT may bring an error to an owner that let the client go
    const int code = NntpReply::code(line);
    if (code == NntpReply::articleNotFound
        || (code == NntpReply::articleNumberNotFound
            && (currentState == State::ArticleRequested || currentState == State::HeadRequested))) {
        articleMissing();
    } else if (NntpReply::isSuccess(code)) {
        handleSuccess(line);
    } else if (code == NntpReply::articleNumberNotFound
               && (currentState == State::OverviewRequested || currentState == State::ReferencesRequested)) {
        // Servers following RFC 3977 say "423 No articles in that range" for an empty range.
        setState(currentState == State::OverviewRequested ? State::OverviewData : State::ReferencesData);
        finishReply();
    } else if (code == NntpReply::unknownCommand && compressing()
               && (currentState == State::OverviewRequested || currentState == State::ReferencesRequested)) {
        fallBackToPlain();
    } else if (currentState == State::ReferencesRequested) {
        setState(State::Ready);
        Q_EMIT error(codeReferencesRefused, QString());
    } else {
        resetWithError(code, ByteText::toText(line));
    }
}

void SpotNNTP::handleSuccess(const QByteArray &line)
{
    switch (currentState) {
    case State::Connecting:
        if (password.isEmpty()) {
            becomeReady();
        } else {
            sendLogin(State::UserSent, "AUTHINFO USER ", user);
        }
        break;
    case State::UserSent:
        sendLogin(State::PasswordSent, "AUTHINFO PASS ", password);
        break;
    case State::PasswordSent:
        becomeReady();
        break;
    case State::ArticleRequested:
        body.clear();
        setState(State::ArticleBody);
        break;
    case State::HeadRequested:
        body.clear();
        setState(State::HeadData);
        break;
    case State::GroupRequested: {
        const NntpReply::Group reply = NntpReply::parseGroup(line);
        if (reply.name != group)
            group.clear(); // whatever the server selected, it is not the group asked for
        setState(State::Ready);
        Q_EMIT groupResponse(reply.name, reply.low, reply.high);
        break;
    }
    case State::OverviewRequested:
        setState(State::OverviewData);
        break;
    case State::ReferencesRequested:
        setState(State::ReferencesData);
        break;
    default:
        break;
    }
}

void SpotNNTP::becomeReady()
{
    setState(State::Ready);
    if (inFlightArticle.isEmpty())
        Q_EMIT loggedIn();
    else
        sendArticleCommand(State::ArticleRequested);
}

void SpotNNTP::articleMissing()
{
    setState(State::Ready);
    // Cleared before the signal, so that the slot may ask for the same id again.
    Q_EMIT articleNotFound(std::exchange(inFlightArticle, {}));
}

void SpotNNTP::fallBackToPlain()
{
    qDebug() << "Server kent geen gecomprimeerde headers, verder zonder compressie";
    compressionRefused = true;
    const bool overview = currentState == State::OverviewRequested;
    setState(State::Ready);
    if (overview)
        fetchOverview(rangeFirst, rangeLast);
    else
        fetchReferences(rangeFirst, rangeLast);
}

QByteArray SpotNNTP::nextLine()
{
    QByteArray line = received.takeLine();
    if (line.isEmpty() && socket->bytesAvailable() > 0) {
        received.append(socket->readAll());
        if (replyTimer.isActive())
            replyTimer.start(); // the server is alive
        line = received.takeLine();
    }
    if (line.isEmpty() && received.pending() > maxLineLength)
        replyTooLarge(tr("regel"));
    return line;
}

void SpotNNTP::replyTooLarge(const QString &what)
{
    resetWithError(codeReplyTooLarge, tr("Te groot antwoord van de Usenet server ontvangen (%1)").arg(what));
}

void SpotNNTP::readArticleBody()
{
    received.append(socket->readAll());
    body += received.takeAll();
    const bool head = currentState == State::HeadData;
    if (body.size() > (head ? maxHeadSize : maxArticleSize)) {
        replyTooLarge(head ? tr("headers") : tr("artikel"));
        return;
    }
    if (!NntpReply::isArticleComplete(body))
        return;
    setState(State::Ready);
    const QByteArray id = std::exchange(inFlightArticle, {});
    if (head)
        Q_EMIT headData(id, NntpReply::unstuffedLines(std::exchange(body, {})));
    else
        Q_EMIT articleData(id, std::exchange(body, {}));
}

void SpotNNTP::readDataLines()
{
    while (currentState == State::OverviewData || currentState == State::ReferencesData) {
        const QByteArray line = nextLine();
        if (line.isEmpty())
            return;
        if (compressing()) {
            switch (compressed->add(line)) {
            case CompressedReply::Outcome::Pending:
                break;
            case CompressedReply::Outcome::TooLarge:
                replyTooLarge(tr("gecomprimeerde headers"));
                break;
            case CompressedReply::Outcome::BadCrc:
                setState(State::Ready);
                Q_EMIT error(codeBadCompressedData, tr("Foutieve gecompreseerde headers ontvangen (yenc crc niet ok)"));
                break;
            case CompressedReply::Outcome::BadData:
                setState(State::Ready);
                Q_EMIT error(codeBadCompressedData, tr("Foutieve gecompreseerde headers ontvangen (inflate mislukt)"));
                break;
            case CompressedReply::Outcome::Complete:
                deliverCompressedReply();
                break;
            }
        } else if (NntpReply::isTerminator(line)) {
            finishReply();
        } else {
            deliverLine(line);
        }
    }
}

void SpotNNTP::deliverLine(const QByteArray &line)
{
    const bool overview = currentState == State::OverviewData;
    const std::optional<NntpReply::References> references = overview ? std::nullopt : NntpReply::parseReferences(line);
    const std::optional<qint64> number = overview ? NntpReply::overviewNumber(line)
        : references                              ? std::optional(references->number)
                                                  : std::nullopt;
    // One line per article of the range: a server that sends more would never end. Lines
    // of other articles (a broken server adds a few) have a bound of their own.
    if (number && rangeFirst <= *number && *number <= rangeLast) {
        if (linesLeft == 0) {
            replyTooLarge(tr("regels"));
            return;
        }
        --linesLeft;
    } else {
        strayBytes += line.size();
        if (strayBytes > maxStrayBytes) {
            replyTooLarge(tr("regels buiten het gevraagde bereik"));
            return;
        }
    }
    if (overview)
        Q_EMIT headerLine(line);
    else if (references)
        Q_EMIT xroverLine(references->number, references->value);
}

void SpotNNTP::finishReply()
{
    const bool overview = currentState == State::OverviewData;
    setState(State::Ready);
    if (overview)
        Q_EMIT headerLine(QByteArrayLiteral(".\r\n"));
    else
        Q_EMIT xroverLine(-1, QByteArrayLiteral("."));
}

void SpotNNTP::deliverCompressedReply()
{
    // The state stays as for plain data until the last line, and a slot that resets stops the lines.
    const State replyState = currentState;
    while (currentState == replyState) {
        const QByteArray line = compressed->takeLine();
        if (line.isEmpty())
            break;
        // Only the reply's own end may end it.
        if (!NntpReply::isTerminator(line))
            deliverLine(line);
    }
    if (currentState == replyState)
        finishReply();
}
