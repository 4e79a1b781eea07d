#include "spotindexbuilder.h"

#include "sqlitestatement.h"
#include "threadhandover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>

#include <sqlite3.h>

namespace {

bool execute(sqlite3 *connection, const char *sql)
{
    return sqlite3_exec(connection, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// What the builder's thread tells the builder on its thread of creation.
const QEvent::Type countedEvent = QEvent::Type(QEvent::registerEventType());
const QEvent::Type builtEvent = QEvent::Type(QEvent::registerEventType());

} // namespace

SpotIndexBuilder::SpotIndexBuilder(const QString &fileName, QObject *parent, std::unique_ptr<SpotListIndex> from,
                                   Followup followup)
    : QObject(parent)
{
    worker = std::thread([this, fileName, index = std::move(from), followup = std::move(followup)]() mutable {
        build(fileName, std::move(index), followup);
    });
}

SpotIndexBuilder::~SpotIndexBuilder()
{
    cancel = true;
    finish();
}

void SpotIndexBuilder::finish()
{
    if (worker.joinable())
        worker.join();
}

std::unique_ptr<SpotListIndex> SpotIndexBuilder::take()
{
    std::lock_guard<std::mutex> lock(resultLock);
    return std::move(result);
}

bool SpotIndexBuilder::readFailed()
{
    std::lock_guard<std::mutex> lock(resultLock);
    return failed;
}

void SpotIndexBuilder::build(const QString &fileName, std::unique_ptr<SpotListIndex> index, const Followup &followup)
{
    const bool fresh = !index;
    sqlite3 *connection = nullptr;
    // Never creates the file, and only reads: the program's own connection does the writing.
    const bool opened = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &connection,
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
            == SQLITE_OK
        && execute(connection, "PRAGMA query_only=1");
    if (opened && fresh) {
        SqliteStatement count(connection, "SELECT count(*) FROM spots");
        if (count.step() == SqliteStatement::Result::Row)
            announce(countedEvent);
    }
    if (fresh)
        index = std::make_unique<SpotListIndex>();
    SpotListIndex::Update update = SpotListIndex::Update::Failed;
    // Read again while a pass finds many new rows, so that what the taker still reads is little.
    while (opened) {
        // One read transaction per pass: both tables as of one moment.
        update = execute(connection, "BEGIN") ? index->update(connection, &cancel, followup)
                                              : SpotListIndex::Update::Failed;
        execute(connection, "COMMIT");
        // Another pass only for many rows stored meanwhile: a pass that finds none still counts
        // the table.
        if (update != SpotListIndex::Update::Done || index->rowsRead() <= fewRows
            || index->idsBehind(connection) <= fewRows)
            break;
    }
    sqlite3_close(connection);
    // An index kept up with new rows keeps its room to grow.
    if (fresh)
        index->squeeze();
    if (cancel)
        return;
    {
        std::lock_guard<std::mutex> lock(resultLock);
        failed = update == SpotListIndex::Update::Failed;
        // A handed-over index that failed part-way still holds only rows of the tables: the
        // list goes on showing them until a later read succeeds.
        if (update == SpotListIndex::Update::Done || (failed && !fresh))
            result = std::move(index);
    }
    announce(builtEvent);
}

void SpotIndexBuilder::announce(QEvent::Type type)
{
    auto *event = new QEvent(type);
    markHandedOver(event);
    QCoreApplication::postEvent(this, event);
}

bool SpotIndexBuilder::event(QEvent *event)
{
    if (event->type() != countedEvent && event->type() != builtEvent)
        return QObject::event(event);
    markTakenOver(event);
    if (event->type() == countedEvent)
        Q_EMIT counted();
    else
        Q_EMIT built();
    return true;
}
