#include "sqlitestatement.h"

#include <QDebug>
#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

#include <utility>

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

bool sameSqliteLibrary(const QSqlDatabase &db)
{
    if (!sqliteHandle(db)) {
        qDebug() << "De SQLite-driver van Qt geeft geen sqlite3-handle:" << db.driver()->handle().typeName();
        return false;
    }
    // A Qt with SQLite built in runs its own copy, whose version is the one SQL reports.
    QSqlQuery query(db);
    const QString qtVersion
        = query.exec(QStringLiteral("SELECT sqlite_version()")) && query.next() ? query.value(0).toString() : QString();
    const QLatin1StringView ownVersion(sqlite3_libversion());
    if (qtVersion != ownVersion) {
        qDebug() << "SQLite van Qt en van het programma verschillen:" << qtVersion << ownVersion;
        return false;
    }
    return true;
}

SqliteStatement::SqliteStatement(const QSqlDatabase &db, const QByteArray &sql)
    : SqliteStatement(sqliteHandle(db), sql)
{
}

SqliteStatement::SqliteStatement(sqlite3 *handle, const QByteArray &sql)
{
    if (handle)
        sqlite3_prepare_v3(handle, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : statement(std::exchange(other.statement, nullptr))
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    std::swap(statement, other.statement);
    return *this;
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(statement);
}

bool SqliteStatement::isPrepared() const
{
    return statement != nullptr;
}

// SQLite does not take a null statement everywhere (sqlite3_clear_bindings dereferences it):
// every member checks.
void SqliteStatement::bind(int parameter, qint64 value)
{
    if (statement)
        sqlite3_bind_int64(statement, parameter, value);
}

void SqliteStatement::bind(int parameter, const QByteArray &value)
{
    if (!statement)
        return;
    if (value.isNull())
        sqlite3_bind_null(statement, parameter);
    else
        sqlite3_bind_blob(statement, parameter, value.constData(), int(value.size()), SQLITE_STATIC);
}

void SqliteStatement::bind(int parameter, const QVariant &value)
{
    if (!statement)
        return;
    if (value.metaType() == QMetaType::fromType<QByteArray>()) {
        bind(parameter, *static_cast<const QByteArray *>(value.constData()));
    } else if (value.metaType() == QMetaType::fromType<QString>()) {
        const auto *text = static_cast<const QString *>(value.constData());
        if (text->isNull())
            sqlite3_bind_null(statement, parameter);
        else
            sqlite3_bind_text16(statement, parameter, text->utf16(), int(text->size() * 2), SQLITE_STATIC);
    } else if (value.isNull()) {
        sqlite3_bind_null(statement, parameter);
    } else {
        bind(parameter, value.toLongLong());
    }
}

SqliteStatement::Result SqliteStatement::run()
{
    const Result result = step();
    finish();
    return result;
}

SqliteStatement::Result SqliteStatement::step()
{
    if (!statement)
        return Result::Failed;
    const int result = sqlite3_step(statement);
    return result == SQLITE_ROW ? Result::Row : result == SQLITE_DONE ? Result::Done : Result::Failed;
}

void SqliteStatement::finish()
{
    // A statement left on a row would keep the database from being compacted, and the
    // values were bound without a copy: none may outlive the run.
    if (!statement)
        return;
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

qint64 SqliteStatement::integer(int column) const
{
    if (!statement)
        return 0;
    return sqlite3_column_int64(statement, column);
}

bool SqliteStatement::isText(int column) const
{
    if (!statement)
        return false;
    return sqlite3_column_type(statement, column) == SQLITE_TEXT;
}

bool SqliteStatement::isNull(int column) const
{
    return !statement || sqlite3_column_type(statement, column) == SQLITE_NULL;
}

QByteArrayView SqliteStatement::bytes(int column) const
{
    if (!statement)
        return {};
    // The pointer first, then the size: that is the order SQLite asks for.
    const auto *data = static_cast<const char *>(sqlite3_column_blob(statement, column));
    return QByteArrayView(data, sqlite3_column_bytes(statement, column));
}
