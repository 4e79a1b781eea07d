#include "tarnwick.h"

#include "settings.h"
#include "sqlfile.h"
#include "spotnntp.h"

#include <utility>

namespace {

constexpr qint64 rangeSpan = 50000; // a range is first to first + 50000

// first + rangeSpan, but never past last (and never overflowing on the way).
qint64 rangeEnd(qint64 first, qint64 last)
{
    return last - first <= rangeSpan ? last : first + rangeSpan;
}

} // namespace

const QByteArray Tarnwick::spotGroup = "free.pt";
const QByteArray Tarnwick::commentGroup = "free.usenet";

void Tarnwick::Range::start(qint64 lastDone, qint64 min, qint64 max, int maxArticles)
{
    // At least the newest article, whatever the settings file says.
    const qint64 keep = qint64(qMax(maxArticles, 1)) - 1;
    groupLast = max;
    first = lastDone == 0 ? min : lastDone + 1;
    if (first < max - keep)
        first = max - keep;
    batchEnd = rangeEnd(first, max);
    current = 0;
    reported = -1;
    anyLine = false;
}

bool Tarnwick::Range::next()
{
    if (batchEnd >= groupLast)
        return false;
    first = batchEnd + 1;
    batchEnd = rangeEnd(first, groupLast);
    current = 0;
    reported = -1;
    return true;
}

bool Tarnwick::Range::contains(qint64 number) const
{
    return first <= number && number <= batchEnd;
}

Tarnwick::Tarnwick(QObject *parent)
    : ArticleSource(parent)
{
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(refreshIntervalMs);
    connect(&refreshTimer, &QTimer::timeout, this, &Tarnwick::onRefreshTimer);
}

Tarnwick::~Tarnwick()
{
    if (client)
        forgetClient()->quit();
}

QSqlDatabase Tarnwick::spotsDatabase() const
{
    return store.spotsDatabase();
}

int Tarnwick::newSpotCount() const
{
    return spotsAdded;
}

int Tarnwick::newEroticSpotCount() const
{
    return eroticSpotsAdded;
}

qint64 Tarnwick::headerRunStart() const
{
    return runStart;
}

void Tarnwick::setRefreshInterval(int milliseconds)
{
    refreshTimer.setInterval(milliseconds);
}

void Tarnwick::setReconnectDelay(int seconds)
{
    reconnectDelay = seconds;
}

bool Tarnwick::tableExists(const QSqlDatabase &db, const QString &name)
{
    return SqlFile::tableExists(db, name);
}

bool Tarnwick::optimizeDatabases()
{
    if (headerSyncBusy)
        return false;
    store.optimize();
    return true;
}

bool Tarnwick::deleteAllSpots()
{
    if (headerSyncBusy)
        return false;
    // A comment range in progress would write numbers of the old store back.
    pendingCommentIndex.clear();
    commentSyncBusy = false;
    // The spots that asked for these are gone; an article the server never delivers would
    // otherwise keep the download from ever running again.
    const QList<QByteArray> dropped = std::exchange(articleQueue, {});
    articleFailures.clear();
    commentGroupFailures = 0;
    for (const QByteArray &id : dropped)
        Q_EMIT articleNotFound(id);
    // Positions first: a kill half-way then downloads again what is still stored (the
    // duplicate test skips it) instead of never again what is already gone.
    Settings::resetDownloadPositions();
    store.deleteAll();
    runStart = 0;
    spotsAdded = 0;
    eroticSpotsAdded = 0;
    Q_EMIT newSpots();
    return true;
}

void Tarnwick::clearCommentIndex()
{
    store.clearCommentIndex();
}

QList<quint32> Tarnwick::commentNumbers(const QString &spotKey)
{
    return store.commentIndex().commentNumbers(spotKey);
}

