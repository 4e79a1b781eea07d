#include "spotstore.h"

#include "categoryscheme.h"
#include "commentnumberlist.h"
#include "databasesetuperror.h"
#include "sqltransaction.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QStringList>

namespace {

// spots and erospots share one layout; the indexes of erospots carry an "e" in front.
constexpr SpotTable spotTables[] = {SpotTable::Spots, SpotTable::EroticSpots};

QLatin1StringView tableName(SpotTable table)
{
    return table == SpotTable::EroticSpots ? QLatin1StringView("erospots") : QLatin1StringView("spots");
}

QStringList spotTableSchema(SpotTable table)
{
    const QString name = tableName(table);
    const QString indexPrefix = table == SpotTable::EroticSpots ? QStringLiteral("e") : QString();
    return {
        QStringLiteral(
            "CREATE TABLE %1(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,spotdate INT,"
            "title VARCHAR(255),spotter VARCHAR(255),tag VARCHAR(255),othercats VARCHAR(255),msgid VARCHAR(255) )")
            .arg(name),
        QStringLiteral("CREATE INDEX %2catidx ON %1(cat)").arg(name, indexPrefix),
        QStringLiteral("CREATE INDEX %2subcatidx ON %1(subcat)").arg(name, indexPrefix),
        QStringLiteral("CREATE INDEX %2tagidx ON %1(tag)").arg(name, indexPrefix),
        QStringLiteral("CREATE INDEX %2dateidx ON %1(spotdate)").arg(name, indexPrefix),
    };
}

const QStringList cacheSchema = {
    QStringLiteral("CREATE TABLE cache(id VARCHAR(255) PRIMARY KEY,dateadded INT,data BLOB )"),
    QStringLiteral("CREATE INDEX dateidx ON cache(dateadded)"),
};

const QStringList commentIndexSchema = {
    QStringLiteral("CREATE TABLE msgnrs(post VARCHAR(255) PRIMARY KEY,nrs BLOB)"),
};

// Files written before erotica had a table of their own keep them in spots.
const QStringList eroticMigration = {
    QStringLiteral("INSERT INTO erospots(id,cat,subcat,spotdate,title,spotter,tag,msgid) "
                   "SELECT id,cat,subcat,spotdate,title,spotter,tag,msgid FROM spots WHERE cat=%1 ORDER BY id")
        .arg(CategoryScheme::erotic),
    QStringLiteral("DELETE FROM spots WHERE cat=%1").arg(CategoryScheme::erotic),
};

// Titles are mostly stored as BLOB, which LIKE never matches in this SQLite build: both sides
// are compared as text. The cast of the parameter also keeps SQLite from preparing the
// statement again for every new pattern.
QByteArray duplicateSql(SpotTable table)
{
    return "SELECT cat FROM " + QByteArray(tableName(table).latin1())
        + " WHERE spotdate=? AND CAST(title AS TEXT) LIKE CAST(? AS TEXT)";
}

QByteArray insertSql(SpotTable table)
{
    return "INSERT INTO " + QByteArray(tableName(table).latin1())
        + "(cat,subcat,spotdate,title,spotter,tag,msgid,othercats) VALUES (?,?,?,?,?,?,?,?)";
}

const QString commentNumbersSql = QStringLiteral("SELECT nrs FROM msgnrs WHERE post=?");

bool execute(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    return query.exec(sql);
}

bool executeAll(const QSqlDatabase &db, const QStringList &statements)
{
    for (const QString &sql : statements) {
        if (!execute(db, sql))
            return false;
    }
    return true;
}

// All statements or none: a kill half-way must not leave a table without its indexes.
bool createTable(const QSqlDatabase &db, const QStringList &schema)
{
    SqlTransaction transaction(db);
    return transaction.isActive() && executeAll(db, schema) && transaction.commit();
}

QSqlQuery prepared(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(sql);
    return query;
}

} // namespace

SpotStore::SpotStore()
    : directory(openDataDirectory())
    , spots(QStringLiteral("spots"), directory + QLatin1String("/spots.db"), tr("Fout bij openen spots database"))
    , cache(QStringLiteral("cache"), directory + QLatin1String("/cache.db"), tr("Fout bij openen cache database"))
    , commentIndex(QStringLiteral("commentlist"), directory + QLatin1String("/reactielijst.db"),
                   tr("Fout bij openen reactielijst database"))
{
    // The statements run per header use Qt's handle with this program's SQLite.
    if (!sameSqliteLibrary(spotsDatabase()))
        throw DatabaseSetupError(tr("Fout bij openen spots database"));
    createSchema();
    prepareStatements();
}

