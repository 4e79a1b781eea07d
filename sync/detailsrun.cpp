#include "detailsrun.h"

#include "backgroundthread.h"
#include "cachefile.h"
#include "detailswriter.h"
#include "settings.h"
#include "spotheadreader.h"
#include "spotnntp.h"
#include "spotpage.h"
#include "spotxml.h"
#include "zlibstream.h"

#include <QDebug>

#include <algorithm>

DetailsRun::DetailsRun(SpotDetailsStore &store, CacheFile &cache, const QPointer<SpotNNTP> &client,
                       std::function<bool()> articlesWaiting, QObject *parent)
    : QObject(parent)
    , store(store)
    , cache(cache)
    , client(client)
    , articlesWaiting(std::move(articlesWaiting))
{
    connect(&writer, &DetailsWriteThread::written, this, &DetailsRun::onWritten);
}

DetailsRun::~DetailsRun()
{
    stop();
}

void DetailsRun::start()
{
    running = true;
    storeEmpty = false;
    failure.clear();
    if (!Settings::detailsFetch()) {
        running = false;
        Q_EMIT finished();
        return;
    }
    writer.setFiles(store.filePath(), store.spotsPath(), cache.filePath());
    counted = store.progress();
    if (counted.done < counted.total)
        Q_EMIT progress(counted.done, counted.total);
    if (client && client->pipelineDepth() < window)
        client->setPipelineDepth(window);
    openOwnConnections();
    advance(shared);
}

bool DetailsRun::isBusy() const
{
    return !shared.inFlight.empty();
}

bool DetailsRun::expects(const Lane &lane, const QByteArray &msgid) const
{
    return !lane.inFlight.empty() && lane.inFlight.front().sent && lane.inFlight.front().id == msgid;
}

void DetailsRun::onHeadData(const QByteArray &msgid, const QByteArray &head)
{
    if (expects(shared, msgid))
        answer(shared, &head);
}

bool DetailsRun::onArticleNotFound(const QByteArray &msgid)
{
    if (!expects(shared, msgid))
        return false;
    answer(shared, nullptr);
    return true;
}

void DetailsRun::countTry(const Lane &lane)
{
    if (lane.discard == 0 && !lane.inFlight.empty() && lane.inFlight.front().sent)
        ++tries[lane.inFlight.front().id];
}

void DetailsRun::abandon()
{
    // The client dropped every outstanding command: none of their answers comes.
    countTry(shared);
    giveBackAll(shared);
    shared.inFlight.clear();
    shared.discard = 0;
    running = false;
}

void DetailsRun::stop()
{
    running = false;
    ++generation;
    giveBackAll(shared);
    while (!ownLanes.empty())
        dropLane(ownLanes.back().get());
    // A batch committed counts; the rest is asked again.
    for (const DetailsWriteThread::Result &result : writer.stop()) {
        if (result.stored)
            store.markStored(result.batch);
        else
            store.giveBack(result.batch);
    }
    tries.clear();
}

SpotNNTP *DetailsRun::clientOf(const Lane &lane) const
{
    return &lane == &shared ? client.data() : lane.own.data();
}

bool DetailsRun::maySend(const Lane &lane) const
{
    if (!failure.isEmpty())
        return false;
    if (&lane == &shared)
        return running && !articlesWaiting();
    return lane.loggedIn;
}

void DetailsRun::openOwnConnections()
{
    if (counted.done >= counted.total || !Settings::isConfigured())
        return;
    const Settings::Connection settings = Settings::connection();
    const size_t wanted = size_t(Settings::detailsConnections() - 1);
    while (ownLanes.size() < wanted) {
        Lane *lane = ownLanes.emplace_back(std::make_unique<Lane>()).get();
        // Only HEADs go on it: no compressed overview.
        auto *own
            = new SpotNNTP(settings.server, settings.port, settings.user, settings.password, settings.ssl, false, this);
        own->setPipelineDepth(window);
        lane->own = own;
        connect(own, &SpotNNTP::loggedIn, this, [this, lane] {
            lane->loggedIn = true;
            advance(*lane);
        });
        connect(own, &SpotNNTP::headData, this, [this, lane](const QByteArray &msgid, const QByteArray &head) {
            if (expects(*lane, msgid))
                answer(*lane, &head);
        });
        connect(own, &SpotNNTP::articleNotFound, this, [this, lane](const QByteArray &msgid) {
            if (expects(*lane, msgid))
                answer(*lane, nullptr);
        });
        connect(own, &SpotNNTP::error, this, [this, lane](int code, const QString &text) {
            qDebug() << "Verbinding voor spotdetails verbroken:" << code << text;
            countTry(*lane);
            dropLane(lane);
        });
        own->login();
    }
}

void DetailsRun::dropLane(Lane *lane)
{
    giveBackAll(*lane);
    if (SpotNNTP *own = lane->own) {
        own->disconnect(this);
        own->quit();
    }
    ownLanes.erase(std::find_if(ownLanes.begin(), ownLanes.end(),
                                [lane](const std::unique_ptr<Lane> &held) { return held.get() == lane; }));
}

