#pragma once

#include "spotfilter.h"
#include "spotindexbuilder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class SpotListIndex;
class SpotsModel;

// The new spots of the saved filters: for each, how many rows its filter selects above the
// highest id it has seen. Counted from the index of a SpotsModel after setFilters() and every
// time the index has read new rows: when the builder reads them (a range), on its thread before
// the index comes back; otherwise, and for a filter with size bounds (read from the details
// file here), one filter per turn of the event loop (milliseconds each, also at millions of
// spots: only the rows above the id are searched). One per model at a time.
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

    SavedFilterCounts(SpotsModel *model, QObject *parent);
    ~SavedFilterCounts() override;

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
    // Counted on the builder's thread: for the filters as they were at filtersVersion, with the
    // index at indexVersion; nullopt for a filter counted here.
    struct Precounted
    {
        quint64 filtersVersion = 0;
        quint64 indexVersion = 0;
        std::vector<std::optional<int>> counts;
    };

    SpotIndexBuilder::Followup countOnBuilder();
    // The count of entry next from the builder, when it counted the filters as they are now.
    std::optional<int> precounted(const SpotListIndex &index) const;
    void restart();
    void countNext();
    // A saved filter's size bounds are checked against the details file (SpotSizes).
    int countOf(const SpotListIndex &index, const SpotFilter &filter, int seenId) const;

    QPointer<SpotsModel> model;
    QList<Entry> entries;
    quint64 filtersVersion = 0;
    // Written on the builder's thread, read here once it is back (the builder's thread ended).
    std::shared_ptr<Precounted> fromBuilder;
    QHash<qint64, int> counts;
    qsizetype next = 0;
    bool changed = false;
    bool scheduled = false;
};
