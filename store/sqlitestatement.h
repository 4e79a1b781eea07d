#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// A statement prepared once on the SQLite handle of a connection and run without QtSql, for
// the statements that run for every downloaded header: QtSql rebuilds its result description
// and copies every bound value on each execution, which costs more than the statement itself.
// Values are bound as the QSQLITE driver binds them (bytes as BLOB, text as TEXT, null as
// NULL), so a row reads the same whichever way it was written. It runs inside whatever
// transaction the connection has open, and must be destroyed before the connection closes.
class SqliteStatement
{
public:
    enum class Result { Row, Done, Failed };

    SqliteStatement() = default;
    // A failed prepare leaves a statement whose run() and step() fail and whose other
    // members do nothing.
    SqliteStatement(const QSqlDatabase &db, const QByteArray &sql);
    // On a connection of this program's own (another thread's, say).
    SqliteStatement(sqlite3 *handle, const QByteArray &sql);
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    ~SqliteStatement();
    Q_DISABLE_COPY(SqliteStatement)

    bool isPrepared() const;

    // Parameters count from 1. The values must stay alive until run() returns.
    void bind(int parameter, qint64 value);
    void bind(int parameter, const QByteArray &value);
    void bind(int parameter, const QVariant &value);

    // Runs up to the first row or the end, then resets and forgets the bound values.
    Result run();

    // Reading every row: step() until it gives Done or Failed, reading the columns of each
    // Row in between, then finish(), which resets and forgets the bound values.
    Result step();
    void finish();
    qint64 integer(int column) const;
    bool isText(int column) const;
    bool isNull(int column) const;
    // Text (UTF-8) or blob bytes, valid until the next step().
    QByteArrayView bytes(int column) const;

private:
    sqlite3_stmt *statement = nullptr;
};

// The SQLite handle under a QSQLITE connection; null for any other driver.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

// Whether Qt's QSQLITE driver runs on the SQLite library this program links: only then may
// a SqliteStatement use the driver's handle. Says why not on the debug output.
bool sameSqliteLibrary(const QSqlDatabase &db);
