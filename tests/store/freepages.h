#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// Fills a table with large rows and deletes them again: the file keeps the pages as free
// pages until it is compacted.
inline void leaveFreePages(const QSqlDatabase &db, const QString &table, const QString &column)
{
    QSqlQuery query(db);
    for (int row = 0; row < 32; ++row)
        query.exec(QStringLiteral("INSERT INTO %1(%2) VALUES (zeroblob(8000))").arg(table, column));
    query.exec(QStringLiteral("DELETE FROM %1").arg(table));
}

inline int freePages(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA freelist_count")) || !query.next())
        return -1;
    return query.value(0).toInt();
}
