#include "spotlistindex.h"

#include "searchquery.h"
#include "searchtextsfeed.h"
#include "sparevector.h"
#include "sqlitestatement.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <thread>

namespace {

constexpr int cancelCheckEvery = 4096;
// Rows from which a pass over a list is split between two threads.
constexpr size_t parallelFrom = 200'000;
// Rows compared per step when looking for the rows that are gone.
constexpr qint64 idBatch = 4096;
// From this many rows on, a table that grows copies hundreds of megabytes.
constexpr size_t largeTable = 1 << 20;
// The rows of one downloaded range, at most.
constexpr size_t rangeRows = 50'001;
// Spot dates are held in 32 bits without sign: up to the year 2106.
constexpr qint64 latestDate = std::numeric_limits<quint32>::max();

QByteArray sql(const char *before, const char *table, const char *after = "")
{
    return QByteArray(before) + table + after;
}

template<typename T>
void retainIn(std::vector<T> &values, const std::vector<bool> &keep)
{
    size_t kept = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (keep[i])
            values[kept++] = values[i];
    }
    values.resize(kept);
}

// The rows of the ids (newest first) that are held, in their order: one walk down the held ids.
std::vector<quint32> rowsOf(const std::vector<int> &held, const std::vector<int> &ids)
{
    std::vector<quint32> rows;
    rows.reserve(ids.size());
    size_t below = held.size(); // the rows still to look at
    for (const int id : ids) {
        while (below > 0 && held[below - 1] > id)
            --below;
        if (below > 0 && held[below - 1] == id)
            rows.push_back(quint32(--below));
    }
    return rows;
}

template<typename T>
qsizetype capacityBytes(const std::vector<T> &values)
{
    return qsizetype(values.capacity() * sizeof(T));
}

} // namespace

void SpotListIndex::Table::clear()
{
    order.settle(); // it reads the titles
    *this = Table(titlePairs);
}

void SpotListIndex::Table::retain(const std::vector<bool> &keep)
{
    retainIn(ids, keep);
    retainIn(cats, keep);
    retainIn(subcats, keep);
    retainIn(dates, keep);
    order.retain(keep);
    retainIn(spotterOf, keep);
    retainIn(tagOf, keep);
    titles.retain(keep);
}

void SpotListIndex::handOver(sqlite3 *from)
{
    const std::optional<Fingerprint> now = fingerprint(from);
    seenConnection = nullptr;
    readSinceHandOver = false;
    // Rows written in a transaction that is still open are not there for the other connection.
    handedOverFrom = now && sqlite3_get_autocommit(from) ? from : nullptr;
    if (handedOverFrom)
        handedOverAt = *now;
}

bool SpotListIndex::holdsWhatIsSeen(sqlite3 *connection, const std::optional<Fingerprint> &now) const
{
    if (!now)
        return false;
    if (connection == seenConnection && *now == seen)
        return true;
    return connection == handedOverFrom && readSinceHandOver && *now == handedOverAt;
}

bool SpotListIndex::isCurrent(sqlite3 *connection) const
{
    return holdsWhatIsSeen(connection, fingerprint(connection));
}

SpotListIndex::Update SpotListIndex::update(sqlite3 *connection, const std::atomic<bool> *cancel,
                                            const Followup &followup)
{
    lastRowsRead = 0;
    const std::optional<Fingerprint> now = fingerprint(connection);
    if (holdsWhatIsSeen(connection, now)) {
        seenConnection = connection;
        seen = *now;
        handedOverFrom = nullptr;
        if (followup)
            followup(*this);
        return Update::Done;
    }
    seenConnection = nullptr;
    const qsizetype sizeBefore = size();
    Update result = appendTable(connection, "spots", spots, cancel);
    if (result == Update::Done)
        result = appendTable(connection, "erospots", erotic, cancel);
    if (lastRowsRead > 0 || size() != sizeBefore)
        rowsVersion = nextVersion();
    if (result == Update::Done)
        result = dropGoneRows(connection, followup);
    if (result == Update::Done) {
        for (Table *table : {&spots, &erotic})
            table->order.startTitleOrder(table->titles);
    }
    if (result == Update::Done && handedOverFrom && connection != handedOverFrom)
        readSinceHandOver = true;
    // Rows read inside a transaction may yet be rolled back, which no count shows.
    if (result == Update::Done && now && sqlite3_get_autocommit(connection)) {
        seenConnection = connection;
        seen = *now;
    }
    return result;
}

