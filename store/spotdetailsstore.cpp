#include "spotdetailsstore.h"

#include "databasesetuperror.h"
#include "detailswriter.h"
#include "fileaside.h"
#include "sqltransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <climits>

namespace {

const QStringList schema = {
    // spot: the list's spot id (minus the id for an erospot). found is 0 for a spot without
    // details; size is NULL when it is not known, so that it sorts and filters as none.
    QStringLiteral("CREATE TABLE details(spot INTEGER PRIMARY KEY,msgid BLOB,found INTEGER NOT NULL,size INTEGER,"
                   "image TEXT,website TEXT,newsgroup TEXT,segments INTEGER,files INTEGER)"),
    // The list sorts and bounds by size through this: a tenth of the table's bytes, in order.
    QStringLiteral("CREATE INDEX detailsizes ON details(size) WHERE size IS NOT NULL"),
    // tbl: 0 spots, 1 erospots; ids as in that table.
    QStringLiteral("CREATE TABLE asked(tbl INTEGER NOT NULL,low INTEGER NOT NULL,high INTEGER NOT NULL,"
                   "PRIMARY KEY(tbl,low))"),
    QStringLiteral("PRAGMA user_version=%1").arg(SpotDetailsStore::schemaVersion),
};

const char *const tableNames[] = {"spots", "erospots"};

int tableIndex(SpotTable table)
{
    return table == SpotTable::Spots ? 0 : 1;
}

int listId(SpotTable table, int id)
{
    return table == SpotTable::Spots ? id : -id;
}

bool run(QSqlQuery &query, const QString &sql, const QVariantList &values = {})
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

std::atomic<quint64> connectionCount{0};

} // namespace

QString SpotDetailsStore::fileName()
{
    return QStringLiteral("spotdetails.db");
}

SpotDetailsStore::SpotDetailsStore()
    : connectionName(QStringLiteral("spotdetails-%1").arg(++connectionCount))
{
}

SpotDetailsStore::~SpotDetailsStore() = default;

QSqlDatabase SpotDetailsStore::database() const
{
    return connection ? connection->database() : QSqlDatabase();
}

bool SpotDetailsStore::isOpen() const
{
    return connection.has_value();
}

QString SpotDetailsStore::filePath() const
{
    return path;
}

QString SpotDetailsStore::spotsPath() const
{
    return QFileInfo(path).absolutePath() + QStringLiteral("/spots.db");
}

bool SpotDetailsStore::open(const QString &dataDirectory)
{
    connection.reset();
    for (int t = 0; t < 2; ++t) {
        asked[t].clear();
        handedOut[t].clear();
    }
    path = dataDirectory + QLatin1Char('/') + fileName();
    if (!QDir().mkpath(dataDirectory))
        return false;
    FileState state = openFile(path, spotsPath());
    if (state != FileState::Ready) {
        connection.reset();
        QString asidePath;
        const QString suffix
            = state == FileState::OtherVersion ? QStringLiteral("andere-versie") : QStringLiteral("beschadigd");
        if (QFileInfo::exists(path) && !setFileAside(path, suffix, &asidePath)) {
            qWarning() << "Spotdetails: bestand kan niet apart worden gezet:" << path;
            return false;
        }
        qDebug() << "Spotdetails: bestand opnieuw gemaakt, het oude is" << asidePath;
        state = openFile(path, spotsPath());
    }
    if (state != FileState::Ready) {
        connection.reset();
        return false;
    }
    verifyKeys();
    loadAsked();
    return true;
}

SpotDetailsStore::FileState SpotDetailsStore::openFile(const QString &filePath, const QString &spotsPath)
{
    try {
        connection.emplace(connectionName, filePath, QString());
    } catch (const DatabaseSetupError &) {
        return FileState::Damaged;
    }
    const FileState state = prepareSchema();
    if (state != FileState::Ready)
        return state;
    // A cache of what the server holds: a batch lost with a power cut (its range asked goes
    // with it) is asked again, so a commit need not wait for the disk.
    QSqlQuery durability(database());
    run(durability, QStringLiteral("PRAGMA synchronous=NORMAL"));
    // Without spots.db nothing is asked; attaching would make an empty one.
    QSqlQuery query(database());
    if (QFileInfo::exists(spotsPath) && !run(query, QStringLiteral("ATTACH DATABASE ? AS spotdb"), {spotsPath}))
        qDebug() << "Spotdetails: spots.db niet te openen";
    return FileState::Ready;
}

