#include "spotsfile.h"

#include "categoryscheme.h"
#include "databasesetuperror.h"
#include "sqlfile.h"
#include "sqltransaction.h"

#include <QSqlQuery>
#include <QSqlRecord>
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

} // namespace

SpotsFile::SpotsFile(const QString &directory)
    : connection(QStringLiteral("spots"), directory + QLatin1String("/spots.db"), tr("Fout bij openen spots database"))
{
    // The statements run per header use Qt's handle with this program's SQLite.
    if (!sameSqliteLibrary(database()))
        throw DatabaseSetupError(tr("Fout bij openen spots database"));
    createSchema();
    for (const SpotTable table : spotTables) {
        statementsFor(table)
            = {SqliteStatement(database(), duplicateSql(table)), SqliteStatement(database(), insertSql(table))};
    }
}

// A file that cannot be given this schema is not used at all: the download would fetch its
// spots into tables that cannot take them, and save the position as if they were stored.
void SpotsFile::createSchema()
{
    const QString failure = tr("Fout bij openen spots database");
    if (!SqlFile::tableExists(database(), tableName(SpotTable::Spots))
        && !SqlFile::createTable(database(), spotTableSchema(SpotTable::Spots)))
        throw DatabaseSetupError(failure);
    if (!SqlFile::tableExists(database(), tableName(SpotTable::EroticSpots)) && !createEroticTable())
        throw DatabaseSetupError(failure);
}

// One transaction: the erotic rows are deleted from spots only once their copies are
// stored, and a failure leaves the file as it was.
bool SpotsFile::createEroticTable()
{
    const QSqlDatabase db = database();
    SqlTransaction transaction(db);
    if (!transaction.isActive() || !SqlFile::executeAll(db, spotTableSchema(SpotTable::EroticSpots)))
        return false;
    const bool hasOtherCats = db.record(QStringLiteral("spots")).contains(QStringLiteral("othercats"));
    if (!hasOtherCats && !SqlFile::execute(db, QStringLiteral("ALTER TABLE spots ADD COLUMN othercats VARCHAR(255)")))
        return false;
    return SqlFile::executeAll(db, eroticMigration) && transaction.commit();
}

QSqlDatabase SpotsFile::database() const
{
    return connection.database();
}

SpotsFile::TableStatements &SpotsFile::statementsFor(SpotTable table)
{
    return table == SpotTable::EroticSpots ? eroticStatements : spotStatements;
}

DuplicateCheck SpotsFile::checkDuplicate(SpotTable table, qint64 spotDate, const QVariant &title)
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

InsertResult SpotsFile::insertSpot(SpotTable table, const SpotRecord &spot)
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

void SpotsFile::expireSpotsBefore(qint64 spotDate)
{
    for (const SpotTable table : spotTables) {
        QSqlQuery query(database());
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE spotdate<?").arg(tableName(table)));
        query.addBindValue(spotDate);
        query.exec();
    }
}

qint64 SpotsFile::spotCount() const
{
    qint64 total = 0;
    for (const SpotTable table : spotTables) {
        QSqlQuery query(database());
        if (query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(tableName(table))) && query.next())
            total += query.value(0).toLongLong();
    }
    return total;
}

void SpotsFile::deleteAll()
{
    SqlTransaction transaction(database());
    QStringList deletions;
    for (const SpotTable table : spotTables)
        deletions << QStringLiteral("DELETE FROM %1").arg(tableName(table));
    if (SqlFile::executeAll(database(), deletions))
        transaction.commit();
}
