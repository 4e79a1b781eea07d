#include "userstore.h"

#include "databasesetuperror.h"
#include "fileaside.h"
#include "sqltransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>

namespace {

const QStringList schema = {
    QStringLiteral("CREATE TABLE filters(id INTEGER PRIMARY KEY AUTOINCREMENT,position INTEGER NOT NULL,name TEXT,"
                   "search TEXT,categories TEXT,maxagedays INTEGER,leftoutspotters TEXT,notify INTEGER,"
                   "seenspotid INTEGER,announced INTEGER NOT NULL DEFAULT 0)"),
    QStringLiteral("CREATE TABLE hiddenspotters(name TEXT PRIMARY KEY)"),
    QStringLiteral("CREATE TABLE marks(msgid BLOB PRIMARY KEY,cat INTEGER,subcat INTEGER,spotdate INTEGER,"
                   "title TEXT,spotter TEXT,erotic INTEGER,markedat INTEGER)"),
    QStringLiteral("PRAGMA user_version=1"),
};

// The steps from one schema version to the next: step n brings version n to n + 1. A new
// file is made at version 1 and takes every step.
const QList<QStringList> migrations = {
    // 1 -> 2: a saved filter's bounds of the spot's size, in MB (NULL: none).
    {QStringLiteral("ALTER TABLE filters ADD COLUMN minsizemb INTEGER"),
     QStringLiteral("ALTER TABLE filters ADD COLUMN maxsizemb INTEGER"), QStringLiteral("PRAGMA user_version=2")},
};

// What the user edits of a filter; what it has seen and announced is written by the count alone.
const QString editedColumns
    = QStringLiteral("name,search,categories,maxagedays,leftoutspotters,notify,minsizemb,maxsizemb");
const QString filterColumns = editedColumns + QLatin1String(",seenspotid,announced");
// "name=?,search=?,…": every column of editedColumns, for an update.
const QString editedAssignments
    = editedColumns.split(QLatin1Char(',')).join(QLatin1String("=?,")) + QLatin1String("=?");

// Runs one statement with the values bound in order.
bool run(QSqlQuery &query, const QString &sql, const QVariantList &values = {})
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

QString toJson(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonArray fromJson(const QVariant &value)
{
    return QJsonDocument::fromJson(value.toString().toUtf8()).array();
}

QVariant optionalValue(const std::optional<qint64> &value)
{
    return value ? QVariant(*value) : QVariant();
}

// The values of editedColumns, in that order.
QVariantList editedValues(const SavedFilter &filter)
{
    QJsonArray categories;
    for (const int code : filter.categories)
        categories.append(code);
    return {filter.name,
            filter.search,
            toJson(categories),
            filter.maxAgeDays,
            toJson(QJsonArray::fromStringList(filter.leftOutSpotters)),
            filter.notify,
            filter.minSizeMb > 0 ? QVariant(filter.minSizeMb) : QVariant(),
            filter.maxSizeMb > 0 ? QVariant(filter.maxSizeMb) : QVariant()};
}

// The values of filterColumns, in that order.
QVariantList filterValues(const SavedFilter &filter)
{
    return editedValues(filter) << optionalValue(filter.seenSpotId) << filter.announcedCount;
}

// A row of "SELECT id," + filterColumns.
SavedFilter filterFrom(const QSqlQuery &query)
{
    SavedFilter filter;
    filter.id = query.value(0).toLongLong();
    filter.name = query.value(1).toString();
    filter.search = query.value(2).toString();
    for (const QJsonValue &code : fromJson(query.value(3)))
        filter.categories << code.toInt();
    filter.maxAgeDays = query.value(4).toInt();
    for (const QJsonValue &name : fromJson(query.value(5)))
        filter.leftOutSpotters << name.toString();
    filter.notify = query.value(6).toBool();
    filter.minSizeMb = std::max<qint64>(query.value(7).toLongLong(), 0);
    filter.maxSizeMb = std::max<qint64>(query.value(8).toLongLong(), 0);
    if (!query.value(9).isNull())
        filter.seenSpotId = query.value(9).toLongLong();
    filter.announcedCount = query.value(10).toInt();
    return filter;
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

std::atomic<quint64> connectionCount{0};

// Runs the statements of one write in a transaction that is committed only when they all
// return true. False without an open file.
bool write(const QSqlDatabase &db, const std::function<bool(QSqlQuery &)> &statements)
{
    if (!db.isOpen())
        return false;
    SqlTransaction transaction(db);
    QSqlQuery query(db);
    return transaction.isActive() && statements(query) && transaction.commit();
}

// The executed query, or nullopt without an open file or when the statement failed.
std::optional<QSqlQuery> select(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    if (!db.isOpen())
        return std::nullopt;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query, sql, values))
        return std::nullopt;
    return query;
}

} // namespace

