#include "savedfiltercounts.h"

#include "spotsmodel.h"

#include <QTimer>

SavedFilterCounts::SavedFilterCounts(const SpotsModel *model, QObject *parent)
    : QObject(parent)
    , model(model)
{
    connect(model, &SpotsModel::indexUpdated, this, &SavedFilterCounts::restart);
}

void SavedFilterCounts::setFilters(const QList<Entry> &filters)
{
    entries = filters;
    QHash<qint64, int> kept;
    for (const Entry &entry : filters) {
        if (counts.contains(entry.id))
            kept.insert(entry.id, counts.value(entry.id));
    }
    changed = kept.size() != counts.size();
    counts = kept;
    restart();
}

std::optional<int> SavedFilterCounts::newestId(const SpotFilter &filter) const
{
    const SpotListIndex *index = model->indexKeeper().index();
    if (!index)
        return std::nullopt;
    return index->newestId(filter);
}

void SavedFilterCounts::restart()
{
    next = 0;
    if (!std::exchange(scheduled, true))
        QTimer::singleShot(0, this, &SavedFilterCounts::countNext);
}

int SavedFilterCounts::countOf(const SpotListIndex &index, const SpotFilter &filter, int seenId) const
{
    const std::optional<SpotFilter::Saved> &saved = filter.saved;
    if (!saved || (saved->minSize <= 0 && saved->maxSize <= 0))
        return index.countAbove(filter, seenId);
    // The sizes of the new rows alone are read.
    return int(model->sizes()
                   .within(index.idsAbove(filter, seenId), filter.readsEroticTable(), saved->minSize, saved->maxSize)
                   .size());
}

void SavedFilterCounts::countNext()
{
    scheduled = false;
    const SpotListIndex *index = model->indexKeeper().index();
    // Without the index (built, or catching up), the next update of the index counts again.
    if (!index || next >= entries.size())
        return;
    const Entry &entry = entries.at(next++);
    const int counted = entry.seenId ? countOf(*index, entry.filter, int(*entry.seenId)) : 0;
    if (counts.value(entry.id, -1) != counted) {
        counts.insert(entry.id, counted);
        changed = true;
    }
    if (next < entries.size()) {
        scheduled = true;
        QTimer::singleShot(0, this, &SavedFilterCounts::countNext);
        return;
    }
    if (std::exchange(changed, false))
        Q_EMIT countsChanged();
    Q_EMIT passFinished();
}
