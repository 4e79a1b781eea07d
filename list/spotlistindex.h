#pragma once

#include "searchtexts.h"
#include "spotfilter.h"

#include <QByteArray>

#include <atomic>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class SearchQuery;
struct sqlite3;
class SqliteStatement;

// The ids and categories of spots and erospots, and the titles, spotters and tags of spots,
// held in memory so that the list can choose, count and place its rows without scanning the
// database: a search or a category is one pass over these arrays, and the spot at any list
// position is one array element. The rows themselves are still read from the database.
//
// It derives everything from the tables and keeps nothing on disk: update() brings it up to
// date with whatever a connection sees (rows added, rows gone), so it is never stale for
// longer than until the next update.
class SpotListIndex
{
public:
    enum class Update {
        Done,
        Cancelled, // the flag was raised: the index is partly updated, and must be dropped
        Inconsistent, // rows appeared below the highest id: only a new index is right
        // A read failed part-way (I/O error, damaged file, busy): the index holds what it held
        // and perhaps some of the new rows, all of them rows of the tables; it is not up to
        // date, and the next update() goes on from there.
        Failed,
    };

    // Reads the rows added above the highest ids held, then drops the rows that are gone;
    // nothing at all when the connection has written nothing and no other has committed since
    // the last update through it. A table that is not there counts as empty, as the list
    // shows it. Runs on any thread that owns the connection.
    Update update(sqlite3 *connection, const std::atomic<bool> *cancel = nullptr);
    // Rows read by the last update().
    qsizetype rowsRead() const { return lastRowsRead; }
    // How far the newest ids of the tables are above the highest ids held: about the number
    // of rows that update() would read.
    qint64 idsBehind(sqlite3 *connection) const;
    // Whether update() through this connection would find nothing to read.
    bool isCurrent(sqlite3 *connection) const;
    // Rows held, of both tables.
    qsizetype size() const { return qsizetype(spots.ids.size() + erotic.ids.size()); }
    // The index goes to another connection (on another thread) and comes back to from: an
    // update() through from then reads nothing if the other connection has read the tables
    // and nothing was written since this call.
    void handOver(sqlite3 *from);

    // The ids of the filter's rows, newest first. baselines: the highest ids at start-up.
    std::vector<int> select(const SpotFilter &filter, int baselineSpotId, int baselineEroticId) const;

    // Gives back the memory that reading kept in reserve.
    void squeeze();
    qsizetype memoryBytes() const;

private:
    // The numbers of distinct spotters or tags by their kind and bytes.
    using ValueNumbers = std::unordered_map<std::string, quint32>;

    struct Table
    {
        std::vector<int> ids; // ascending
        std::vector<int> cats;
        std::vector<int> subcats;
        // spots only: the searched columns, spotters and tags once per distinct value
        SearchTexts titles{SearchTexts::Pairs::Indexed};
        std::vector<quint32> spotterOf;
        std::vector<quint32> tagOf;
        SearchTexts spotters;
        SearchTexts tags;
        ValueNumbers spotterIds;
        ValueNumbers tagIds;

        void clear();
        void retain(const std::vector<bool> &keep);
        void squeeze();
    };

    template<typename Shown>
    static std::vector<int> pick(const Table &table, Shown shown);
    // The rows of the table that the query finds, newest first (spotlistsearch.cpp).
    static std::vector<int> search(const Table &table, const SearchQuery &query);

    Update updateTable(sqlite3 *connection, const char *name, Table &table, bool searched,
                       const std::atomic<bool> *cancel);
    bool appendRows(SqliteStatement &query, Table &table, bool searched, const std::atomic<bool> *cancel);
    Update dropMissingRows(sqlite3 *connection, const char *name, Table &table, qint64 stored);
    // True only when the schema was read and holds no table of that name.
    static bool isMissing(sqlite3 *connection, const char *name);
    static quint32 distinctValue(const SqliteStatement &row, int column, SearchTexts &texts, ValueNumbers &known,
                                 std::string &key);

    Table spots;
    Table erotic;
    qsizetype lastRowsRead = 0;
    struct Fingerprint
    {
        qint64 changes;
        qint64 dataVersion;
        qint64 schemaVersion;
        bool operator==(const Fingerprint &other) const
        {
            return changes == other.changes && dataVersion == other.dataVersion && schemaVersion == other.schemaVersion;
        }
    };
    static std::optional<Fingerprint> fingerprint(sqlite3 *connection);
    // Whether the tables as connection sees them now are the ones held.
    bool holdsWhatIsSeen(sqlite3 *connection, const std::optional<Fingerprint> &now) const;
    // What the last complete update saw through which connection.
    sqlite3 *seenConnection = nullptr;
    Fingerprint seen{};
    // Where the index was handed over from, as that connection saw the tables then.
    sqlite3 *handedOverFrom = nullptr;
    Fingerprint handedOverAt{};
    bool readSinceHandOver = false;
};