QString UserStore::fileName()
{
    return QStringLiteral("gebruiker.db");
}

UserStore::UserStore()
    : connectionName(QStringLiteral("user-%1").arg(++connectionCount))
{
}

UserStore::~UserStore() = default;

bool UserStore::open(const QString &dataDirectory)
{
    connection.reset();
    message.clear();
    const QString path = dataDirectory + QLatin1Char('/') + fileName();
    const QString noFile = tr("Opgeslagen filters, verborgen spotters en bewaarde spots zijn niet beschikbaar.");
    if (!QDir().mkpath(dataDirectory)) {
        message = tr("De map %1 kan niet worden gemaakt.").arg(nativePath(dataDirectory)) + QLatin1Char(' ') + noFile;
        return false;
    }
    const FileState state = openFile(path);
    if (state == FileState::Ready)
        return true;
    connection.reset();
    if (!QFileInfo::exists(path)) {
        message
            = tr("Het gebruikersbestand %1 kan niet worden gemaakt.").arg(nativePath(path)) + QLatin1Char(' ') + noFile;
        return false;
    }
    const bool newer = state == FileState::Newer;
    QString asidePath;
    if (!setFileAside(path, newer ? QStringLiteral("nieuwere-versie") : QStringLiteral("beschadigd"), &asidePath)) {
        message = tr("Het gebruikersbestand %1 kan niet worden geopend en ook niet apart worden gezet.")
                      .arg(nativePath(path))
            + QLatin1Char(' ') + noFile;
        return false;
    }
    message = (newer ? tr("Het gebruikersbestand %1 is gemaakt door een nieuwere versie van het programma.")
                     : tr("Het gebruikersbestand %1 is beschadigd of kan niet worden gelezen."))
                  .arg(nativePath(path))
        + QLatin1Char(' ')
        + tr("Het is bewaard als %1 en er is een nieuw gebruikersbestand gemaakt: de opgeslagen filters, "
             "verborgen spotters en bewaarde spots uit het oude bestand zijn niet geladen.")
              .arg(nativePath(asidePath));
    if (openFile(path) == FileState::Ready)
        return true;
    connection.reset();
    message += QLatin1Char(' ') + tr("Ook het nieuwe bestand kan niet worden gemaakt.") + QLatin1Char(' ') + noFile;
    return false;
}

UserStore::FileState UserStore::openFile(const QString &path)
{
    try {
        // Opening also sets the journal mode, which is where a file that is no database shows.
        connection.emplace(connectionName, path, QString());
    } catch (const DatabaseSetupError &) {
        return FileState::Damaged;
    }
    return prepareSchema();
}