SpotDetailsStore::FileState SpotDetailsStore::prepareSchema()
{
    QSqlQuery query(database());
    if (!run(query, QStringLiteral("PRAGMA user_version")) || !query.next())
        return FileState::Damaged;
    const int version = query.value(0).toInt();
    if (version == schemaVersion) {
        // The tables must answer: a file that only claims the version is of no use.
        const bool readable = run(query, QStringLiteral("SELECT count(*) FROM asked")) && query.next()
            && run(query, QStringLiteral("SELECT spot FROM details ORDER BY spot DESC LIMIT 1"));
        return readable ? FileState::Ready : FileState::Damaged;
    }
    if (version != 0)
        return FileState::OtherVersion;
    if (!run(query, QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()
        || query.value(0).toInt() != 0)
        return FileState::OtherVersion;
    query.finish();
    SqlTransaction transaction(database());
    for (const QString &sql : schema) {
        if (!run(query, sql))
            return FileState::Damaged;
    }
    return transaction.commit() ? FileState::Ready : FileState::Damaged;
}

void SpotDetailsStore::verifyKeys()
{
    QSqlQuery query(database());
    for (const SpotTable table : {SpotTable::Spots, SpotTable::EroticSpots}) {
        const bool erotic = table == SpotTable::EroticSpots;
        if (!run(query,
                 erotic ? QStringLiteral("SELECT -spot,msgid FROM details WHERE spot<0 ORDER BY spot LIMIT 1")
                        : QStringLiteral("SELECT spot,msgid FROM details WHERE spot>0 ORDER BY spot DESC LIMIT 1"))
            || !query.next())
            continue;
        const qint64 id = query.value(0).toLongLong();
        const QByteArray key = query.value(1).toByteArray();
        const QString name = QLatin1String(tableNames[tableIndex(table)]);
        // A spot of that id with another key, or a table that never gave out that id (its
        // highest id ever, which deleting spots leaves as it is): spots.db was made anew.
        if (!run(query,
                 QStringLiteral("SELECT (SELECT CAST(msgid AS BLOB) FROM spotdb.%1 WHERE id=?),"
                                "(SELECT coalesce(max(seq),0) FROM spotdb.sqlite_sequence WHERE name=?)")
                     .arg(name),
                 {id, name})
            || !query.next())
            continue;
        const bool gone = query.value(0).isNull();
        if ((!gone && query.value(0).toByteArray() != key) || (gone && query.value(1).toLongLong() < id)) {
            qDebug() << "Spotdetails: spots.db is nieuw, details gewist";
            query.finish();
            clear();
            return;
        }
    }
}

void SpotDetailsStore::loadAsked()
{
    QSqlQuery query(database());
    if (!run(query, QStringLiteral("SELECT tbl,low,high FROM asked")))
        return;
    qsizetype rows = 0;
    while (query.next()) {
        const int t = query.value(0).toInt();
        if (t == 0 || t == 1)
            addRange(asked[t], query.value(1).toInt(), query.value(2).toInt());
        ++rows;
    }
    query.finish();
    // Every batch wrote a row of its own: they are joined here, once per start.
    if (rows == qsizetype(asked[0].size() + asked[1].size()))
        return;
    SqlTransaction transaction(database());
    if (!transaction.isActive() || !run(query, QStringLiteral("DELETE FROM asked")))
        return;
    for (int t = 0; t < 2; ++t) {
        for (const auto &[low, high] : asked[t]) {
            if (!run(query, QStringLiteral("INSERT INTO asked(tbl,low,high) VALUES (?,?,?)"), {t, low, high}))
                return;
        }
    }
    transaction.commit();
}

void SpotDetailsStore::addRange(Ranges &ranges, int low, int high)
{
    if (low > high)
        return;
    // Joins every range that overlaps or touches [low, high].
    auto it = ranges.upper_bound(high == INT_MAX ? high : high + 1);
    while (it != ranges.begin()) {
        const auto before = std::prev(it);
        if (qint64(before->second) + 1 < low)
            break;
        low = std::min(low, before->first);
        high = std::max(high, before->second);
        it = ranges.erase(before);
    }
    ranges.emplace(low, high);
}

void SpotDetailsStore::removeRange(Ranges &ranges, int low, int high)
{
    auto it = ranges.upper_bound(high);
    while (it != ranges.begin()) {
        const auto before = std::prev(it);
        if (before->second < low)
            break;
        const auto [from, to] = *before;
        ranges.erase(before);
        if (to > high)
            ranges.emplace(high + 1, to);
        if (from < low)
            ranges.emplace(from, low - 1);
        it = ranges.upper_bound(high);
        if (from < low)
            break;
    }
}

std::optional<SpotDetailsStore::Batch> SpotDetailsStore::takeBatch(int maxSpots)
{
    if (!isOpen() || maxSpots < 1)
        return std::nullopt;
    for (const SpotTable table : {SpotTable::Spots, SpotTable::EroticSpots}) {
        if (std::optional<Batch> batch = takeFrom(table, maxSpots))
            return batch;
    }
    return std::nullopt;
}

std::optional<SpotDetailsStore::Batch> SpotDetailsStore::takeFrom(SpotTable table, int maxSpots)
{
    const int t = tableIndex(table);
    Ranges covered = asked[t];
    for (const auto &[low, high] : handedOut[t])
        addRange(covered, low, high);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT id,CAST(msgid AS BLOB) FROM spotdb.%1 WHERE id BETWEEN ? AND ? "
                                      "ORDER BY id DESC LIMIT ?")
                           .arg(QLatin1String(tableNames[t]))))
        return std::nullopt;
    // The gaps between the ranges covered, from the top down.
    qint64 gapHigh = INT_MAX;
    for (auto range = covered.rbegin();; ++range) {
        const qint64 gapLow = range == covered.rend() ? 1 : qint64(range->second) + 1;
        if (gapLow <= gapHigh) {
            query.addBindValue(gapLow);
            query.addBindValue(gapHigh);
            query.addBindValue(maxSpots);
            if (!query.exec())
                return std::nullopt;
            // The whole gap, unless it holds more than the batch.
            Batch batch{table, int(gapLow), 0, {}};
            while (query.next()) {
                const int id = query.value(0).toInt();
                batch.spots.append({listId(table, id), query.value(1).toByteArray()});
                if (batch.highId == 0)
                    batch.highId = id;
                if (batch.spots.size() == maxSpots)
                    batch.lowId = id;
            }
            if (!batch.spots.isEmpty()) {
                addRange(handedOut[t], batch.lowId, batch.highId);
                return batch;
            }
        }
        if (range == covered.rend())
            break;
        gapHigh = qint64(range->first) - 1;
    }
    return std::nullopt;
}