QString SpotStore::dataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString SpotStore::openDataDirectory()
{
    const QString dir = dataDirectory();
    qDebug() << "Database map:" << dir;
    if (!QDir().mkpath(dir))
        throw DatabaseSetupError(tr("Fout bij aanmaken database map"));
    return dir;
}

// A file that cannot be given this schema is not used at all: the download would fetch its
// spots into tables that cannot take them, and save the position as if they were stored.
void SpotStore::createSchema()
{
    const QString spotsFailure = tr("Fout bij openen spots database");
    if (!tableExists(spotsDatabase(), tableName(SpotTable::Spots))
        && !createTable(spotsDatabase(), spotTableSchema(SpotTable::Spots)))
        throw DatabaseSetupError(spotsFailure);
    if (!tableExists(spotsDatabase(), tableName(SpotTable::EroticSpots)) && !createEroticTable())
        throw DatabaseSetupError(spotsFailure);
    if (!tableExists(cacheDatabase(), QStringLiteral("cache")) && !createTable(cacheDatabase(), cacheSchema))
        throw DatabaseSetupError(tr("Fout bij openen cache database"));
    if (!tableExists(commentIndexDatabase(), QStringLiteral("msgnrs"))
        && !createTable(commentIndexDatabase(), commentIndexSchema))
        throw DatabaseSetupError(tr("Fout bij openen reactielijst database"));
}

// One transaction: the erotic rows are deleted from spots only once their copies are
// stored, and a failure leaves the file as it was.
bool SpotStore::createEroticTable()
{
    const QSqlDatabase db = spotsDatabase();
    SqlTransaction transaction(db);
    if (!transaction.isActive() || !executeAll(db, spotTableSchema(SpotTable::EroticSpots)))
        return false;
    const bool hasOtherCats = db.record(QStringLiteral("spots")).contains(QStringLiteral("othercats"));
    if (!hasOtherCats && !execute(db, QStringLiteral("ALTER TABLE spots ADD COLUMN othercats VARCHAR(255)")))
        return false;
    return executeAll(db, eroticMigration) && transaction.commit();
}

void SpotStore::prepareStatements()
{
    for (const SpotTable table : spotTables) {
        statementsFor(table) = {SqliteStatement(spotsDatabase(), duplicateSql(table)),
                                SqliteStatement(spotsDatabase(), insertSql(table))};
    }
    commentNumbersQuery = prepared(commentIndexDatabase(), commentNumbersSql);
}

QSqlDatabase SpotStore::spotsDatabase() const
{
    return spots.database();
}

QSqlDatabase SpotStore::cacheDatabase() const
{
    return cache.database();
}

QSqlDatabase SpotStore::commentIndexDatabase() const
{
    return commentIndex.database();
}

bool SpotStore::tableExists(const QSqlDatabase &db, const QString &name)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE name=?"));
    query.addBindValue(name);
    return query.exec() && query.next();
}

bool SpotStore::checkpoint(const QSqlDatabase &db)
{
    // Emptying the log waits for every reader of it (the list index is built over a connection
    // of its own) for as long as the busy time-out: the window would stand still. Without
    // waiting, SQLite still copies what no reader needs, which is everything once the readers
    // began after the last commit; only emptying the log is left for another time.
    QSqlQuery query(db);
    const int busyTimeout
        = query.exec(QStringLiteral("PRAGMA busy_timeout")) && query.next() ? query.value(0).toInt() : 0;
    query.exec(QStringLiteral("PRAGMA busy_timeout=0"));
    // One row: whether it was kept from finishing, the frames in the log, the frames copied
    // (-1 when it could not start).
    const bool ran = query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) && query.next();
    const bool copied
        = ran && (query.value(0).toInt() == 0 || (query.value(1).toInt() >= 0 && query.value(1) == query.value(2)));
    query.finish();
    query.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(busyTimeout));
    if (copied)
        return true;
    qDebug() << "Fout bij wegschrijven van het database log";
    return false;
}

void SpotStore::optimize()
{
    for (const QSqlDatabase &db : {spotsDatabase(), cacheDatabase(), commentIndexDatabase()})
        execute(db, QStringLiteral("VACUUM"));
}

void SpotStore::deleteAll()
{
    {
        SqlTransaction transaction(spotsDatabase());
        QStringList deletions;
        for (const SpotTable table : spotTables)
            deletions << QStringLiteral("DELETE FROM %1").arg(tableName(table));
        if (executeAll(spotsDatabase(), deletions))
            transaction.commit();
    }
    execute(cacheDatabase(), QStringLiteral("DELETE FROM cache"));
    clearCommentIndex();
    optimize();
}

