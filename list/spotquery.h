#pragma once

#include "spotfilter.h"
#include "spotorder.h"

#include <QString>
#include <QVariantList>

#include <optional>
#include <vector>

class SpotListIndex;

// What one SpotFilter selects, newest first or in the order of a column, in both ways the
// list reads its rows: as statements over the spot tables (before the index is there) and as
// ids chosen from the SpotListIndex. Both give the same rows (hidden spotters by their names,
// ASCII case ignored), but titles and spotters in another order than the index's (the
// statements sort the stored bytes); categories sort by their short names in both. Nothing
// here reads a database by itself.
// The watch list is no query: its rows are the marks.
class SpotQuery
{
public:
    // The highest ids of spots and erospots at start-up: the rows above them are new.
    struct Baselines
    {
        int spotId = 0;
        int eroticId = 0;
    };
    // Rows stored by the download since start-up, as the controller counts them.
    struct NewCounts
    {
        int spots = 0;
        int eroticSpots = 0;
    };
    // How the statements count the filter's rows.
    enum class Counting {
        NewSpots, // the new spots count, not a statement: expired new rows still count (no hidden spotters)
        NewEroticSpots,
        Statement, // countStatement
        FromSearchRows, // the window's rows when fewer than a window, countStatement otherwise
    };
    struct Statements
    {
        // The window: the values, then LIMIT and OFFSET.
        QString window;
        QVariantList values;
        Counting counting;
        QString countStatement;
        QVariantList countValues;
    };
    // The filter's ids, newest first, and the count the list shows.
    struct Selection
    {
        std::vector<int> ids;
        int count = 0;
    };

    struct Sort
    {
        SortColumn column;
        Qt::SortOrder order;
    };

    // Without a sort, newest first.
    // What the window statements read of each row, in SpotsModel's order.
    static constexpr QLatin1StringView rowColumns{"SELECT id,cat,subcat,spotdate,title,spotter,msgid"};

    SpotQuery(const SpotFilter &filter, Baselines baselines, std::optional<Sort> sort = std::nullopt);

    // "spots" or "erospots".
    QString table() const;
    Statements statements() const;
    Selection select(const SpotListIndex &index, NewCounts counts) const;

private:
    // The columns that select the rows, and the values to bind to them; empty: every row.
    void addConditions(QStringList &conditions, QVariantList &values) const;
    QString orderBy() const;
    bool countsDownloaded() const;

    SpotFilter filter;
    Baselines baselines;
    std::optional<Sort> sort;
};
