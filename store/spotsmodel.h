#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include "sqlitestatement.h"

#include <QSqlDatabase>

#include <optional>

class SpotSource;

// The spot list: one filtered view of the spot tables, newest first. Only a window of at
// most 200 rows is held; any other row is read by querying again with LIMIT and OFFSET.
// Rows stored since the program started are shown in dark green.
class SpotsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    SpotsModel(SpotSource *controller, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A non-empty search text searches titles, spotters and tags; otherwise the category
    // (a top-level tree code) or the sub-category (100 and up) selects the rows.
    void setFilter(const QByteArray &search, int category, int subcategory);

public Q_SLOTS:
    // Re-reads the current filter; more rows are announced as inserted at the top.
    void onNewSpots();

private:
    struct SpotRow
    {
        int id;
        int subcat;
        qint64 spotDate;
        QByteArray title;
        QByteArray spotter;
    };

    struct Window
    {
        int first = -1;
        int last = -1;
        QList<SpotRow> rows;
    };

    bool readsEroticTable() const;
    // Loads the rows around position into window, counting the rows first when rowCount is 0.
    bool load(int position, int &rowCount, Window &window) const;
    int count(const QString &statement, const QVariantList &values) const;
    QVariant displayValue(const SpotRow &row, int column) const;

    SpotSource *controller;
    QSqlDatabase database;
    int baselineSpotId;
    int baselineEroticId;

    QByteArray searchText;
    int categoryFilter = -1;
    int subcategoryFilter = 0;

    // Filled on demand by data(), which the view calls as const.
    mutable int rows = 0;
    mutable Window window;
    // The window select, prepared once per filter: scrolling runs it again and again.
    mutable std::optional<SqliteStatement> windowQuery;
    mutable QString windowSql;
};