void Tarnwick::connectToServer()
{
    if (client || !Settings::isConfigured())
        return;
    const Settings::Connection settings = Settings::connection();
    client = new SpotNNTP(settings.server, settings.port, settings.user, settings.password, settings.ssl,
                          settings.xzver, this);
    connect(client, &SpotNNTP::articleData, this, &Tarnwick::onArticleData, Qt::DirectConnection);
    connect(client, &SpotNNTP::articleNotFound, this, &Tarnwick::onArticleNotFound, Qt::DirectConnection);
    connect(client, &SpotNNTP::error, this, &Tarnwick::onError, Qt::DirectConnection);
    connect(client, &SpotNNTP::groupResponse, this, &Tarnwick::onGroupResponse, Qt::DirectConnection);
    connect(client, &SpotNNTP::headerLine, this, &Tarnwick::onHeaderLine, Qt::DirectConnection);
    connect(client, &SpotNNTP::xroverLine, this, &Tarnwick::onXroverLine, Qt::DirectConnection);
    connect(client, &SpotNNTP::loggedIn, this, &Tarnwick::onLoggedIn, Qt::DirectConnection);
    client->login();
}

void Tarnwick::reconnectToServer()
{
    if (client)
        client->resetWithError(SpotNNTP::codeReconnectRequested, QString());
    connectToServer();
}

SpotNNTP *Tarnwick::forgetClient()
{
    // A forgotten client says nothing more to this controller, whatever it still receives.
    SpotNNTP *forgotten = client;
    forgotten->disconnect(this);
    client = nullptr;
    return forgotten;
}

void Tarnwick::dropClient(SpotNNTP *dropped)
{
    if (!dropped)
        return;
    dropped->disconnect(this);
    if (dropped == client)
        client = nullptr;
    dropped->deleteLater();
}

void Tarnwick::cycleFailed(const QString &reason)
{
    Q_EMIT notice(0, tr("Fout: %1").arg(reason));
    refreshTimer.start();
}

void Tarnwick::onLoggedIn()
{
    // A listener of the answer that brought us here may have let the client go.
    if (!client)
        return;
    if (articleQueue.isEmpty()) {
        refreshTimer.stop();
        client->selectGroup(spotGroup);
    } else {
        serveQueue();
    }
}

void Tarnwick::onRefreshTimer()
{
    if (client && client->isReady())
        client->selectGroup(spotGroup);
}

void Tarnwick::onGroupResponse(const QByteArray &group, qint64 min, qint64 max)
{
    if (!client)
        return;
    const bool askedForQueue = std::exchange(commentGroupAsked, false);
    if (group.isEmpty() || group != client->currentGroup()) {
        // Another group, or a reply that names none: nothing of this cycle can be asked for.
        const bool numbersGivenUp = askedForQueue && commentGroupFailed();
        cycleFailed(tr("de Usenet server selecteerde een andere groep dan gevraagd"));
        // Without the numbers the queue no longer waits for that group.
        if (numbersGivenUp && client) {
            refreshTimer.stop();
            onLoggedIn();
        }
        return;
    }
    if (group == commentGroup)
        commentGroupFailures = 0;
    if (!articleQueue.isEmpty()) {
        serveQueue();
        return;
    }
    // Empty: no article at all ("211 0 1001 1000"); there is no range to ask for.
    const bool empty = max < 1 || min > max;
    min = qMax<qint64>(min, 1);
    if (group == spotGroup) {
        qint64 last = Settings::lastHeader();
        if (!empty && last > max) {
            // The provider numbered the group anew: what we have is kept, the duplicate test
            // keeps it single.
            Q_EMIT notice(0,
                          tr("De Usenet server heeft de spots opnieuw genummerd, de nieuwste spots worden "
                             "opnieuw binnengehaald"));
            Settings::setLastHeader(0);
            last = 0;
            runStart = 0;
        }
        if (empty || last >= max) {
            Q_EMIT spotsUpToDate();
            if (client)
                client->selectGroup(commentGroup);
            return;
        }
        headers.start(last, min, max, Settings::maxSpots());
        if (runStart == 0)
            runStart = headers.first;
        beginHeaderRange(tr("Bezig met binnenhalen van nieuwe headers"));
    } else if (group == commentGroup) {
        qint64 last = Settings::lastCommentsHeader();
        if (!empty && last > max) {
            // The stored numbers name articles of the old numbering: they would fetch other comments.
            Q_EMIT notice(0,
                          tr("De Usenet server heeft de reacties opnieuw genummerd, de lijst met reacties wordt "
                             "opnieuw opgebouwd"));
            store.clearCommentIndex();
            Settings::setLastCommentsHeader(0);
            last = 0;
        }
        if (empty || last >= max) {
            refreshTimer.start();
            return;
        }
        comments.start(last, min, max, Settings::maxSpots());
        commentSyncBusy = true;
        Q_EMIT notice(0, tr("Bezig met binnenhalen van nieuwe reactielijst"));
        client->fetchReferences(comments.first, comments.batchEnd);
    }
}

