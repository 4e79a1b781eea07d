#pragma once

#include "searchtexts.h"
#include "spotfilter.h"
#include "spotorder.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class SearchQuery;
struct sqlite3;
class SqliteStatement;

// The ids, categories, dates, titles, spotters and tags of spots and erospots, held in memory so that the list can choose, count and place its rows without scanning the
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

    // Work with the index once it holds the new rows; it reads nothing but the index.
    using Followup = std::function<void(const SpotListIndex &)>;

    // Reads the rows added above the highest ids held, then drops the rows that are gone;
    // nothing at all when the connection has written nothing and no other has committed since
    // the last update through it. Starts bringing the order of the titles along on a thread of
    // its own (SpotOrder::startTitleOrder(): about a second for millions of new rows), which a
    // sort by title, the next update() and squeeze() wait for. A table that is not there counts
    // as empty, as the list shows it. Runs on any thread that owns the connection; the titles
    // of many new rows are folded and indexed on a thread of their own meanwhile (SearchTextsFeed).
    // followup runs once the new rows are read, on a thread of its own while the tables are
    // counted, again if rows gone were dropped then, and before the title order starts: when
    // update() returns Done, its last run saw the index as it is (version()).
    Update update(sqlite3 *connection, const std::atomic<bool> *cancel = nullptr, const Followup &followup = {});
    // Rows read by the last update().
    qsizetype rowsRead() const { return lastRowsRead; }
    // How far the newest ids of the tables are above the highest ids held: about the number
    // of rows that update() would read.
    qint64 idsBehind(sqlite3 *connection) const;
    // Whether update() through this connection would find nothing to read.
    bool isCurrent(sqlite3 *connection) const;
    // Another number whenever the rows held change, never the same for two indexes: what
    // was counted with one version holds for as long as the index has it.
    quint64 version() const { return rowsVersion; }
    // Rows held, of both tables.
    qsizetype size() const { return qsizetype(spots.ids.size() + erotic.ids.size()); }
    // The index goes to another connection (on another thread) and comes back to from: an
    // update() through from then reads nothing if the other connection has read the tables
    // and nothing was written since this call.
    void handOver(sqlite3 *from);

    // The ids of the filter's rows, newest first. baselines: the highest ids at start-up.
    // Nothing for the watch list, whose rows are the marks. In spotlistselect.cpp.
    std::vector<int> select(const SpotFilter &filter, int baselineSpotId, int baselineEroticId) const;
    // How many rows the filter selects among those of its table with an id above after (a
    // saved filter's new spots); its search looks at those rows alone.
    int countAbove(const SpotFilter &filter, int after) const;
    // Those rows' ids, newest first.
    std::vector<int> idsAbove(const SpotFilter &filter, int after) const;
    // The highest id held of the filter's table; 0 when it holds none.
    int newestId(const SpotFilter &filter) const;
    // The ids that select() gave for filter (newest first) in the order of column (SpotOrder),
    // ids that sort alike newest first; ids the index does not hold are left out. Sorting by
    // title keeps an order of all rows from its first use on a longer list (see SpotOrder).
    std::vector<int> sorted(const SpotFilter &filter, std::vector<int> ids, SortColumn column,
                            Qt::SortOrder order) const;

    // Gives back the memory that reading kept in reserve, but for room for a downloaded range
    // in a large table, which would otherwise copy all its arrays to grow.
    void squeeze();
    qsizetype memoryBytes() const;

    // A bit per row of a table, row r in word r / 64.
    using RowBits = std::vector<quint64>;

private:
    // Held for a category code that is no top-level item of the tree: none selects it.
    static constexpr int unlistedCategory = 255;
    // The numbers of distinct spotters or tags by their kind and bytes.
    using ValueNumbers = std::unordered_map<std::string, quint32>;

    struct Table
    {
        // Only the spots are searched: the titles of erospots are held for sorting alone.
        explicit Table(SearchTexts::Pairs titlePairs)
            : titlePairs(titlePairs)
            , titles(titlePairs)
        {
        }

        SearchTexts::Pairs titlePairs;
        std::vector<int> ids; // ascending
        std::vector<quint8> cats; // unlistedCategory for a code beyond the tree's
        std::vector<int> subcats;
        std::vector<quint32> dates;
        SearchTexts titles;
        // spotters and tags once per distinct value
        std::vector<quint32> spotterOf;
        std::vector<quint32> tagOf;
        SearchTexts spotters;
        SearchTexts tags;
        ValueNumbers spotterIds;
        ValueNumbers tagIds;
        // Made as the lists are sorted, which leaves the index as it is.
        mutable SpotOrder order;

        void clear();
        void retain(const std::vector<bool> &keep);
        void squeeze();
    };

    template<typename Shown>
    static std::vector<int> pick(const Table &table, Shown shown);
    // Clears the bits of the rows that the query does not find. In spotlistsearch.cpp.
    static void search(const Table &table, const SearchQuery &query, RowBits &rows);
    // The rows from row first on that the filter's spotters, and a saved filter's categories
    // and age, let through.
    static RowBits allowedRows(const Table &table, const SpotFilter &filter, size_t first);
    static std::vector<int> idsOf(const RowBits &rows, const std::vector<int> &ids);
    RowBits rowsAbove(const SpotFilter &filter, int after) const;
    const Table &tableOf(const SpotFilter &filter) const { return filter.readsEroticTable() ? erotic : spots; }

    Update appendTable(sqlite3 *connection, const char *name, Table &table, const std::atomic<bool> *cancel);
    // The rows of the table; 0 for a table that is not there, nullopt when it cannot be read.
    static std::optional<qint64> storedRows(sqlite3 *connection, const char *name);
    // Drops the rows gone from both tables, with followup running beside the counts.
    Update dropGoneRows(sqlite3 *connection, const Followup &followup);
    // Those gone from one table, which holds stored rows.
    Update keepStoredRows(sqlite3 *connection, const char *name, Table &table, qint64 stored);
    bool appendRows(SqliteStatement &query, Table &table, const std::atomic<bool> *cancel);
    Update dropMissingRows(sqlite3 *connection, const char *name, Table &table, qint64 stored);
    // True only when the schema was read and holds no table of that name.
    static bool isMissing(sqlite3 *connection, const char *name);
    static quint32 distinctValue(const SqliteStatement &row, int column, SearchTexts &texts, ValueNumbers &known,
                                 std::string &key);

    Table spots{SearchTexts::Pairs::Indexed};
    Table erotic{SearchTexts::Pairs::NotIndexed};
    qsizetype lastRowsRead = 0;
    quint64 rowsVersion = nextVersion();
    static quint64 nextVersion();
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
