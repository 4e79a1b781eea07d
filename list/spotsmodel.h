#pragma once

#include "spotfilter.h"
#include "spotlistindex.h"
#include "sqlitestatement.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class SpotIndexBuilder;
class SpotSource;

// The spot list: one filtered view of the spot tables, newest first. Only a window of at
// most 200 rows is held. Rows stored since the program started are shown in dark green.
//
// Which ids a filter shows, in which order, and how many, come from a SpotListIndex that a
// SpotIndexBuilder makes in the background once the event loop runs; the model keeps it up at
// every setFilter() and newSpots(). Until it is there (seconds for millions of spots), the rows
// are read with LIMIT and OFFSET and searched with SQLite's LIKE alone (SearchQuery::sqlCondition);
// when it arrives the list is reset only if the count it gives differs. Many new rows at once (a range
// of the download), and any change once the index holds half a million rows, are read into the
// index on the builder's thread too: the list shows the rows it had until then, and the new
// ones are inserted when the index is back. Until the builder has counted the spots, "Alles"
// shows its first window alone, and its other rows are inserted below it once they are
// counted: on a cold start that count reads the whole table.
//
// Rows of a transaction still open on the controller's connection (a range being downloaded)
// are not there for the builder: while they are many, the index waits for the commit, whose
// newSpots() brings them. A read of the index that fails (I/O error, damaged page, lock) keeps
// the rows shown as they were, and is tried again after retryIntervalMs.
class SpotsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int retryIntervalMs = 10000;

    SpotsModel(SpotSource *controller, QObject *parent);
    ~SpotsModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A search text that holds terms (SearchQuery) searches titles, spotters and tags (SpotSearch);
    // otherwise the category (a top-level tree code) or the sub-category (100 and up) selects the rows.
    void setFilter(const QByteArray &search, int category, int subcategory);

    // Whether the index is in use; bytes of memory it and the chosen ids take.
    bool isIndexed() const;
    qsizetype indexMemoryBytes() const;
    // How long after a failed read of the index it is read again; shortened by tests.
    void setRetryInterval(int milliseconds);

public Q_SLOTS:
    // Re-reads the current filter; more rows are announced as inserted at the top. Changes
    // that are read on the builder's thread (see above) are announced once they are read.
    void onNewSpots();

Q_SIGNALS:
    // The index is in use from now on.
    void indexed();
    // The index went to the builder's thread to read new rows; once per hand-over.
    void catchUpStarted();

private:
    // What the list shows of one spot in the window read.
    struct ListRow
    {
        int id = 0; // 0: the row is no longer in the database
        int subcat = 0;
        qint64 spotDate = 0;
        QString title;
        QString spotter;
    };

    struct Window
    {
        int first = -1;
        int last = -1;
        QList<ListRow> rows;
    };

    // The filter's ids and count as the index gives them.
    struct Selection
    {
        std::vector<int> ids;
        int count = 0;
    };

    void startIndexBuild();
    void onSpotsCounted();
    void onIndexBuilt();
    // Whether the index is brought up to date on the builder's thread: for a range of new
    // rows, and for any change once it is large.
    bool changesGoToBuilder() const;
    // The index goes to a builder for the new rows, and comes back with them.
    void startCatchUp();
    void onCaughtUp();
    void takeCaughtUpIndex();
    // Shows the rows as they are now (as the index holds them, without reading, while it
    // waits for a commit): new ones inserted at the top.
    void showNewRows();
    // Many rows of a transaction still open on the controller's connection are not in the
    // index: the builder cannot see them, and the window's thread is not to read them.
    bool waitsForCommit() const;
    // Counts the rows of the current filter where the first window was shown without a count.
    void countDeferredRows();
    // Brings the index up with the database. Failed: the index is as far as the read got, and
    // is read again later; Inconsistent: it was dropped, and is built anew.
    SpotListIndex::Update updateIndex();
    // A read of the index failed: it is read again after the retry interval.
    void retryLater();
    // Reads the index again after a failure, or builds it when there is none.
    void retryRead();
    // Drops the index and builds it anew; the rows are read by offset meanwhile.
    void rebuildIndex();
    Selection select() const;

    // Loads the rows around position into window, counting the rows first when rowCount is 0.
    bool load(int position, int &rowCount, Window &window) const;
    bool loadByOffset(int position, int &rowCount, Window &window) const;
    bool loadByIds(int position, Window &window) const;
    int count(const QString &statement, const QVariantList &values) const;
    QVariant displayValue(const ListRow &row, int column) const;

    SpotSource *controller;
    QSqlDatabase database;
    int baselineSpotId;
    int baselineEroticId;
    SpotFilter filter;

    std::unique_ptr<SpotIndexBuilder> builder;
    bool catchingUp = false; // the builder has the index; selectedIds still hold
    bool spotsCounted = false; // by the builder, or the index is there
    mutable bool countDeferred = false;
    std::unique_ptr<SpotListIndex> spotIndex;
    std::vector<int> selectedIds;
    QTimer retryTimer;

    // Filled on demand by data(), which the view calls as const.
    mutable int rows = 0;
    mutable Window window;
    // The window select, prepared once per filter: scrolling runs it again and again.
    mutable std::optional<SqliteStatement> windowQuery;
    mutable QByteArray windowSql;
};
