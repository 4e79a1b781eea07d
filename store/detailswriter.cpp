#include "detailswriter.h"

#include "cachefile.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// As the window's connections wait for a lock: a write of the other side is short.
constexpr int busyTimeoutMs = 5000;

bool execute(sqlite3 *connection, const char *sql)
{
    return sqlite3_exec(connection, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// An existing file only: a missing one is not this writer's to make.
sqlite3 *openExisting(const QString &path)
{
    sqlite3 *connection = nullptr;
    if (!QFileInfo::exists(path)
        || sqlite3_open_v2(QFile::encodeName(path).constData(), &connection,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
        sqlite3_close(connection);
        return nullptr;
    }
    sqlite3_busy_timeout(connection, busyTimeoutMs);
    // Derived data, in a write-ahead log: a commit need not wait for the disk.
    execute(connection, "PRAGMA synchronous=NORMAL");
    // The keys come in no order (message-ids): the pages of their index stay in memory
    // instead of being read again for each batch.
    execute(connection, "PRAGMA cache_size=-32768");
    // For the same reason each commit writes most of that index into the log again; copied
    // into the file at every commit (a log of 1,000 pages), each page would be written twice
    // per commit. A longer log copies each page once for several commits, and is cut back
    // to a few megabytes once copied.
    execute(connection, "PRAGMA wal_autocheckpoint=16384");
    execute(connection, "PRAGMA journal_size_limit=8388608");
    return connection;
}

// One transaction on the connection, rolled back unless committed.
class Transaction
{
public:
    explicit Transaction(sqlite3 *connection)
        : connection(connection)
        , active(execute(connection, "BEGIN"))
    {
    }
    ~Transaction()
    {
        if (active)
            execute(connection, "ROLLBACK");
    }
    bool isActive() const { return active; }
    bool commit()
    {
        if (active && execute(connection, "COMMIT"))
            active = false;
        return !active;
    }
    Q_DISABLE_COPY_MOVE(Transaction)

private:
    sqlite3 *connection;
    bool active;
};

int tableIndex(SpotTable table)
{
    return table == SpotTable::Spots ? 0 : 1;
}

} // namespace

DetailsWriter::~DetailsWriter()
{
    close();
}

bool DetailsWriter::open(const QString &detailsPath, const QString &spotsPath, const QString &cachePath)
{
    close();
    details = openExisting(detailsPath);
    if (!details || !QFileInfo::exists(spotsPath)) {
        close();
        return false;
    }
    SqliteStatement attach(details, "ATTACH DATABASE ? AS spotdb");
    const QVariant spotsName(spotsPath);
    attach.bind(1, spotsName);
    if (attach.run() != SqliteStatement::Result::Done) {
        close();
        return false;
    }
    detailsRow = SqliteStatement(details,
                                 "INSERT OR REPLACE INTO details(spot,msgid,found,size,image,website,"
                                 "newsgroup,segments,files) VALUES (?,?,?,?,?,?,?,?,?)");
    askedRange = SqliteStatement(details, "INSERT OR REPLACE INTO asked(tbl,low,high) VALUES (?,?,?)");
    goneBelow[0]
        = SqliteStatement(details, "DELETE FROM details WHERE spot>0 AND spot<(SELECT min(id) FROM spotdb.spots)");
    goneAbove[0] = SqliteStatement(details, "DELETE FROM details WHERE spot>(SELECT max(id) FROM spotdb.spots)");
    goneBelow[1]
        = SqliteStatement(details, "DELETE FROM details WHERE spot<0 AND spot>-(SELECT min(id) FROM spotdb.erospots)");
    goneAbove[1] = SqliteStatement(details, "DELETE FROM details WHERE spot<-(SELECT max(id) FROM spotdb.erospots)");
    bool prepared = detailsRow.isPrepared() && askedRange.isPrepared();
    for (int t = 0; t < 2; ++t)
        prepared = prepared && goneBelow[t].isPrepared() && goneAbove[t].isPrepared();
    if (!prepared) {
        close();
        return false;
    }
    if (!cachePath.isEmpty()) {
        cache = openExisting(cachePath);
        headRow = SqliteStatement(cache, "REPLACE INTO cache(id,dateadded,data) VALUES (?,?,?)");
        // The page can do without the header blocks: it asks the server then.
        if (!headRow.isPrepared()) {
            qDebug() << "Spotheaders: cache.db niet te openen om te schrijven";
            sqlite3_close(cache);
            cache = nullptr;
        }
    }
    return true;
}

bool DetailsWriter::isOpen() const
{
    return details != nullptr;
}

void DetailsWriter::close()
{
    // The statements first: a connection with statements left does not close.
    headRow = {};
    detailsRow = {};
    askedRange = {};
    for (int t = 0; t < 2; ++t) {
        goneBelow[t] = {};
        goneAbove[t] = {};
    }
    sqlite3_close(details);
    sqlite3_close(cache);
    details = nullptr;
    cache = nullptr;
}

bool DetailsWriter::write(const QList<Item> &items, const std::atomic<bool> &stop)
{
    if (!isOpen())
        return false;
    if (cache && !writeHeads(items, stop) && !stop)
        qDebug() << "Spotheaders niet in de cache opgeslagen";
    return writeDetails(items, stop);
}

bool DetailsWriter::writeHeads(const QList<Item> &items, const std::atomic<bool> &stop)
{
    Transaction transaction(cache);
    if (!transaction.isActive())
        return false;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const Item &item : items) {
        for (const auto &[id, compressed] : item.heads) {
            if (stop)
                return false;
            if (compressed.isEmpty())
                continue;
            const QByteArray key = CacheFile::headKey(id);
            headRow.bind(1, key);
            headRow.bind(2, now);
            headRow.bind(3, compressed);
            if (headRow.run() != SqliteStatement::Result::Done)
                return false;
        }
    }
    return transaction.commit();
}

bool DetailsWriter::writeDetails(const QList<Item> &items, const std::atomic<bool> &stop)
{
    Transaction transaction(details);
    if (!transaction.isActive())
        return false;
    bool touched[2] = {false, false};
    for (const Item &item : items) {
        for (const SpotDetailsStore::Request &spot : item.batch.spots) {
            if (stop)
                return false;
            const auto it = item.found.constFind(spot.spotId);
            const bool has = it != item.found.constEnd();
            const SpotDetails found = has ? it->bounded() : SpotDetails();
            detailsRow.bind(1, qint64(spot.spotId));
            detailsRow.bind(2, spot.spotKey);
            detailsRow.bind(3, qint64(has));
            detailsRow.bind(4, found.size > 0 ? QVariant(found.size) : QVariant());
            detailsRow.bind(5, QVariant(found.image));
            detailsRow.bind(6, QVariant(found.website));
            detailsRow.bind(7, QVariant(found.newsgroup));
            detailsRow.bind(8, qint64(found.segments));
            detailsRow.bind(9, qint64(found.files));
            if (detailsRow.run() != SqliteStatement::Result::Done)
                return false;
        }
        const int t = tableIndex(item.batch.table);
        touched[t] = true;
        askedRange.bind(1, qint64(t));
        askedRange.bind(2, qint64(item.batch.lowId));
        askedRange.bind(3, qint64(item.batch.highId));
        if (askedRange.run() != SqliteStatement::Result::Done)
            return false;
    }
    // The details of spots gone below the oldest one left (expired) or above the newest go
    // with them: a range of keys each.
    for (int t = 0; t < 2; ++t) {
        if (touched[t]
            && (goneBelow[t].run() != SqliteStatement::Result::Done
                || goneAbove[t].run() != SqliteStatement::Result::Done))
            return false;
    }
    return !stop && transaction.commit();
}
