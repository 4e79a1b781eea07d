#include "savedfiltercounts.h"

#include "spotsmodel.h"

#include <QTimer>

namespace {

bool hasSizeBounds(const SpotFilter &filter)
{
    return filter.saved && (filter.saved->minSize > 0 || filter.saved->maxSize > 0);
}

} // namespace

SavedFilterCounts::SavedFilterCounts(SpotsModel *model, QObject *parent)
    : QObject(parent)
    , model(model)
{
    connect(model, &SpotsModel::indexUpdated, this, &SavedFilterCounts::restart);
    model->indexKeeper().setCatchUpFollowup([this] { return countOnBuilder(); });
}

SavedFilterCounts::~SavedFilterCounts()
{
    if (model)
        model->indexKeeper().setCatchUpFollowup({});
}

SpotIndexBuilder::Followup SavedFilterCounts::countOnBuilder()
{
    // nullopt: counted here
    std::vector<std::optional<Entry>> counted;
    for (const Entry &entry : std::as_const(entries))
        counted.push_back(hasSizeBounds(entry.filter) ? std::nullopt : std::optional<Entry>(entry));
    auto result = std::make_shared<Precounted>();
    result->filtersVersion = filtersVersion;
    fromBuilder = result;
    return [result, counted = std::move(counted)](const SpotListIndex &index) {
        result->counts.clear(); // counted again when the index changed since
        for (const std::optional<Entry> &entry : counted) {
            if (!entry)
                result->counts.push_back(std::nullopt);
            else
                result->counts.push_back(entry->seenId ? index.countAbove(entry->filter, int(*entry->seenId)) : 0);
        }
        result->indexVersion = index.version();
    };
}

std::optional<int> SavedFilterCounts::precounted(const SpotListIndex &index) const
{
    if (!fromBuilder || fromBuilder->filtersVersion != filtersVersion || fromBuilder->indexVersion != index.version()
        || size_t(next) >= fromBuilder->counts.size())
        return std::nullopt;
    return fromBuilder->counts[size_t(next)];
}

void SavedFilterCounts::setFilters(const QList<Entry> &filters)
{
    entries = filters;
    ++filtersVersion;
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
    // What the builder counted is taken at once; one filter is counted here per turn.
    bool countedHere = false;
    while (next < entries.size() && !countedHere) {
        std::optional<int> counted = precounted(*index);
        const Entry &entry = entries.at(next++);
        if (!counted) {
            counted = entry.seenId ? countOf(*index, entry.filter, int(*entry.seenId)) : 0;
            countedHere = true;
        }
        if (counts.value(entry.id, -1) != *counted) {
            counts.insert(entry.id, *counted);
            changed = true;
        }
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
