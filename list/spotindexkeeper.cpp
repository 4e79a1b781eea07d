#include "spotindexkeeper.h"

#include "spotindexbuilder.h"
#include "sqlitestatement.h"

#include <QDebug>

#include <sqlite3.h>

namespace {

// From this many rows on, growing or compacting the index's arrays moves hundreds of
// megabytes: every change of the tables is read into it on the builder's thread.
constexpr qsizetype largeIndex = 500'000;

} // namespace

SpotIndexKeeper::SpotIndexKeeper(QSqlDatabase database, QObject *parent)
    : QObject(parent)
    , database(std::move(database))
{
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(retryIntervalMs);
    connect(&retryTimer, &QTimer::timeout, this, &SpotIndexKeeper::onRetryTimer);
}

SpotIndexKeeper::~SpotIndexKeeper() = default;

const SpotListIndex *SpotIndexKeeper::index() const
{
    return current == State::Ready ? spotIndex.get() : nullptr;
}

qsizetype SpotIndexKeeper::memoryBytes() const
{
    return current == State::Ready ? spotIndex->memoryBytes() : 0;
}

void SpotIndexKeeper::setState(State next)
{
    if (next == current)
        return;
    current = next;
    Q_EMIT stateChanged(next);
}

void SpotIndexKeeper::start()
{
    if (current == State::Idle)
        startBuild();
}

void SpotIndexKeeper::startBuild()
{
    setState(State::Building);
    spotIndex.reset();
    builder = std::make_unique<SpotIndexBuilder>(database.databaseName(), nullptr);
    connect(builder.get(), &SpotIndexBuilder::counted, this, &SpotIndexKeeper::markCounted);
    connect(builder.get(), &SpotIndexBuilder::built, this, &SpotIndexKeeper::onBuilt);
}

void SpotIndexKeeper::markCounted()
{
    if (spotsCounted)
        return;
    spotsCounted = true;
    Q_EMIT counted();
}

void SpotIndexKeeper::onBuilt()
{
    spotIndex = builder->take();
    builder.reset();
    if (!spotIndex) {
        // The file could not be read: the rows are read without an index until a later build.
        setState(State::Idle);
        markCounted();
        retryLater();
        return;
    }
    setState(State::Ready);
    markCounted();
    // What was stored while the builder read: a few thousand rows at most, unless a range is open.
    if (!waitsForCommit() && refresh() == Refresh::Lost)
        return;
    Q_EMIT indexReady();
}

SpotIndexKeeper::Refresh SpotIndexKeeper::refresh()
{
    switch (spotIndex->update(sqliteHandle(database))) {
    case SpotListIndex::Update::Done:
        return Refresh::Done;
    case SpotListIndex::Update::Failed:
        retryLater();
        return Refresh::Failed;
    case SpotListIndex::Update::Cancelled:
    case SpotListIndex::Update::Inconsistent:
        break;
    }
    // Rows appeared below the newest: another program wrote the file. Read it all again.
    startBuild();
    Q_EMIT indexLost();
    return Refresh::Lost;
}

bool SpotIndexKeeper::needsCatchUp() const
{
    sqlite3 *connection = sqliteHandle(database);
    return spotIndex->idsBehind(connection) > SpotIndexBuilder::fewRows
        || (spotIndex->size() >= largeIndex && !spotIndex->isCurrent(connection));
}

bool SpotIndexKeeper::waitsForCommit() const
{
    sqlite3 *connection = sqliteHandle(database);
    return connection && !sqlite3_get_autocommit(connection)
        && spotIndex->idsBehind(connection) > SpotIndexBuilder::fewRows;
}

void SpotIndexKeeper::catchUp()
{
    setState(State::CatchingUp);
    spotIndex->handOver(sqliteHandle(database));
    builder = std::make_unique<SpotIndexBuilder>(database.databaseName(), nullptr, std::move(spotIndex),
                                                 makeFollowup ? makeFollowup() : SpotIndexBuilder::Followup());
    connect(builder.get(), &SpotIndexBuilder::built, this, &SpotIndexKeeper::onCaughtUp);
}

void SpotIndexKeeper::onCaughtUp()
{
    const bool failed = builder->readFailed();
    if (!takeFromBuilder())
        return;
    if (failed) {
        // The rows shown stay as they were until the read is tried again.
        retryLater();
        return;
    }
    // What was stored since is read here, unless it is a range again (a committed one: the
    // builder cannot see the rows of one still open).
    if (!waitsForCommit() && spotIndex->idsBehind(sqliteHandle(database)) > SpotIndexBuilder::fewRows)
        catchUp();
    else
        Q_EMIT caughtUp();
}

void SpotIndexKeeper::takeBack()
{
    takeFromBuilder();
}

bool SpotIndexKeeper::takeFromBuilder()
{
    builder->finish();
    spotIndex = builder->take();
    builder.reset();
    if (spotIndex) {
        setState(State::Ready);
        return true;
    }
    // The file could not be read there.
    startBuild();
    Q_EMIT indexLost();
    return false;
}

void SpotIndexKeeper::retryLater()
{
    qDebug() << "Fout bij raadplegen database";
    retryTimer.start();
}

void SpotIndexKeeper::onRetryTimer()
{
    switch (current) {
    case State::Idle:
        startBuild();
        break;
    case State::Ready:
        Q_EMIT retryDue();
        break;
    case State::Building:
    case State::CatchingUp:
        break; // what it reads comes with it, and a failure there is tried again
    }
}

void SpotIndexKeeper::setCatchUpFollowup(std::function<SpotIndexBuilder::Followup()> make)
{
    makeFollowup = std::move(make);
}

void SpotIndexKeeper::setRetryInterval(int milliseconds)
{
    retryTimer.setInterval(milliseconds);
}