void DetailsRun::dropIfIdle(Lane *lane)
{
    // Nothing left to take: the connection is not kept open for the next run.
    if (lane->inFlight.empty() && lane->batches.empty())
        dropLane(lane);
}

void DetailsRun::giveBackAll(Lane &lane)
{
    for (const Pending &pending : lane.batches) {
        store.giveBack(pending.batch);
        storeEmpty = false;
    }
    lane.batches.clear();
    // The answers still due for them are dropped as they come.
    lane.discard = qsizetype(lane.inFlight.size());
}

void DetailsRun::fill(Lane &lane)
{
    SpotNNTP *connection = clientOf(lane);
    while (connection && maySend(lane) && lane.inFlight.size() < size_t(window)) {
        if (lane.batches.empty() || lane.batches.back().asked == lane.batches.back().batch.spots.size()) {
            std::optional<SpotDetailsStore::Batch> batch = store.takeBatch(batchSize);
            if (!batch) {
                storeEmpty = true;
                return;
            }
            lane.batches.emplace_back().batch = std::move(*batch);
        }
        Pending &pending = lane.batches.back();
        const QByteArray id = SpotPage::articleIdOf(pending.batch.spots.at(pending.asked++).spotKey);
        const bool send = tries.value(id) < headTries;
        lane.inFlight.push_back({id, send});
        if (send)
            connection->fetchHead(id);
    }
}

void DetailsRun::answer(Lane &lane, const QByteArray *head)
{
    record(lane, head);
    advance(lane);
}

void DetailsRun::advance(Lane &lane)
{
    for (;;) {
        fill(lane);
        if (lane.inFlight.empty() || lane.inFlight.front().sent)
            break;
        record(lane, nullptr);
    }
    if (&lane == &shared)
        checkEnd();
    else
        dropIfIdle(&lane);
}

void DetailsRun::record(Lane &lane, const QByteArray *head)
{
    const QByteArray id = lane.inFlight.front().id;
    lane.inFlight.pop_front();
    if (lane.discard > 0) {
        --lane.discard;
    } else {
        Pending &pending = lane.batches.front();
        const int spotId = pending.batch.spots.at(pending.answered++).spotId;
        if (head)
            pending.answers.append({spotId, id, *head});
        if (pending.answered == pending.batch.spots.size())
            readFront(lane);
    }
}

void DetailsRun::readFront(Lane &lane)
{
    Pending pending = std::move(lane.batches.front());
    lane.batches.pop_front();
    ++reading;
    readers.start(
        [this, batch = std::move(pending.batch), answers = std::move(pending.answers), readGeneration = generation] {
            BackgroundThread::giveWay();
            const Read read = readAnswers(answers);
            QMetaObject::invokeMethod(
                this, [this, batch, read, readGeneration] { storeRead(batch, read, readGeneration); },
                Qt::QueuedConnection);
        });
}

DetailsRun::Read DetailsRun::readAnswers(const QList<Answer> &answers)
{
    Read read;
    QList<QByteArray> blocks;
    for (const Answer &answer : answers) {
        if (const std::optional<SpotDetails> details = SpotHeadReader::read(answer.head)) {
            read.found.insert(answer.spotId, *details);
            read.heads.append({answer.id, {}});
            blocks.append(SpotFields::readPart(answer.head));
        }
    }
    // Compressed for speed more than size: every spot's header goes in, and the page reads few of them.
    const QList<QByteArray> compressed = ZlibStream::deflateZlibEach(blocks);
    for (qsizetype i = 0; i < compressed.size(); ++i)
        read.heads[i].second = compressed.at(i);
    return read;
}

void DetailsRun::storeRead(const SpotDetailsStore::Batch &batch, const Read &read, quint64 readGeneration)
{
    --reading;
    if (readGeneration != generation) {
        store.giveBack(batch);
        return;
    }
    writer.write({batch, read.found, read.heads});
    if (reading == 0 && storeEmpty && shared.batches.empty()
        && std::all_of(ownLanes.begin(), ownLanes.end(),
                       [](const std::unique_ptr<Lane> &own) { return own->batches.empty(); }))
        writer.flush(); // the last of the run: not kept waiting for more
}

void DetailsRun::onWritten(const SpotDetailsStore::Batch &batch, bool stored)
{
    if (!stored) {
        store.giveBack(batch);
        // Asked again in a later run; nothing more is asked in this one.
        failure = tr("de spotdetails konden niet worden opgeslagen");
        giveBackAll(shared);
        for (const std::unique_ptr<Lane> &own : ownLanes)
            giveBackAll(*own);
        checkEnd();
        return;
    }
    store.markStored(batch);
    counted.done = std::min(counted.done + batch.spots.size(), counted.total);
    Q_EMIT progress(counted.done, counted.total);
}

void DetailsRun::checkEnd()
{
    if (!running || !shared.inFlight.empty())
        return;
    if (!failure.isEmpty()) {
        running = false;
        Q_EMIT failed(failure);
    } else if (articlesWaiting()) {
        running = false;
        Q_EMIT paused();
    } else if (storeEmpty && shared.batches.empty()) {
        running = false;
        Q_EMIT finished();
    }
}
