#pragma once

#include "downloadstate.h"
#include "markedspot.h"
#include "spotfilter.h"
#include "spotindexkeeper.h"
#include "spotquery.h"
#include "spotsizes.h"
#include "sqlitestatement.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>

#include <optional>
#include <vector>

class SpotSource;

// The spot list: one filtered view of the spot tables, newest first. Only a window of at
// most 200 rows is held. Rows stored since the program started are shown in dark green.
//
// Which ids a filter shows, in which order, and how many, come from the SpotListIndex that a
// SpotIndexKeeper keeps (built in the background once the event loop runs; see its states).
// Until it is there (seconds for millions of spots), the rows are read with LIMIT and OFFSET
// and searched with SQLite's LIKE alone, as before; when it arrives the list is reset only if
// the count it gives differs. New rows that the keeper reads on the builder's thread (a range
// of the download) are inserted when the index is back; the list shows the rows it had until
// then. Until the builder has counted the spots, "Alles" shows its first window alone, and its
// other rows are inserted below it once they are counted: on a cold start that count reads the
// whole table. A read of the index that fails keeps the rows shown as they were, and is tried
// again later.
class SpotsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // SizeColumn ("Grootte") is empty until the details download has the spot's size.
    enum Column { DateColumn, CategoryColumn, TitleColumn, SpotterColumn, SizeColumn, ColumnCount };
    // data() of any column with this role: the spot's id, minus the id for an erospot; 0 on
    // the watch list, whose rows may have expired from the tables.
    static constexpr int SpotIdRole = Qt::UserRole;
    // The spot's message-id as stored (QByteArray).
    static constexpr int MessageIdRole = Qt::UserRole + 1;

    SpotsModel(SpotSource *controller, QObject *parent);
    ~SpotsModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A search text that holds terms (SearchQuery) searches titles, spotters and tags (SpotSearch);
    // otherwise the category (a top-level tree code) or the sub-category (100 and up) selects the rows.
    void setFilter(const QByteArray &search, int category, int subcategory);
    // A saved filter's rows: its search within its categories, age and spotters.
    void setSavedFilter(const QByteArray &search, const SpotFilter::Saved &saved);
    // The watch list: these marks, in this order (unless sorted), whether or not their spots
    // are still in the tables. Called again when the marks change.
    void showMarks(const QList<MarkedSpot> &marks);
    // Every list but the watch list leaves out the spots of these spotters.
    void setHiddenSpotters(const QStringList &names);
    // The spots shown with the watch list's mark.
    void setMarkedIds(const QSet<QByteArray> &messageIds);
    // The spots handed off or saved, by message-id: the date cell shows a mark in the colour
    // of the state, and every cell of the row the state as its tooltip.
    void setHandOffStates(const QHash<QByteArray, DownloadState> &states);
    // The filter as shown.
    const SpotFilter &currentFilter() const { return filter; }

    // Sorts every list by the column (SortColumn order; by size as SpotSizes::sorted()), until
    // sorted again; a column below 0: newest first, as at the start. The statements that read
    // the rows before the index is there sort by size as newest first, and the watch list
    // keeps its order for a sort by size.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Whether the index is in use; bytes of memory it, the chosen ids and the order by size
    // (while sorted by it) take.
    bool isIndexed() const;
    qsizetype indexMemoryBytes() const;
    // The sizes of the details file, as the list reads them.
    const SpotSizes &sizes() const { return spotSizes; }
    // Whose state tells where the index is.
    const SpotIndexKeeper &indexKeeper() const { return keeper; }
    SpotIndexKeeper &indexKeeper() { return keeper; }
    // How long after a failed read of the index it is read again; shortened by tests.
    void setRetryInterval(int milliseconds);

public Q_SLOTS:
    // Reads the sizes of the rows in the window again, from the details file beside spots.db:
    // connected to the details download's progress (also after the details were cleared). The
    // order of a list sorted by size, and a saved filter's size bounds, take the new sizes at
    // the next change of the list.
    void onDetailsStored();
    // Re-reads the current filter; more rows are announced as inserted at the top, or in a
    // sorted list at their places (rowsInserted() at the end, then layoutChanged()). Changes
    // that are read on the builder's thread are announced once they are read.
    void onNewSpots();

Q_SIGNALS:
    // The index is in use from now on.
    void indexed();
    // The index has read what the tables hold now: after indexed(), and after new rows
    // were shown.
    void indexUpdated();

private:
    // What the list shows of one spot in the window read.
    struct ListRow
    {
        int id = 0; // 0: a mark of the watch list
        SpotRow spot; // without a message-id: the row is no longer in the database
        qint64 size = 0; // 0: not known
    };

    struct Window
    {
        int first = -1;
        int last = -1;
        QList<ListRow> rows;
    };

    void onIndexReady();
    // The index was dropped: the rows are read by offset until a new one is built.
    void forgetSelection();
    // Shows the rows as they are now (as the index holds them, without reading, while it
    // waits for a commit): new ones inserted at the top.
    void showNewRows();
    // The filter's rows as they are now: the difference inserted at the top, or all reset.
    void showSelection();
    // A sorted list's new rows inserted at their places (sorted: the rows as they are now): put
    // after the rows shown, then moved in one layout change that the persistent indexes (the
    // view's current row and selection) follow; false, with nothing changed, when rows shown
    // are gone or moved.
    bool insertAmongRows(std::vector<int> &sorted);
    // Counts the rows of the current filter where the first window was shown without a count.
    void countDeferredRows();
    // Brings a Ready index up with the database, unless it waits for a commit.
    SpotIndexKeeper::Refresh refreshIndex();
    // The filter's rows as the index holds them; nullopt without an index to select with.
    std::optional<SpotQuery::Selection> currentSelection() const;
    SpotQuery query() const;

    // Loads the rows around position into window, counting the rows first when rowCount is 0.
    bool load(int position, int &rowCount, Window &window) const;
    bool loadByOffset(int position, int &rowCount, Window &window) const;
    bool loadByIds(int position, Window &window) const;
    bool loadMarks(int position, int &rowCount, Window &window) const;
    static ListRow readRow(const SqliteStatement &row, bool erotic);
    void readSizes(Window &window) const;
    // Shows filter from the first row.
    void changeFilter(const SpotFilter &chosen);
    // The marks in the order of the sort chosen; as given without one.
    void sortMarks();
    int count(const QString &statement, const QVariantList &values) const;
    QVariant displayValue(const ListRow &row, int column) const;

    SpotSource *controller;
    QSqlDatabase database;
    SpotQuery::Baselines baselines;
    SpotFilter filter;
    std::optional<SpotQuery::Sort> sortChoice;
    std::optional<Qt::SortOrder> sizeOrder; // sorted by SizeColumn (sortChoice is then empty)
    QList<MarkedSpot> givenMarks;
    QList<MarkedSpot> marks; // as shown
    QSet<QByteArray> markedIds;
    QHash<QByteArray, DownloadState> handOffStates;
    SpotIndexKeeper keeper;
    SpotSizes spotSizes;
    std::vector<int> selectedIds;
    mutable bool countDeferred = false;

    // Filled on demand by data(), which the view calls as const.
    mutable int rows = 0;
    mutable Window window;
    // The window select, prepared once per filter: scrolling runs it again and again.
    mutable std::optional<SqliteStatement> windowQuery;
    mutable QByteArray windowSql;
};