// The followup reads the index while the tables are counted, which leaves it as it is: the
// counts read every page of an index of the tables, and the followup need not wait for them.
SpotListIndex::Update SpotListIndex::dropGoneRows(sqlite3 *connection, const Followup &followup)
{
    std::thread beside;
    if (followup)
        beside = std::thread(followup, std::cref(*this));
    const std::optional<qint64> storedSpots = storedRows(connection, "spots");
    const std::optional<qint64> storedErotic = storedRows(connection, "erospots");
    if (beside.joinable())
        beside.join();
    const qsizetype sizeBefore = size();
    Update result = storedSpots ? keepStoredRows(connection, "spots", spots, *storedSpots) : Update::Failed;
    if (result == Update::Done)
        result = storedErotic ? keepStoredRows(connection, "erospots", erotic, *storedErotic) : Update::Failed;
    if (size() != sizeBefore) {
        rowsVersion = nextVersion();
        if (result == Update::Done && followup)
            followup(*this);
    }
    return result;
}

quint64 SpotListIndex::nextVersion()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

qint64 SpotListIndex::idsBehind(sqlite3 *connection) const
{
    qint64 behind = 0;
    for (const auto &[name, table] : {std::pair<const char *, const Table *>{"spots", &spots}, {"erospots", &erotic}}) {
        SqliteStatement newest(connection, sql("SELECT max(id) FROM ", name));
        if (newest.step() == SqliteStatement::Result::Row)
            behind += std::max<qint64>(0, newest.integer(0) - (table->ids.empty() ? 0 : table->ids.back()));
        newest.finish();
    }
    return behind;
}

// The rows this connection wrote, the commits of the others, and the schema (a table
// renamed or made): as long as none of them moved, the tables hold the same rows.
std::optional<SpotListIndex::Fingerprint> SpotListIndex::fingerprint(sqlite3 *connection)
{
    const auto pragma = [&](const char *sql) -> std::optional<qint64> {
        SqliteStatement query(connection, sql);
        if (query.step() != SqliteStatement::Result::Row)
            return std::nullopt;
        const qint64 value = query.integer(0);
        query.finish();
        return value;
    };
    const std::optional<qint64> dataVersion = pragma("PRAGMA data_version");
    const std::optional<qint64> schemaVersion = pragma("PRAGMA schema_version");
    if (!dataVersion || !schemaVersion)
        return std::nullopt;
    return Fingerprint{sqlite3_total_changes64(connection), *dataVersion, *schemaVersion};
}

SpotListIndex::Update SpotListIndex::appendTable(sqlite3 *connection, const char *name, Table &table,
                                                 const std::atomic<bool> *cancel)
{
    SqliteStatement added(
        connection, sql("SELECT id,cat,subcat,spotdate,title,spotter,tag FROM ", name, " WHERE id>? ORDER BY id"));
    if (!added.isPrepared()) {
        if (!isMissing(connection, name))
            return Update::Failed;
        table.clear(); // a table that is missing shows no rows
        return Update::Done;
    }
    added.bind(1, qint64(table.ids.empty() ? 0 : table.ids.back()));
    if (!appendRows(added, table, cancel)) {
        if (cancel && cancel->load())
            return Update::Cancelled;
        // Prepared on the schema as it was: another connection may have dropped the table since.
        if (!isMissing(connection, name))
            return Update::Failed;
        table.clear();
    }
    return Update::Done;
}

std::optional<qint64> SpotListIndex::storedRows(sqlite3 *connection, const char *name)
{
    SqliteStatement count(connection, sql("SELECT count(*) FROM ", name));
    if (!count.isPrepared())
        return isMissing(connection, name) ? std::optional<qint64>(0) : std::nullopt;
    if (count.step() != SqliteStatement::Result::Row)
        return std::nullopt;
    const qint64 stored = count.integer(0);
    count.finish();
    return stored;
}