bool SpotDetailsStore::storeBatch(const Batch &batch, const QHash<int, SpotDetails> &found)
{
    DetailsWriter writer;
    const std::atomic<bool> never{false};
    if (!isOpen() || !writer.open(path, spotsPath(), QString()) || !writer.write({{batch, found, {}}}, never)) {
        giveBack(batch);
        return false;
    }
    markStored(batch);
    return true;
}

void SpotDetailsStore::markStored(const Batch &batch)
{
    const int t = tableIndex(batch.table);
    removeRange(handedOut[t], batch.lowId, batch.highId);
    addRange(asked[t], batch.lowId, batch.highId);
}

void SpotDetailsStore::giveBack(const Batch &batch)
{
    removeRange(handedOut[tableIndex(batch.table)], batch.lowId, batch.highId);
}

SpotDetailsStore::Progress SpotDetailsStore::progress() const
{
    QSqlQuery query(database());
    if (!isOpen()
        || !run(query,
                QStringLiteral("SELECT (SELECT count(*) FROM details),(SELECT count(*) FROM spotdb.spots)"
                               "+(SELECT count(*) FROM spotdb.erospots)"))
        || !query.next())
        return {};
    const qint64 total = query.value(1).toLongLong();
    return {std::min(query.value(0).toLongLong(), total), total};
}

bool SpotDetailsStore::clear()
{
    for (int t = 0; t < 2; ++t) {
        asked[t].clear();
        handedOut[t].clear();
    }
    if (!isOpen())
        return false;
    SqlTransaction transaction(database());
    QSqlQuery query(database());
    return transaction.isActive() && run(query, QStringLiteral("DELETE FROM details"))
        && run(query, QStringLiteral("DELETE FROM asked")) && transaction.commit();
}

std::optional<SpotDetails> SpotDetailsStore::details(int spotId) const
{
    QSqlQuery query(database());
    if (!isOpen()
        || !run(
            query,
            QStringLiteral("SELECT size,image,website,newsgroup,segments,files FROM details WHERE spot=? AND found"),
            {spotId})
        || !query.next())
        return std::nullopt;
    SpotDetails details;
    details.size = query.value(0).toLongLong();
    details.image = query.value(1).toString();
    details.website = query.value(2).toString();
    details.newsgroup = query.value(3).toString();
    details.segments = query.value(4).toInt();
    details.files = query.value(5).toInt();
    return details;
}