void SpotStore::clearCommentIndex()
{
    execute(commentIndexDatabase(), QStringLiteral("DELETE FROM msgnrs"));
    // Comments are cached under their article number, which the new index may give to
    // another article: the group was numbered anew, or the server is another.
    execute(cacheDatabase(),
            QStringLiteral("DELETE FROM cache WHERE length(id)>0 AND CAST(id AS TEXT) NOT GLOB '*[^0-9]*'"));
}

QList<quint32> SpotStore::commentNumbers(const QString &spotKey)
{
    QList<quint32> numbers;
    commentNumbersQuery.bindValue(0, spotKey);
    if (commentNumbersQuery.exec() && commentNumbersQuery.next())
        numbers = CommentNumberList::decode(commentNumbersQuery.value(0).toByteArray());
    // A statement left on its row would keep VACUUM from running.
    commentNumbersQuery.finish();
    return numbers;
}

SpotStore::TableStatements &SpotStore::statementsFor(SpotTable table)
{
    return table == SpotTable::EroticSpots ? eroticStatements : spotStatements;
}

DuplicateCheck SpotStore::checkDuplicate(SpotTable table, qint64 spotDate, const QVariant &title)
{
    SqliteStatement &query = statementsFor(table).duplicate;
    query.bind(1, spotDate);
    query.bind(2, title);
    switch (query.run()) {
    case SqliteStatement::Result::Row:
        return DuplicateCheck::Duplicate;
    case SqliteStatement::Result::Done:
        return DuplicateCheck::Unique;
    case SqliteStatement::Result::Failed:
        break;
    }
    return DuplicateCheck::Failed;
}

InsertResult SpotStore::insertSpot(SpotTable table, const SpotRecord &spot)
{
    SqliteStatement &query = statementsFor(table).insert;
    if (!query.isPrepared())
        return InsertResult::Unavailable;
    query.bind(1, spot.cat);
    query.bind(2, spot.subcat);
    query.bind(3, spot.spotDate);
    query.bind(4, spot.title);
    query.bind(5, spot.spotter);
    query.bind(6, spot.tag);
    query.bind(7, spot.msgid);
    query.bind(8, spot.othercats);
    return query.run() == SqliteStatement::Result::Done ? InsertResult::Inserted : InsertResult::Failed;
}

void SpotStore::expireSpotsBefore(qint64 spotDate)
{
    for (const SpotTable table : spotTables) {
        QSqlQuery query(spotsDatabase());
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE spotdate<?").arg(tableName(table)));
        query.addBindValue(spotDate);
        query.exec();
    }
}

qint64 SpotStore::spotCount() const
{
    qint64 total = 0;
    for (const SpotTable table : spotTables) {
        QSqlQuery query(spotsDatabase());
        if (query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(tableName(table))) && query.next())
            total += query.value(0).toLongLong();
    }
    return total;
}

bool SpotStore::writeCommentIndex(const QMap<QString, QList<quint32>> &numbersBySpot)
{
    SqlTransaction transaction(commentIndexDatabase());
    QSqlQuery query(commentIndexDatabase());
    query.prepare(QStringLiteral("REPLACE INTO msgnrs(post,nrs) VALUES (?,?)"));
    for (auto entry = numbersBySpot.cbegin(); entry != numbersBySpot.cend(); ++entry) {
        query.bindValue(0, entry.key());
        query.bindValue(1, CommentNumberList::encode(entry.value()));
        // After a full disk SQLite may have ended the transaction itself: going on would
        // store the rest outside it.
        if (!query.exec())
            return false;
    }
    return transaction.commit();
}

void SpotStore::storeArticle(const QByteArray &id, const QByteArray &article)
{
    // A row that no longer inflates reads as a miss: were it kept, the article would be
    // fetched again at every request.
    if (cachedArticle(id))
        return;
    const QByteArray compressed = ZlibStream::deflateZlib(article, 6);
    if (compressed.isEmpty())
        return;
    QSqlQuery query(cacheDatabase());
    query.prepare(QStringLiteral("REPLACE INTO cache(id,dateadded,data) VALUES (?,?,?)"));
    query.addBindValue(id);
    query.addBindValue(QDateTime::currentSecsSinceEpoch());
    query.addBindValue(compressed);
    query.exec();
}

std::optional<QByteArray> SpotStore::cachedArticle(const QByteArray &id, qsizetype sizeLimit) const
{
    QSqlQuery query(cacheDatabase());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT data FROM cache WHERE id=?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return ZlibStream::inflateZlib(query.value(0).toByteArray(), sizeLimit);
}
