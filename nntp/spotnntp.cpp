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
    turnTimer.setSingleShot(true);
    turnTimer.setInterval(0);
    connect(&turnTimer, &QTimer::timeout, this, &SpotNNTP::process);
}

SpotNNTP::~SpotNNTP() = default;

void SpotNNTP::selectGroup(const QByteArray &name)
{
    accept({State::GroupRequested, name, 0, 0, NntpArgument::isGroupName(name)});
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
    accept({requested, {}, first, last, NntpArgument::isRange(first, last)});
}

void SpotNNTP::fetchArticle(const QByteArray &id)
{
    if (acceptsCommands())
        accept({State::ArticleRequested, id, 0, 0, NntpArgument::isArticleId(id)});
    else if (currentState != State::Quitting)
        articleAfterLogin = id;
}

void SpotNNTP::fetchHead(const QByteArray &id)
{
    accept({State::HeadRequested, id, 0, 0, NntpArgument::isArticleId(id)});
}

void SpotNNTP::quit()
{
    if (!socketOpen()) {
        destroyNow();
        return;
    }
    // Nothing more is handed on: the owner lets the client go.
    pipeline.clear();
    written = 0;
    currentState = State::Quitting;
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

int SpotNNTP::pendingCommands() const
{
    return int(pipeline.size());
}

QByteArray SpotNNTP::currentArticle() const
{
    for (const Command &command : pipeline) {
        if (command.requested == State::ArticleRequested || command.requested == State::HeadRequested)
            return command.argument;
    }
    return articleAfterLogin;
}

QByteArray SpotNNTP::currentGroup() const
{
    return group;
}

void SpotNNTP::setPipelineDepth(int commands)
{
    depth = std::max(1, commands);
    writeCommands();
}

int SpotNNTP::pipelineDepth() const
{
    return depth;
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
    compression = Compression::Unknown;
    currentState = State::Connecting;
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
    process();
}

void SpotNNTP::process()
{
    CallbackScope scope(*this);
    // Read also while a slot of ours runs an event loop (a progress notice, a dialog), so
    // that the server goes on sending; but hand nothing on there: the loop further up the
    // stack does, once the slot has returned.
    readSocket();
    if (reading)
        return;
    const QScopedValueRollback oneReader(reading, true);
    turnBudget = linesPerTurn;
    while (currentState != State::Disconnected) {
        if (turnBudget <= 0) {
            turnTimer.start(); // the rest in the next turn, after the event loop has had its own
            return;
        }
        switch (currentState) {
        case State::ArticleBody:
        case State::HeadData: {
            const State reply = currentState;
            readArticleBody();
            if (currentState == reply)
                return;
            break;
        }
        case State::OverviewData:
        case State::ReferencesData: {
            const State reply = currentState;
            readDataLines();
            if (currentState == reply && turnBudget > 0)
                return;
            break;
        }
        default: {
            if (!pipeline.empty() && !pipeline.front().sendable) {
                answerUnsent();
                break;
            }
            const QByteArray line = nextLine();
            if (line.isEmpty())
                return;
            handleStatusLine(line);
            break;
        }
        }
    }
}

void SpotNNTP::readSocket()
{
    if (socket->bytesAvailable() <= 0 || received.pending() >= maxBufferedBytes)
        return;
    received.append(socket->readAll());
    if (replyTimer.isActive())
        replyTimer.start(); // the server is alive
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
    if (socket->bytesAvailable() > 0 || turnTimer.isActive() || callbackDepth > 1) {
        replyTimer.start();
        return;
    }
    resetWithError(QAbstractSocket::SocketTimeoutError, tr("Geen antwoord van de Usenet server (time-out)"));
}

bool SpotNNTP::socketOpen() const
{
    return socket->state() != QAbstractSocket::UnconnectedState;
}

bool SpotNNTP::loggedInState() const
{
    switch (currentState) {
    case State::Disconnected:
    case State::Connecting:
    case State::UserSent:
    case State::PasswordSent:
    case State::Quitting:
        return false;
    default:
        return true;
    }
}

bool SpotNNTP::acceptsCommands()
{
    if (!socketOpen())
        login();
    return loggedInState();
}

void SpotNNTP::accept(Command command)
{
    if (!acceptsCommands())
        return;
    if (!command.sendable) {
        // Shown escaped: the point is what the text holds.
        qDebug() << "Niet verzonden (ongeldig argument):"
                 << commandLine(command).left(NntpArgument::maxMessageIdLength + 20);
        turnTimer.start(); // answered in its turn, never inside this call
    }
    pipeline.push_back(std::move(command));
    if (pipeline.size() == 1)
        currentState = pipeline.front().requested;
    writeCommands();
}

void SpotNNTP::writeCommands()
{
    while (written < qsizetype(pipeline.size()) && written < depth && compression != Compression::Probing) {
        Command &next = pipeline[size_t(written)];
        const bool range = next.requested == State::OverviewRequested || next.requested == State::ReferencesRequested;
        next.compressed = range && next.sendable && compressed && compression != Compression::Refused;
        // Whether the server knows the compressed forms is learnt from one command alone:
        // its refusal must not have later commands behind it.
        if (next.compressed && compression == Compression::Unknown) {
            if (written > 0)
                return;
            compression = Compression::Probing;
        }
        ++written;
        if (next.sendable)
            sendCommand(commandLine(next));
    }
}

QByteArray SpotNNTP::commandLine(const Command &command) const
{
    const QByteArray range = QByteArray::number(command.first) + '-' + QByteArray::number(command.last);
    const QByteArray id = command.argument.contains('@') ? '<' + command.argument + '>' : command.argument;
    switch (command.requested) {
    case State::GroupRequested:
        return "GROUP " + command.argument;
    case State::OverviewRequested:
        return (command.compressed ? "XZVER " : "XOVER ") + range;
    case State::ReferencesRequested:
        return (command.compressed ? "XZHDR References " : "XHDR References ") + range;
    case State::HeadRequested:
        return "HEAD " + id;
    default:
        return "ARTICLE " + id;
    }
}

SpotNNTP::Command SpotNNTP::finishCommand()
{
    Command done = std::move(pipeline.front());
    pipeline.pop_front();
    --written;
    if (pipeline.empty()) {
        currentState = State::Ready;
        replyTimer.stop(); // nothing is due
    } else {
        currentState = pipeline.front().requested;
    }
    writeCommands();
    return done;
}

void SpotNNTP::answerUnsent()
{
    switch (currentState) {
    case State::ArticleRequested:
    case State::HeadRequested:
        articleMissing();
        break;
    case State::GroupRequested:
        finishCommand();
        group.clear();
        Q_EMIT groupResponse(QByteArray(), 0, 0);
        break;
    case State::OverviewRequested:
    case State::ReferencesRequested:
        currentState = currentState == State::OverviewRequested ? State::OverviewData : State::ReferencesData;
        finishReply();
        break;
    default:
        break;
    }
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

void SpotNNTP::sendLogin(State next, const QByteArray &command, const QString &argument)
{
    const QByteArray bytes = ByteText::toBytes(argument);
    if (!NntpArgument::isLoginArgument(bytes)) {
        resetWithError(codeLoginUnsendable, tr("Gebruikersnaam of wachtwoord bevat een regeleinde"));
        return;
    }
    currentState = next;
    sendCommand(command + bytes);
}

void SpotNNTP::reset()
{
    turnTimer.stop();
    replyTimer.stop();
    pipeline.clear();
    written = 0;
    articleAfterLogin.clear();
    group.clear();
    received.clear();
    body.clear();
    inflatedPending = false;
    compression = Compression::Unknown;
    if (compressed)
        compressed->reset(); // a reply cut off half-way must not leak into the next one
    currentState = State::Disconnected;
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
    if (pipeline.empty()) {
        // The login, or a line that no command asked for.
        if (NntpReply::isSuccess(code))
            handleSuccess(line);
        else
            resetWithError(code, ByteText::toText(line));
        return;
    }
    if (compression == Compression::Probing && pipeline.front().compressed) {
        compression = code == NntpReply::unknownCommand ? Compression::Refused : Compression::Accepted;
        if (compression == Compression::Refused) {
            fallBackToPlain();
            return;
        }
        writeCommands(); // the commands held back behind it
    }
    handleReply(code, line);
}

void SpotNNTP::handleReply(int code, const QByteArray &line)
{
    const bool article = currentState == State::ArticleRequested || currentState == State::HeadRequested;
    const bool range = currentState == State::OverviewRequested || currentState == State::ReferencesRequested;
    if (article && (code == NntpReply::articleNotFound || code == NntpReply::articleNumberNotFound)) {
        articleMissing();
    } else if (NntpReply::isSuccess(code)) {
        handleSuccess(line);
    } else if (range && code == NntpReply::articleNumberNotFound) {
        // Servers following RFC 3977 say "423 No articles in that range" for an empty range.
        currentState = currentState == State::OverviewRequested ? State::OverviewData : State::ReferencesData;
        finishReply();
    } else if (currentState == State::ReferencesRequested) {
        finishCommand();
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
    case State::HeadRequested:
        body.clear();
        currentState = currentState == State::ArticleRequested ? State::ArticleBody : State::HeadData;
        break;
    case State::GroupRequested: {
        const NntpReply::Group reply = NntpReply::parseGroup(line);
        const Command asked = finishCommand();
        // Whatever the server selected when it names another group, it is not the group asked for.
        group = reply.name == asked.argument ? reply.name : QByteArray();
        Q_EMIT groupResponse(reply.name, reply.low, reply.high);
        break;
    }
    case State::OverviewRequested:
    case State::ReferencesRequested: {
        const Command &range = pipeline.front();
        rangeFirst = range.first;
        rangeLast = range.last;
        linesLeft = quint64(range.last) - quint64(range.first) + 1;
        strayBytes = 0;
        currentState = currentState == State::OverviewRequested ? State::OverviewData : State::ReferencesData;
        break;
    }
    default:
        break;
    }
}

void SpotNNTP::becomeReady()
{
    currentState = State::Ready;
    replyTimer.stop();
    if (articleAfterLogin.isEmpty())
        Q_EMIT loggedIn();
    else
        fetchArticle(std::exchange(articleAfterLogin, {}));
}

void SpotNNTP::articleMissing()
{
    // Taken out before the signal, so that the slot may ask for the same id again.
    Q_EMIT articleNotFound(finishCommand().argument);
}

void SpotNNTP::fallBackToPlain()
{
    qDebug() << "Server kent geen gecomprimeerde headers, verder zonder compressie";
    // Nothing was written after it: the plain form takes its place, and later ranges follow plain.
    pipeline.front().compressed = false;
    sendCommand(commandLine(pipeline.front()));
    writeCommands();
}

QByteArray SpotNNTP::nextLine()
{
    QByteArray line = received.takeLine();
    if (line.isEmpty()) {
        readSocket();
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
    readSocket();
    const bool head = currentState == State::HeadData;
    const qsizetype limit = head ? maxHeadSize : maxArticleSize;
    // Pipelined replies usually lie complete in the buffer one behind the other: take just
    // this one, rather than moving all of them into the body and the rest back, per reply.
    qsizetype end = body.isEmpty() ? NntpReply::articleEnd(received.pendingBytes()) : -1;
    if (end >= 0 && end <= limit) {
        body = received.take(end);
    } else {
        const qsizetype searched = body.size();
        body += received.takeAll();
        end = NntpReply::articleEnd(body, searched - 4);
        if ((end < 0 ? body.size() : end) > limit) {
            replyTooLarge(head ? tr("headers") : tr("artikel"));
            return;
        }
        if (end < 0)
            return;
        received.append(body.sliced(end)); // the next reply
        body.truncate(end);
    }
    const QByteArray id = finishCommand().argument;
    if (head)
        Q_EMIT headData(id, NntpReply::unstuffedLines(std::exchange(body, {})));
    else
        Q_EMIT articleData(id, std::exchange(body, {}));
}

void SpotNNTP::readDataLines()
{
    while ((currentState == State::OverviewData || currentState == State::ReferencesData) && turnBudget > 0) {
        if (inflatedPending) {
            const QByteArray line = compressed->takeLine();
            if (line.isEmpty()) {
                inflatedPending = false;
                finishReply();
            } else if (!NntpReply::isTerminator(line)) { // only the reply's own end may end it
                deliverLine(line);
            }
            continue;
        }
        const QByteArray line = nextLine();
        if (line.isEmpty())
            return;
        if (!pipeline.front().compressed) {
            if (NntpReply::isTerminator(line))
                finishReply();
            else
                deliverLine(line);
            continue;
        }
        switch (compressed->add(line)) {
        case CompressedReply::Outcome::Pending:
            break;
        case CompressedReply::Outcome::TooLarge:
            replyTooLarge(tr("gecomprimeerde headers"));
            break;
        case CompressedReply::Outcome::BadCrc:
            finishCommand();
            Q_EMIT error(codeBadCompressedData, tr("Foutieve gecompreseerde headers ontvangen (yenc crc niet ok)"));
            break;
        case CompressedReply::Outcome::BadData:
            finishCommand();
            Q_EMIT error(codeBadCompressedData, tr("Foutieve gecompreseerde headers ontvangen (inflate mislukt)"));
            break;
        case CompressedReply::Outcome::Complete:
            inflatedPending = true;
            break;
        }
    }
}

void SpotNNTP::deliverLine(const QByteArray &line)
{
    --turnBudget;
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
    finishCommand();
    if (overview)
        Q_EMIT headerLine(QByteArrayLiteral(".\r\n"));
    else
        Q_EMIT xroverLine(-1, QByteArrayLiteral("."));
}
