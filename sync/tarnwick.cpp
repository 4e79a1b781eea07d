#include "tarnwick.h"

#include "settings.h"
#include "sqlfile.h"
#include "spotnntp.h"

const QByteArray Tarnwick::spotGroup = "free.pt";
const QByteArray Tarnwick::commentGroup = "free.usenet";

Tarnwick::Tarnwick(QObject *parent)
    : ArticleSource(parent)
    , articles(store.cache(), client, commentGroup)
    , headers(store.spots(), client, [this] { return articles.sendAlong(); })
    , comments(store.commentIndex(), client, [this] { return articles.sendAlong(); })
    , details(detailsStore, store.cache(), client, [this] { return !articles.isEmpty(); })
{
    // A details file that cannot be used at all leaves the details run nothing to ask.
    detailsStore.open(SpotStore::dataDirectory());

    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(refreshIntervalMs);
    connect(&refreshTimer, &QTimer::timeout, this, &Tarnwick::onRefreshTimer);

    connect(&articles, &ArticleQueue::articleData, this, &ArticleSource::articleData);
    connect(&articles, &ArticleQueue::articleNotFound, this, &ArticleSource::articleNotFound);

    const auto showNotice = [this](const QString &text) { Q_EMIT notice(0, text); };
    connect(&headers, &HeaderRun::notice, this, showNotice);
    connect(&headers, &HeaderRun::progress, this, [this](int percent, const QString &text) {
        Q_EMIT headerProgress(percent);
        progress(text);
    });
    connect(&headers, &HeaderRun::rangeStored, this, [this](int spots, int eroticSpots) {
        spotsAdded += spots;
        eroticSpotsAdded += eroticSpots;
    });
    connect(&headers, &HeaderRun::stopped, this, &Tarnwick::headerDownloadStopped);
    connect(&headers, &HeaderRun::rowsChanged, this, &SpotSource::newSpots);
    connect(&headers, &HeaderRun::paused, this, &Tarnwick::onLoggedIn);
    connect(&headers, &HeaderRun::failed, this, &Tarnwick::cycleFailed);
    connect(&headers, &HeaderRun::overviewUnsupported, this, [this] {
        forgetClient()->quit();
        Q_EMIT error(0, tr("Je Usenet provider ondersteund het downloaden van headers niet!"));
    });
    connect(&headers, &HeaderRun::finished, this, &Tarnwick::headerRunFinished);

    connect(&comments, &CommentRun::notice, this, showNotice);
    connect(&comments, &CommentRun::progress, this, &Tarnwick::progress);
    connect(&comments, &CommentRun::paused, this, &Tarnwick::onLoggedIn);
    connect(&comments, &CommentRun::failed, this, &Tarnwick::cycleFailed);
    connect(&comments, &CommentRun::finished, &details, &DetailsRun::start);

    connect(&details, &DetailsRun::progress, this, &Tarnwick::detailsProgress);
    connect(&details, &DetailsRun::paused, this, &Tarnwick::onLoggedIn);
    connect(&details, &DetailsRun::failed, this, &Tarnwick::cycleFailed);
    connect(&details, &DetailsRun::finished, &refreshTimer, qOverload<>(&QTimer::start));
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

bool Tarnwick::headerRangeOpen() const
{
    return headers.isBusy();
}

bool Tarnwick::optimizeDatabases()
{
    if (headerRangeOpen())
        return false;
    store.optimize();
    return true;
}

bool Tarnwick::deleteAllSpots()
{
    if (headerRangeOpen())
        return false;
    // A comment range in progress would write numbers of the old store back; the details
    // run would store details under ids that are about to name other spots.
    comments.abandon();
    details.stop();
    // The spots that asked for these are gone; an article the server never delivers would
    // otherwise keep the download from ever running again.
    articles.dropAll();
    // Positions first: a kill half-way then downloads again what is still stored (the
    // duplicate test skips it) instead of never again what is already gone.
    Settings::resetDownloadPositions();
    store.deleteAll();
    detailsStore.clear();
    Q_EMIT detailsProgress(0, 0);
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
    connect(client, &SpotNNTP::headData, this, &Tarnwick::onHeadData, Qt::DirectConnection);
    client->login();
}

void Tarnwick::reconnectToServer()
{
    // The details run takes the new settings (on or off, connections) at its next start.
    details.stop();
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
    // A listener of the answer that brought us here may have let the client go; answers
    // that came between the ranges of a run leave the run going.
    if (!client || !client->isReady())
        return;
    if (articles.isEmpty()) {
        refreshTimer.stop();
        client->selectGroup(spotGroup);
    } else {
        articles.serve();
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
    const bool askedForQueue = articles.takeCommentGroupAsked();
    if (group.isEmpty() || group != client->currentGroup()) {
        // Another group, or a reply that names none: nothing of this cycle can be asked for.
        const bool numbersGivenUp = askedForQueue && articles.commentGroupFailed();
        cycleFailed(tr("de Usenet server selecteerde een andere groep dan gevraagd"));
        // Without the numbers the queue no longer waits for that group.
        if (numbersGivenUp && client) {
            refreshTimer.stop();
            onLoggedIn();
        }
        return;
    }
    if (group == commentGroup)
        articles.commentGroupSelected();
    if (!articles.isEmpty()) {
        articles.serve();
        return;
    }
    // Empty: no article at all ("211 0 1001 1000"); there is no range to ask for.
    const bool empty = max < 1 || min > max;
    min = qMax<qint64>(min, 1);
    if (group == spotGroup)
        startHeaderRun(min, max, empty);
    else if (group == commentGroup)
        startCommentRun(min, max, empty);
}

void Tarnwick::startHeaderRun(qint64 min, qint64 max, bool empty)
{
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
    ArticleRange range;
    range.start(last, min, max, Settings::maxSpots());
    if (runStart == 0)
        runStart = range.first;
    headers.start(range, runStart);
}

void Tarnwick::headerRunFinished()
{
    Q_EMIT notice(0,
                  tr("Klaar met headeren... %1 nieuwe spots, %2 totaal.")
                      .arg(spotsAdded + eroticSpotsAdded)
                      .arg(store.spots().spotCount()));
    Q_EMIT spotsUpToDate();
    if (client)
        client->selectGroup(commentGroup);
}

void Tarnwick::startCommentRun(qint64 min, qint64 max, bool empty)
{
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
        details.start();
        return;
    }
    ArticleRange range;
    range.start(last, min, max, Settings::maxSpots());
    comments.start(range);
}

void Tarnwick::onError(int error, const QString &msg)
{
    // The client that reported: a dialog shown for an earlier report may have run an event
    // loop in which another client came and went.
    auto *reportingClient = qobject_cast<SpotNNTP *>(QObject::sender());
    const QPointer<SpotNNTP> reporter = reportingClient ? reportingClient : client.data();
    // Articles cut off with their connection are asked for again, first. Errors that keep
    // the connection (refused references, bad compressed data) keep the pipeline too: the
    // articles in it are still answered, and the later ranges of the run still come.
    const bool connectionKept = reporter && reporter->state() != SpotNNTP::State::Disconnected;
    const QList<QByteArray> givenUp = connectionKept ? QList<QByteArray>() : articles.requeueInFlight();
    const bool commentGroupRefused = articles.takeCommentGroupAsked();
    const bool commentsRunning = comments.isBusy();
    headers.abandon();
    comments.abandon();
    if (reporter == client)
        details.abandon();

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
        // Once per run: the ranges asked for behind the first are refused as well.
        if (commentsRunning) {
            Q_EMIT notice(0, tr("Usenet provider ondersteund geen XHDR, kan geen reacties ophalen"));
            refreshTimer.start();
        }
        break;
    default:
        Q_EMIT notice(0, tr("Fout: %1").arg(msg));
        if (reporter) {
            reporter->scheduleLogin(reconnectDelay);
            // Bad compressed data leaves the connection up: the login retry would find it
            // open and do nothing, so the next cycle starts from the refresh timer.
            if (connectionKept)
                refreshTimer.start();
        }
        // After the last try the reconnect goes on with the spot group.
        if (commentGroupRefused)
            articles.commentGroupFailed();
        break;
    }
    for (const QByteArray &id : givenUp)
        Q_EMIT articleNotFound(id);
}

