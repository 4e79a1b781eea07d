#include "tarnwick.h"

#include "settings.h"
#include "spotnntp.h"

#include <utility>

namespace {

constexpr qint64 rangeSpan = 50000; // a range is first to first + 50000

// Reply codes whose error() ends the connection for good: the settings must change first.
constexpr int codeAuthenticationRequired = 480;
constexpr int codePasswordWrong = 483;

} // namespace

const QByteArray Tarnwick::spotGroup = "free.pt";
const QByteArray Tarnwick::commentGroup = "free.usenet";

qint64 Tarnwick::Range::start(qint64 lastDone, qint64 min, qint64 max, int maxArticles)
{
    const qint64 keep = qint64(maxArticles) - 1;
    groupLast = max;
    qint64 first = lastDone == 0 ? min : lastDone + 1;
    if (first < max - keep)
        first = max - keep;
    batchEnd = qMin(first + rangeSpan, max);
    current = 0;
    return first;
}

bool Tarnwick::Range::next(qint64 &first)
{
    if (batchEnd >= groupLast)
        return false;
    first = batchEnd + 1;
    batchEnd = qMin(batchEnd + rangeSpan + 1, groupLast);
    current = 0;
    return true;
}

Tarnwick::Tarnwick(QObject *parent)
    : SpotSource(parent)
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
    return SpotStore::tableExists(db, name);
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
    commentMap.clear();
    commentSyncBusy = false;
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
    return store.commentNumbers(spotKey);
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

void Tarnwick::dropClient()
{
    forgetClient()->deleteLater();
}

void Tarnwick::onLoggedIn()
{
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
    if (!articleQueue.isEmpty()) {
        serveQueue();
        return;
    }
    if (group == spotGroup) {
        const qint64 last = Settings::lastHeader();
        if (last >= max) {
            client->selectGroup(commentGroup);
            return;
        }
        const qint64 first = headers.start(last, min, max, Settings::maxSpots());
        if (runStart == 0)
            runStart = first;
        beginHeaderRange(first, tr("Bezig met binnenhalen van nieuwe headers"));
    } else if (group == commentGroup) {
        const qint64 last = Settings::lastCommentsHeader();
        if (last >= max) {
            refreshTimer.start();
            return;
        }
        const qint64 first = comments.start(last, min, max, Settings::maxSpots());
        commentSyncBusy = true;
        Q_EMIT notice(0, tr("Bezig met binnenhalen van nieuwe reactielijst"));
        client->fetchReferences(first, comments.batchEnd);
    }
}

void Tarnwick::onError(int error, const QString &msg)
{
    auto *sender = qobject_cast<SpotNNTP *>(QObject::sender());
    // An article cut off with its connection is asked for again, first.
    if (!articleInFlight.isEmpty())
        articleQueue.prepend(std::exchange(articleInFlight, {}));
    if (headerSyncBusy) {
        endHeaderTransaction(false);
    } else if (commentSyncBusy) {
        commentMap.clear();
        commentSyncBusy = false;
    }

    switch (error) {
    case codeAuthenticationRequired:
        Q_EMIT this->error(0, tr("Vul het wachtwoord van je Usenet provider in bij de instellingen"));
        dropClient();
        break;
    case codePasswordWrong:
        Q_EMIT this->error(0, tr("Wachtwoord onjuist. Controleer de instellingen"));
        dropClient();
        break;
    case QAbstractSocket::HostNotFoundError:
        Q_EMIT this->error(0, tr("Server adres van Usenet provider onjuist. Controlleer instellingen"));
        dropClient();
        break;
    case SpotNNTP::codeTlsVerification:
        Q_EMIT this->error(0, msg);
        dropClient();
        break;
    case SpotNNTP::codeReconnectRequested:
        Q_EMIT notice(0, tr("Instellingen gewijzigd"));
        dropClient();
        break;
    case SpotNNTP::codeReferencesRefused:
        Q_EMIT notice(0, tr("Usenet provider ondersteund geen XHDR, kan geen reacties ophalen"));
        refreshTimer.start();
        break;
    default:
        Q_EMIT notice(0, tr("Fout: %1").arg(msg));
        if (sender) {
            sender->scheduleLogin(reconnectDelay);
            // Bad compressed data leaves the connection up: the login retry would find it
            // open and do nothing, so the next cycle starts from the refresh timer.
            if (sender->isReady())
                refreshTimer.start();
        }
        break;
    }
}

void Tarnwick::progress(const QString &text)
{
    Q_EMIT notice(0, text);
    // Let the window show it (and the user act) while the download goes on.
    QCoreApplication::processEvents();
}