SpotListIndex::Update SpotListIndex::keepStoredRows(sqlite3 *connection, const char *name, Table &table, qint64 stored)
{
    if (stored == qint64(table.ids.size()))
        return Update::Done;
    if (stored == 0) {
        table.clear();
        return Update::Done;
    }
    if (stored > qint64(table.ids.size()))
        return Update::Inconsistent;
    return dropMissingRows(connection, name, table, stored);
}

// The titles of rows added to those held (a range) are folded and their pairs indexed on a
// thread of their own, beside the stepping through the rows and the rest of each row. A new
// index reads its millions of rows on this thread alone: what the feed's thread allocates stays
// in an allocator arena of its own, which left the program holding more memory once squeezed.
bool SpotListIndex::appendRows(SqliteStatement &query, Table &table, const std::atomic<bool> *cancel)
{
    SqliteStatement::Result step;
    qsizetype read = 0;
    std::string key;
    SearchTextsFeed titles(
        table.titles, table.ids.empty() ? SearchTextsFeed::Appending::AtOnce : SearchTextsFeed::Appending::OnItsThread);
    while ((step = query.step()) == SqliteStatement::Result::Row) {
        if (read == 0)
            table.order.settle(); // it reads the titles, which change now
        appendSparingly(table.ids, int(query.integer(0)));
        const qint64 cat = query.integer(1);
        appendSparingly(table.cats, quint8(cat >= 0 && cat < unlistedCategory ? cat : unlistedCategory));
        appendSparingly(table.subcats, int(query.integer(2)));
        appendSparingly(table.dates, quint32(std::clamp<qint64>(query.integer(3), 0, latestDate)));
        titles.append(query.bytes(4), query.isText(4), query.isNull(4));
        appendSparingly(table.spotterOf, distinctValue(query, 5, table.spotters, table.spotterIds, key));
        appendSparingly(table.tagOf, distinctValue(query, 6, table.tags, table.tagIds, key));
        if (++read % cancelCheckEvery == 0 && cancel && cancel->load())
            break;
    }
    query.finish();
    titles.finish();
    lastRowsRead += read;
    return step == SqliteStatement::Result::Done;
}