UserStore::FileState UserStore::prepareSchema()
{
    QSqlQuery query(database());
    // The file is small: reading all of it finds a damaged page now instead of at some write.
    if (!run(query, QStringLiteral("PRAGMA quick_check")) || !query.next()
        || query.value(0).toString() != QLatin1String("ok"))
        return FileState::Damaged;
    if (!run(query, QStringLiteral("PRAGMA user_version")) || !query.next())
        return FileState::Damaged;
    const int version = query.value(0).toInt();
    if (version > schemaVersion)
        return FileState::Newer;
    if (version == schemaVersion)
        return FileState::Ready;
    const auto runAll = [](const QStringList &statements) {
        return [&statements](QSqlQuery &statement) {
            return std::all_of(statements.cbegin(), statements.cend(),
                               [&](const QString &sql) { return run(statement, sql); });
        };
    };
    if (version == 0) {
        // Version 0 is a new, empty file; one with tables in it belongs to another program.
        if (!run(query, QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()
            || query.value(0).toInt() != 0)
            return FileState::Damaged;
        query.finish();
        if (!write(database(), runAll(schema)))
            return FileState::Damaged;
    }
    query.finish();
    // Each step in a transaction of its own: a file stays at the last version it reached.
    for (int step = std::max(version, 1); step < schemaVersion; ++step) {
        if (!write(database(), runAll(migrations.at(step - 1))))
            return FileState::Damaged;
    }
    return FileState::Ready;
}

bool UserStore::isOpen() const
{
    return connection.has_value();
}

QString UserStore::openMessage() const
{
    return message;
}

QSqlDatabase UserStore::database() const
{
    return connection ? connection->database() : QSqlDatabase();
}

QList<SavedFilter> UserStore::filters() const
{
    QList<SavedFilter> filters;
    auto query
        = select(database(), QStringLiteral("SELECT id,%1 FROM filters ORDER BY position,id").arg(filterColumns));
    while (query && query->next())
        filters << filterFrom(*query);
    return filters;
}

qint64 UserStore::addFilter(const SavedFilter &filter)
{
    qint64 id = 0;
    const bool added = write(database(), [&](QSqlQuery &query) {
        if (!run(query,
                 QStringLiteral("INSERT INTO filters(position,%1) VALUES "
                                "((SELECT coalesce(max(position)+1,0) FROM filters),?,?,?,?,?,?,?,?,?,?)")
                     .arg(filterColumns),
                 filterValues(filter)))
            return false;
        id = query.lastInsertId().toLongLong();
        return true;
    });
    return added ? id : 0;
}

bool UserStore::updateFilter(const SavedFilter &filter)
{
    return write(database(), [&](QSqlQuery &query) {
        return run(query, QStringLiteral("UPDATE filters SET %1 WHERE id=?").arg(editedAssignments),
                   editedValues(filter) << filter.id)
            && query.numRowsAffected() == 1;
    });
}

bool UserStore::removeFilter(qint64 id)
{
    return write(database(), [&](QSqlQuery &query) {
        return run(query, QStringLiteral("DELETE FROM filters WHERE id=?"), {id}) && query.numRowsAffected() == 1;
    });
}

bool UserStore::moveFilter(qint64 id, int newPosition)
{
    return write(database(), [&](QSqlQuery &query) {
        if (!run(query, QStringLiteral("SELECT id FROM filters ORDER BY position,id")))
            return false;
        QList<qint64> order;
        while (query.next())
            order << query.value(0).toLongLong();
        const qsizetype from = order.indexOf(id);
        if (from < 0 || newPosition < 0 || newPosition >= order.size())
            return false;
        order.move(from, newPosition);
        for (qsizetype position = 0; position < order.size(); ++position) {
            if (!run(query, QStringLiteral("UPDATE filters SET position=? WHERE id=?"),
                     {qint64(position), order.at(position)}))
                return false;
        }
        return true;
    });
}

bool UserStore::markSeen(qint64 filterId, qint64 spotId)
{
    return write(database(), [&](QSqlQuery &query) {
        return run(query, QStringLiteral("UPDATE filters SET seenspotid=?,announced=0 WHERE id=?"), {spotId, filterId})
            && query.numRowsAffected() == 1;
    });
}

bool UserStore::resetSeen()
{
    return write(database(), [](QSqlQuery &query) {
        return run(query, QStringLiteral("UPDATE filters SET seenspotid=NULL,announced=0"));
    });
}

bool UserStore::setAnnounced(const QList<QPair<qint64, int>> &counts)
{
    return write(database(), [&](QSqlQuery &query) {
        for (const auto &[filterId, count] : counts) {
            if (!run(query, QStringLiteral("UPDATE filters SET announced=? WHERE id=?"), {count, filterId}))
                return false;
        }
        return true;
    });
}

QStringList UserStore::hiddenSpotters() const
{
    QStringList names;
    auto query = select(database(), QStringLiteral("SELECT name FROM hiddenspotters ORDER BY name"));
    while (query && query->next())
        names << query->value(0).toString();
    std::stable_sort(names.begin(), names.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

bool UserStore::hideSpotter(const QString &name)
{
    return write(database(), [&](QSqlQuery &query) {
        return run(query, QStringLiteral("INSERT OR IGNORE INTO hiddenspotters(name) VALUES (?)"), {name});
    });
}

bool UserStore::showSpotter(const QString &name)
{
    return write(database(), [&](QSqlQuery &query) {
        return run(query, QStringLiteral("DELETE FROM hiddenspotters WHERE name=?"), {name});
    });
}

QList<MarkedSpot> UserStore::marks() const
{
    QList<MarkedSpot> spots;
    auto query = select(database(),
                        QStringLiteral("SELECT msgid,cat,subcat,spotdate,title,spotter,erotic,markedat FROM marks "
                                       "ORDER BY markedat DESC,rowid DESC"));
    while (query && query->next()) {
        const SpotRow spot{query->value(0).toByteArray(), query->value(1).toInt(),    query->value(2).toInt(),
                           query->value(3).toLongLong(),  query->value(4).toString(), query->value(5).toString(),
                           query->value(6).toBool()};
        spots << MarkedSpot{spot, query->value(7).toLongLong()};
    }
    return spots;
}

bool UserStore::mark(const MarkedSpot &marked)
{
    const SpotRow &spot = marked.spot;
    return write(database(), [&](QSqlQuery &query) {
        return run(query,
                   QStringLiteral("INSERT OR REPLACE INTO marks(msgid,cat,subcat,spotdate,title,spotter,erotic,"
                                  "markedat) VALUES (?,?,?,?,?,?,?,?)"),
                   {spot.messageId, spot.category, spot.subcategory, spot.spotDate, spot.title, spot.spotter,
                    spot.erotic, marked.markedAt});
    });
}

bool UserStore::unmark(const QByteArray &messageId)
{
    return write(database(), [&](QSqlQuery &query) {
        return run(query, QStringLiteral("DELETE FROM marks WHERE msgid=?"), {messageId});
    });
}
