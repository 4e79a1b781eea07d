#pragma once

#include "spotfilter.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <optional>

class SpotListIndex;
class SpotsModel;

// The new spots of the saved filters: for each, how many rows its filter selects above the
// highest id it has seen. Counted from the index of a SpotsModel, one filter per turn of the
// event loop (milliseconds each, also at millions of spots: only the rows above the id are
// searched), after setFilters() and every time the index has read new rows.
class SavedFilterCounts : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        qint64 id = 0;
        SpotFilter filter;
        // nullopt: not known yet (after deleting every spot); counts as nothing new.
        std::optional<qint64> seenId;
    };

    SavedFilterCounts(const SpotsModel *model, QObject *parent);

    // Counts these from now on; the counts of filters no longer there are dropped.
    void setFilters(const QList<Entry> &filters);
    // The last count of a filter; 0 before it was counted.
    int count(qint64 filterId) const { return counts.value(filterId); }
    // The highest id of the filter's table in the index; nullopt while there is no index.
    std::optional<int> newestId(const SpotFilter &filter) const;
    // Whether every filter was counted since the last change.
    bool isCounted() const { return next >= entries.size(); }

Q_SIGNALS:
    // Once per pass over the filters in which a count changed.
    void countsChanged();
    // Once per pass over every filter, after countsChanged() if that fired.
    void passFinished();

private:
    void restart();
    void countNext();
    // A saved filter's size bounds are checked against the details file (SpotSizes).
    int countOf(const SpotListIndex &index, const SpotFilter &filter, int seenId) const;

    const SpotsModel *model;
    QList<Entry> entries;
    QHash<qint64, int> counts;
    qsizetype next = 0;
    bool changed = false;
    bool scheduled = false;
};
