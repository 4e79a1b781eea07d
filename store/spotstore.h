#pragma once

#include "sqlconnection.h"
#include "sqlitestatement.h"
#include "zlibstream.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <optional>

// Erotic spots (category 9) live apart from all others.
enum class SpotTable { Spots, EroticSpots };

enum class DuplicateCheck { Unique, Duplicate, Failed };

enum class InsertResult {
    Inserted, // the row is stored (within the open transaction, if any)
    Unavailable, // the statement could not be prepared (a table is missing): nothing was written
    Failed, // the write itself failed (disk full, I/O error): the open transaction may be gone
};

// One row of spots or erospots as it is bound for insertion. Byte strings are stored
// as BLOB, text as TEXT; title and tag are either, as the header they came from decides.
// A null QString is stored as NULL: an empty text must be a non-null empty QString.
struct SpotRecord
{
    int cat = 0;
    int subcat = 0;
    qint64 spotDate = 0;
    QVariant title;
    QByteArray spotter;
    QVariant tag;
    QByteArray msgid;
    QByteArray othercats;
};

// The three database files of the data directory: spots.db (spots, erospots), cache.db
// (fetched articles) and reactielijst.db (comment index). Owns their connections "spots",
// "cache" and "commentlist" and the statements that are re-run for every spot header.
// Only one store may exist at a time: the connection names are fixed.
class SpotStore
{
    Q_DECLARE_TR_FUNCTIONS(SpotStore)

public:
    // Creates the directory and files as needed, the tables, and migrates older files.
    // Throws DatabaseSetupError when the directory or a file cannot be made or opened, when
    // a table cannot be created or an older file cannot be migrated (the file is left as it
    // was), or when Qt's SQLite is not the library the statements of this program run on.
    SpotStore();

    QSqlDatabase spotsDatabase() const;
    QSqlDatabase cacheDatabase() const;
    QSqlDatabase commentIndexDatabase() const;

    // Where the files are: the program's data directory (made by the constructor).
    static QString dataDirectory();
    // True for any schema object of that name, also an index.
    static bool tableExists(const QSqlDatabase &db, const QString &name);
    // Writes the transactions committed to the database's write-ahead log into the file itself
    // and empties the log, so that they no longer depend on a log that a damaged disk or a
    // careless copy may lose or cut short. Never waits for another connection: a log that a
    // reader still uses is copied but not emptied. False when not all of it could be copied
    // (a reader began before the last commit, or a write failed): the log still holds them.
    static bool checkpoint(const QSqlDatabase &db);

    // Compacts the three files. Callers keep it away from an open download transaction.
    void optimize();
    // Empties every table and compacts the files.
    void deleteAll();
    // Empties the comment index and drops the comments cached under their article number.
    void clearCommentIndex();

    // The comment article numbers indexed for a spot key; empty without a row.
    QList<quint32> commentNumbers(const QString &spotKey);

    // Whether the table already has a spot of that date whose title, as text, matches the
    // given title as a LIKE pattern (ASCII case ignored; "%" and "_" are wildcards). Bind the
    // title as the insert binds it: text or bytes.
    DuplicateCheck checkDuplicate(SpotTable table, qint64 spotDate, const QVariant &title);
    InsertResult insertSpot(SpotTable table, const SpotRecord &spot);
    // Removes the spots of both tables posted before that time.
    void expireSpotsBefore(qint64 spotDate);
    // Rows in spots and erospots together.
    qint64 spotCount() const;

    // Replaces the stored number lists of these spots, in one transaction: all or none.
    // False when a write failed or the transaction could not be committed.
    bool writeCommentIndex(const QMap<QString, QList<quint32>> &numbersBySpot);

    // Keeps a fetched article compressed. An id already stored keeps its first article,
    // unless that one no longer inflates within the default bound: then it is replaced.
    void storeArticle(const QByteArray &id, const QByteArray &article);
    // The stored article, or nullopt when there is none or it does not inflate within the bound.
    std::optional<QByteArray> cachedArticle(const QByteArray &id,
                                            qsizetype sizeLimit = ZlibStream::defaultOutputLimit) const;

    Q_DISABLE_COPY_MOVE(SpotStore)

private:
    struct TableStatements
    {
        SqliteStatement duplicate;
        SqliteStatement insert;
    };

    static QString openDataDirectory();
    void createSchema();
    // False when it failed; the file is then as it was.
    bool createEroticTable();
    void prepareStatements();
    TableStatements &statementsFor(SpotTable table);

    const QString directory;
    // Declared before the statements: a connection goes only after its queries.
    SqlConnection spots;
    SqlConnection cache;
    SqlConnection commentIndex;
    TableStatements spotStatements;
    TableStatements eroticStatements;
    QSqlQuery commentNumbersQuery;
};
