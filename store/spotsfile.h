#pragma once

#include "sqlconnection.h"
#include "sqlitestatement.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QVariant>

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

// spots.db: the tables spots and erospots, on the connection "spots", with the statements
// that are re-run for every spot header.
class SpotsFile
{
    Q_DECLARE_TR_FUNCTIONS(SpotsFile)

public:
    // Opens or creates the file in that directory with its tables, and migrates an older
    // file. Throws DatabaseSetupError when the file cannot be opened, a table cannot be
    // created or the file cannot be migrated (it is left as it was), or when Qt's SQLite is
    // not the library the statements of this program run on.
    explicit SpotsFile(const QString &directory);

    QSqlDatabase database() const;

    // Whether the table already has a spot of that date whose title, as text, matches the
    // given title as a LIKE pattern (ASCII case ignored; "%" and "_" are wildcards). Bind the
    // title as the insert binds it: text or bytes.
    DuplicateCheck checkDuplicate(SpotTable table, qint64 spotDate, const QVariant &title);
    InsertResult insertSpot(SpotTable table, const SpotRecord &spot);
    // Removes the spots of both tables posted before that time.
    void expireSpotsBefore(qint64 spotDate);
    // Rows in spots and erospots together.
    qint64 spotCount() const;
    // Empties both tables, in one transaction.
    void deleteAll();

    Q_DISABLE_COPY_MOVE(SpotsFile)

private:
    struct TableStatements
    {
        SqliteStatement duplicate;
        SqliteStatement insert;
    };

    void createSchema();
    // False when it failed; the file is then as it was.
    bool createEroticTable();
    TableStatements &statementsFor(SpotTable table);

    // Declared before the statements: a connection goes only after its queries.
    SqlConnection connection;
    TableStatements spotStatements;
    TableStatements eroticStatements;
};
