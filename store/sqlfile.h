#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What every database file of the data directory does with its connection: create its
// tables, run plain statements, and write its log into the file.
namespace SqlFile {

// False when the statement failed.
bool execute(const QSqlDatabase &db, const QString &sql);
// Stops at the first statement that fails: false then.
bool executeAll(const QSqlDatabase &db, const QStringList &statements);
// All statements or none: a kill half-way must not leave a table without its indexes.
bool createTable(const QSqlDatabase &db, const QStringList &schema);
// True for any schema object of that name, also an index.
bool tableExists(const QSqlDatabase &db, const QString &name);
// Writes the transactions committed to the database's write-ahead log into the file itself
// and empties the log, so that they no longer depend on a log that a damaged disk or a
// careless copy may lose or cut short. Never waits for another connection: a log that a
// reader still uses is copied but not emptied. False when not all of it could be copied
// (a reader began before the last commit, or a write failed): the log still holds them.
bool checkpoint(const QSqlDatabase &db);

} // namespace SqlFile
