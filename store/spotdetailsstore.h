#pragma once

#include "spotdetails.h"
#include "spotstore.h"
#include "sqlconnection.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <map>
#include <optional>

// The details of the spots (SpotDetails), read from their HEADs in the background, in a file
// of this program's own beside spots.db: spotdetails.db. It is a cache derived from the spot
// articles: a file that is missing, of another schema version or unreadable is set aside and
// made anew, never a reason not to start.
//
// A row is keyed by the spot id as the list knows it (SpotsModel::SpotIdRole: minus the id for
// an erospot), so the list finds a row's size by its primary key. Spot ids are never used
// again for another spot, except after deleting every spot (clear() then, from the
// controller's deleteAllSpots()) or when spots.db itself was replaced: open() compares the
// newest row of each table with the spot of that id, by message-id, and clears on a mismatch.
//
// What is still to be asked: spots.db is attached (read only by use) to this file's own
// connection, so the spot tables are read here without touching the controller's "spots"
// connection or its transactions. The ids asked and answered are kept as ranges per table
// (the "asked" table): a batch is the newest spots in the highest range not yet asked, and
// its range counts as asked once its answers are stored. Ranges handed out and not yet
// answered are kept in memory only, so a batch lost with the connection or the program is
// asked again (giveBack(), or the next start).
//
// The batches are written by a DetailsWriter, on any thread with connections of its own;
// markStored() then tells the store. Each batch adds a row of its range to the "asked" table;
// open() joins them. Every write is one transaction. Window thread only (the writer aside);
// one store per file at a time.
class SpotDetailsStore
{
public:
    static constexpr int schemaVersion = 1;
    static QString fileName(); // "spotdetails.db"

    // One spot to fetch the HEAD of: its id as the list knows it, and its spot key (the
    // message-id without brackets and "@free.pt", as spots.msgid holds it).
    struct Request
    {
        int spotId = 0;
        QByteArray spotKey;
    };
    // Spots of one table, newest first, and the ids the batch stands for.
    struct Batch
    {
        SpotTable table = SpotTable::Spots;
        int lowId = 0; // as spots.id / erospots.id: positive
        int highId = 0;
        QList<Request> spots;
    };
    struct Progress
    {
        qint64 done = 0; // spots answered (details or none), at most total
        qint64 total = 0; // spots in spots and erospots
    };

    SpotDetailsStore();
    ~SpotDetailsStore();

    // Opens or makes the file in the directory and attaches spots.db of that directory. A
    // file that cannot be used is set aside (suffix "beschadigd" or "andere-versie") and made
    // anew. False only when no file can be used at all: the store then stays closed, every
    // read is empty and every write returns false.
    bool open(const QString &dataDirectory);
    bool isOpen() const;
    QString filePath() const;
    // spots.db beside it, which the store reads the spots of.
    QString spotsPath() const;

    // Up to maxSpots spots that have no details and are not handed out, newest first: the
    // spots table before erospots. nullopt when every spot is asked or handed out.
    std::optional<Batch> takeBatch(int maxSpots);
    // Stores what the HEADs of a batch gave, in one transaction, through a DetailsWriter of
    // its own (without header blocks): found holds the details by spot id; a spot of the batch
    // missing from found has none (article gone, no X-XML) and is not asked again. False when
    // the write failed: the batch is then handed out no longer.
    bool storeBatch(const Batch &batch, const QHash<int, SpotDetails> &found);
    // A DetailsWriter committed the batch: its range counts as asked.
    void markStored(const Batch &batch);
    // The batch was not fetched (the connection went): its spots are asked again.
    void giveBack(const Batch &batch);
    Progress progress() const;
    // Forgets every row and every range asked ("Headers verwijderen": the ids start anew).
    bool clear();

    // The stored details of a spot; nullopt when it has none or none yet.
    std::optional<SpotDetails> details(int spotId) const;

    Q_DISABLE_COPY_MOVE(SpotDetailsStore)

private:
    enum class FileState { Ready, Damaged, OtherVersion };
    // Ranges of ids by their low end: low -> high, inclusive, not touching each other.
    using Ranges = std::map<int, int>;

    FileState openFile(const QString &path, const QString &spotsPath);
    FileState prepareSchema();
    void loadAsked();
    // Clears when a table's newest row names another spot than spots.db holds under its id.
    void verifyKeys();
    std::optional<Batch> takeFrom(SpotTable table, int maxSpots);
    QSqlDatabase database() const;

    static void addRange(Ranges &ranges, int low, int high);
    static void removeRange(Ranges &ranges, int low, int high);

    const QString connectionName;
    std::optional<SqlConnection> connection;
    QString path;
    Ranges asked[2];
    Ranges handedOut[2];
};