std::optional<QByteArray> Tarnwick::requeueArticleInFlight()
{
    if (articleInFlight.isEmpty())
        return std::nullopt;
    QByteArray id = std::exchange(articleInFlight, {});
    if (++articleFailures[id] >= articleTries) {
        articleFailures.remove(id);
        return id;
    }
    articleQueue.prepend(id);
    return std::nullopt;
}

void Tarnwick::onError(int error, const QString &msg)
{
    // The client that reported: a dialog shown for an earlier report may have run an event
    // loop in which another client came and went.
    auto *reportingClient = qobject_cast<SpotNNTP *>(QObject::sender());
    const QPointer<SpotNNTP> reporter = reportingClient ? reportingClient : client.data();
    // An article cut off with its connection is asked for again, first.
    const std::optional<QByteArray> givenUp = requeueArticleInFlight();
    const bool commentGroupRefused = std::exchange(commentGroupAsked, false);
    if (headerSyncBusy) {
        endHeaderTransaction(false);
    } else if (commentSyncBusy) {
        pendingCommentIndex.clear();
        commentSyncBusy = false;
    }

    // The client goes first: the error box runs an event loop.
    switch (error) {
    // These end the connection for good: the settings must change first.
    case NntpReply::authenticationRequired:
        dropClient(reporter);
        Q_EMIT this->error(0, tr("Vul het wachtwoord van je Usenet provider in bij de instellingen"));
        break;
    case NntpReply::passwordRejected:
        dropClient(reporter);
        Q_EMIT this->error(0, tr("Wachtwoord onjuist. Controleer de instellingen"));
        break;
    case QAbstractSocket::HostNotFoundError:
        dropClient(reporter);
        Q_EMIT this->error(0, tr("Server adres van Usenet provider onjuist. Controlleer instellingen"));
        break;
    case SpotNNTP::codeTlsVerification:
        dropClient(reporter);
        Q_EMIT this->error(0, msg);
        break;
    case SpotNNTP::codeReconnectRequested:
        dropClient(reporter);
        Q_EMIT notice(0, tr("Instellingen gewijzigd"));
        break;
    case SpotNNTP::codeReferencesRefused:
        Q_EMIT notice(0, tr("Usenet provider ondersteund geen XHDR, kan geen reacties ophalen"));
        refreshTimer.start();
        break;
    default:
        Q_EMIT notice(0, tr("Fout: %1").arg(msg));
        if (reporter) {
            reporter->scheduleLogin(reconnectDelay);
            // Bad compressed data leaves the connection up: the login retry would find it
            // open and do nothing, so the next cycle starts from the refresh timer.
            if (reporter->isReady())
                refreshTimer.start();
        }
        // After the last try the reconnect goes on with the spot group.
        if (commentGroupRefused)
            commentGroupFailed();
        break;
    }
    if (givenUp)
        Q_EMIT articleNotFound(*givenUp);
}

void Tarnwick::progress(const QString &text)
{
    Q_EMIT notice(0, text);
    // Let the window show it (and the user act) while the download goes on.
    QCoreApplication::processEvents();
}