bool SpotListIndex::isMissing(sqlite3 *connection, const char *name)
{
    // Bound as bytes, which never equal a text: compared as text.
    const QByteArray tableName(name);
    SqliteStatement table(connection, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=CAST(? AS TEXT)");
    table.bind(1, tableName);
    return table.run() == SqliteStatement::Result::Done;
}

// key: the caller's buffer, so that looking up a known value allocates nothing.
quint32 SpotListIndex::distinctValue(const SqliteStatement &row, int column, SearchTexts &texts, ValueNumbers &known,
                                     std::string &key)
{
    // Keyed by kind and bytes: a text and a blob of the same bytes may be shown differently.
    const char kind = row.isNull(column) ? 'n' : row.isText(column) ? 't' : 'b';
    const QByteArrayView bytes = row.bytes(column);
    key.assign(1, kind).append(bytes.data(), size_t(bytes.size()));
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    const quint32 value = quint32(texts.size());
    texts.append(bytes, kind == 't', kind == 'n');
    known.emplace(key, value);
    return value;
}

// Expiry takes the oldest rows and a rolled-back range the newest, so the ids are compared
// from both ends inwards until as many rows as are gone have been found.
SpotListIndex::Update SpotListIndex::dropMissingRows(sqlite3 *connection, const char *name, Table &table, qint64 stored)
{
    SqliteStatement upwards(connection, sql("SELECT id FROM ", name, " WHERE id>=? AND id<=? ORDER BY id LIMIT ?"));
    SqliteStatement downwards(connection,
                              sql("SELECT id FROM ", name, " WHERE id>=? AND id<=? ORDER BY id DESC LIMIT ?"));
    const std::vector<int> &ids = table.ids;
    std::vector<bool> keep(ids.size(), true);
    qint64 missing = qint64(ids.size()) - stored;
    qint64 low = 0; // ids[low, high) are not compared yet
    qint64 high = qint64(ids.size());

    bool readFailed = false;
    // Compares one batch from the low end (step 1) or the high end (step -1); false when the
    // database holds an id that the index does not, or the read failed.
    const auto compare = [&](SqliteStatement &query, int direction) {
        query.bind(1, qint64(ids[size_t(low)]));
        query.bind(2, qint64(ids[size_t(high - 1)]));
        query.bind(3, idBatch);
        qint64 rows = 0;
        SqliteStatement::Result step;
        while ((step = query.step()) == SqliteStatement::Result::Row) {
            ++rows;
            const int id = int(query.integer(0));
            qint64 &at = direction > 0 ? low : high;
            while (low < high && (direction > 0 ? ids[size_t(low)] < id : ids[size_t(high - 1)] > id)) {
                keep[size_t(direction > 0 ? low : high - 1)] = false;
                --missing;
                at += direction;
            }
            if (low == high || ids[size_t(direction > 0 ? low : high - 1)] != id) {
                query.finish();
                return false;
            }
            at += direction;
        }
        query.finish();
        readFailed = step == SqliteStatement::Result::Failed;
        if (readFailed)
            return false;
        if (rows < idBatch) { // the database has nothing more in between
            for (qint64 i = low; i < high; ++i)
                keep[size_t(i)] = false;
            missing -= high - low;
            high = low;
        }
        return true;
    };
    while (missing > 0 && low < high) {
        if (!compare(upwards, 1) || (missing > 0 && low < high && !compare(downwards, -1)))
            return readFailed ? Update::Failed : Update::Inconsistent;
    }
    if (missing != 0)
        return Update::Inconsistent;
    table.retain(keep);
    return Update::Done;
}

void SpotListIndex::Table::squeeze()
{
    order.settle(); // it reads the titles
    // A large table keeps room for one downloaded range: growing would copy every array of it.
    const size_t room = ids.size() >= largeTable ? rangeRows : 0;
    for (std::vector<int> *values : {&ids, &subcats})
        squeezeKeeping(*values, room);
    squeezeKeeping(cats, room);
    squeezeKeeping(dates, room);
    squeezeKeeping(spotterOf, room);
    squeezeKeeping(tagOf, room);
    titles.squeeze(qsizetype(room));
}

void SpotListIndex::squeeze()
{
    spots.squeeze();
    erotic.squeeze();
}

qsizetype SpotListIndex::memoryBytes() const
{
    qsizetype bytes = 0;
    for (const Table *table : {&spots, &erotic}) {
        bytes += capacityBytes(table->ids) + capacityBytes(table->cats) + capacityBytes(table->subcats)
            + capacityBytes(table->dates) + table->order.memoryBytes() + capacityBytes(table->spotterOf)
            + capacityBytes(table->tagOf) + table->titles.memoryBytes() + table->spotters.memoryBytes()
            + table->tags.memoryBytes();
        for (const ValueNumbers *known : {&table->spotterIds, &table->tagIds}) {
            bytes += qsizetype(known->bucket_count() * sizeof(void *));
            for (const auto &[key, value] : *known)
                bytes += qsizetype(key.capacity() + sizeof(key) + sizeof(value) + sizeof(void *));
        }
    }
    return bytes;
}

std::vector<int> SpotListIndex::sorted(const SpotFilter &filter, std::vector<int> ids, SortColumn column,
                                       Qt::SortOrder order) const
{
    const Table &table = tableOf(filter);
    const std::vector<quint32> rows
        = table.order.sorted({table.dates, table.subcats, table.titles, table.spotterOf, table.spotters},
                             rowsOf(table.ids, ids), column, order);
    ids.resize(rows.size());
    // The rows come in the column's order, their ids from anywhere in memory: each is asked
    // for a few rows early, and a long list's second half on a second thread.
    const auto part = [&](size_t from, size_t to) {
        constexpr size_t ahead = 16;
        for (size_t i = from; i < to; ++i) {
            if (i + ahead < to)
                __builtin_prefetch(&table.ids[rows[i + ahead]]);
            ids[i] = table.ids[rows[i]];
        }
    };
    const size_t half = rows.size() < parallelFrom ? rows.size() : rows.size() / 2;
    std::thread helper;
    if (half < rows.size())
        helper = std::thread(part, half, rows.size());
    part(0, half);
    if (helper.joinable())
        helper.join();
    return ids;
}
