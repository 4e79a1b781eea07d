#include "sqlfile.h"

#include "sqltransaction.h"

#include <QDebug>
#include <QSqlQuery>
#include <QVariant>

namespace SqlFile {

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

bool createTable(const QSqlDatabase &db, const QStringList &schema)
{
    SqlTransaction transaction(db);
    return transaction.isActive() && executeAll(db, schema) && transaction.commit();
}

bool tableExists(const QSqlDatabase &db, const QString &name)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE name=?"));
    query.addBindValue(name);
    return query.exec() && query.next();
}

bool checkpoint(const QSqlDatabase &db)
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

} // namespace SqlFile
