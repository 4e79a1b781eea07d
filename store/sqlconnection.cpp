#include "sqlconnection.h"

#include "databasesetuperror.h"

#include <QSqlQuery>

namespace {

// A write-ahead log keeps the file whole whatever moment the process dies at, and a big
// download transaction costs one sync at its commit. FULL syncs the log at every commit,
// so a committed range survives a power cut as well as the download position that is
// saved after it.
bool makeDurable(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    // The journal mode reads the file header, so this is also where a file that is no
    // database shows itself. A file system without WAL keeps the rollback journal: safe too.
    return query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        && query.exec(QStringLiteral("PRAGMA synchronous=FULL"));
}

bool open(const QString &name, const QString &fileName)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(fileName);
    return db.open() && makeDurable(db);
}

} // namespace

SqlConnection::SqlConnection(const QString &name, const QString &fileName, const QString &failureText)
    : name(name)
{
    if (!open(name, fileName)) {
        // The destructor does not run for a constructor that throws.
        QSqlDatabase::removeDatabase(name);
        throw DatabaseSetupError(failureText);
    }
}

SqlConnection::~SqlConnection()
{
    database().close();
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase SqlConnection::database() const
{
    return QSqlDatabase::database(name, false);
}