void Tarnwick::progress(const QString &text)
{
    Q_EMIT notice(0, text);
    // Let the window show it (and the user act) while the download goes on.
    QCoreApplication::processEvents();
}

void Tarnwick::onHeaderLine(const QByteArray &line)
{
    headers.onHeaderLine(line);
}

void Tarnwick::onXroverLine(qint64 nr, const QByteArray &references)
{
    comments.onXroverLine(nr, references);
}

void Tarnwick::requestArticle(const QByteArray &id, bool urgent)
{
    if (articles.answerFromCache(id))
        return;
    if (!client)
        connectToServer();
    if (client)
        articles.add(id, urgent);
}

void Tarnwick::requestArticleNumber(qint64 number)
{
    requestArticle(QByteArray::number(number), false);
}

void Tarnwick::onArticleData(const QByteArray &msgid, const QByteArray &data)
{
    articles.onArticleData(msgid, data);
    onLoggedIn();
}

void Tarnwick::onHeadData(const QByteArray &msgid, const QByteArray &head)
{
    details.onHeadData(msgid, head);
}

void Tarnwick::onArticleNotFound(const QByteArray &msgid)
{
    if (details.onArticleNotFound(msgid))
        return;
    articles.onArticleNotFound(msgid);
    onLoggedIn();
}
