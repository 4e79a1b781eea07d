#include "filterwatch.h"

#include "desktopnotifier.h"
#include "newspotstray.h"
#include "spotsmodel.h"

#include <QDateTime>

namespace {

constexpr qint64 secondsPerDay = 24 * 60 * 60;

} // namespace

FilterWatch::FilterWatch(SpotsModel *model, const QIcon &programIcon, QObject *parent)
    : QObject(parent)
    , model(model)
    , counts(model, nullptr)
    , notifier(new DesktopNotifier(this))
    , tray(new NewSpotsTray(programIcon, this))
{
    connect(&counts, &SavedFilterCounts::countsChanged, this, &FilterWatch::filtersChanged);
    connect(&counts, &SavedFilterCounts::passFinished, this, &FilterWatch::onCounted);
    connect(notifier, &DesktopNotifier::filterActivated, this, &FilterWatch::filterActivated);
    connect(tray, &NewSpotsTray::windowRequested, this, &FilterWatch::windowRequested);
}

FilterWatch::~FilterWatch() = default;

QString FilterWatch::open(const QString &dataDirectory)
{
    userStore.open(dataDirectory);
    marks = userStore.marks();
    showMarkedIds();
    model->setHiddenSpotters(userStore.hiddenSpotters());
    reloadFilters();
    return userStore.openMessage();
}

void FilterWatch::reloadFilters()
{
    savedFilters = userStore.filters();
    recount();
    Q_EMIT filtersChanged();
}

void FilterWatch::reloadHiddenSpotters()
{
    model->setHiddenSpotters(userStore.hiddenSpotters());
    // The counts leave them out too.
    recount();
}

void FilterWatch::showMarkedIds()
{
    markedIds.clear();
    for (const MarkedSpot &mark : std::as_const(marks))
        markedIds.insert(mark.spot.messageId);
    model->setMarkedIds(markedIds);
}

SpotFilter FilterWatch::spotFilter(const SavedFilter &filter) const
{
    SpotFilter chosen;
    chosen.search = filter.search.toUtf8();
    const qint64 notBefore
        = filter.maxAgeDays > 0 ? QDateTime::currentSecsSinceEpoch() - filter.maxAgeDays * secondsPerDay : 0;
    constexpr qint64 bytesPerMb = 1024 * 1024;
    chosen.saved = SpotFilter::Saved{filter.categories, notBefore, filter.leftOutSpotters,
                                     filter.minSizeMb * bytesPerMb, filter.maxSizeMb * bytesPerMb};
    chosen.hiddenSpotters = model->currentFilter().hiddenSpotters;
    return chosen;
}

void FilterWatch::recount()
{
    QList<SavedFilterCounts::Entry> entries;
    for (const SavedFilter &filter : std::as_const(savedFilters))
        entries.append({filter.id, spotFilter(filter), filter.seenSpotId});
    counts.setFilters(entries);
}

std::optional<SavedFilter> FilterWatch::filter(qint64 id) const
{
    for (const SavedFilter &filter : savedFilters) {
        if (filter.id == id)
            return filter;
    }
    return std::nullopt;
}

std::optional<qint64> FilterWatch::newestId(const SavedFilter &filter) const
{
    const std::optional<int> newest = counts.newestId(spotFilter(filter));
    return newest ? std::optional<qint64>(*newest) : std::nullopt;
}

bool FilterWatch::addFilter(SavedFilter filter)
{
    // Without the index yet, what it has seen is settled at the end of the download.
    filter.seenSpotId = newestId(filter);
    filter.announcedCount = 0; // also for a copy of another filter
    if (userStore.addFilter(filter) == 0)
        return false;
    reloadFilters();
    return true;
}

bool FilterWatch::updateFilter(const SavedFilter &filter)
{
    const std::optional<SavedFilter> before = this->filter(filter.id);
    if (!userStore.updateFilter(filter))
        return false;
    // What it has seen is an id of the table it read: in the other table it means nothing, and
    // it has seen that table as it is now (not known while the index is built: it stays then).
    const std::optional<qint64> newest = newestId(filter);
    if (before && newest && spotFilter(*before).readsEroticTable() != spotFilter(filter).readsEroticTable())
        userStore.markSeen(filter.id, *newest);
    reloadFilters();
    return true;
}

bool FilterWatch::removeFilter(qint64 id)
{
    if (!userStore.removeFilter(id))
        return false;
    reloadFilters();
    return true;
}

bool FilterWatch::moveFilter(qint64 id, int step)
{
    for (qsizetype at = 0; at < savedFilters.size(); ++at) {
        if (savedFilters.at(at).id != id)
            continue;
        const qsizetype to = at + step;
        if (to < 0 || to >= savedFilters.size() || !userStore.moveFilter(id, int(to)))
            return false;
        reloadFilters();
        return true;
    }
    return false;
}

void FilterWatch::openFilter(qint64 id)
{
    const std::optional<SavedFilter> opened = filter(id);
    if (!opened)
        return;
    const SpotFilter chosen = spotFilter(*opened);
    model->setSavedFilter(chosen.search, *chosen.saved);
    const std::optional<qint64> newest = newestId(*opened);
    if (newest && (opened->seenSpotId != newest || opened->announcedCount != 0) && userStore.markSeen(id, *newest)) {
        savedFilters = userStore.filters();
        recount();
    }
}

QStringList FilterWatch::hiddenSpotters() const
{
    return model->currentFilter().hiddenSpotters;
}

bool FilterWatch::hideSpotter(const QString &name)
{
    if (!userStore.hideSpotter(name))
        return false;
    reloadHiddenSpotters();
    return true;
}

bool FilterWatch::showSpotters(const QStringList &names)
{
    bool shown = true;
    for (const QString &name : names)
        shown = userStore.showSpotter(name) && shown;
    reloadHiddenSpotters();
    return shown;
}

bool FilterWatch::setMarked(const SpotRow &spot, bool marked)
{
    const MarkedSpot mark{spot, QDateTime::currentSecsSinceEpoch()};
    if (!(marked ? userStore.mark(mark) : userStore.unmark(spot.messageId)))
        return false;
    // As the file has them: newest marked first.
    marks.removeIf([&](const MarkedSpot &kept) { return kept.spot.messageId == spot.messageId; });
    if (marked)
        marks.prepend(mark);
    showMarkedIds();
    if (model->currentFilter().kind() == SpotFilter::Kind::Marked)
        showMarks();
    Q_EMIT marksChanged();
    return true;
}

std::optional<SpotRow> FilterWatch::markedRow(const QByteArray &messageId) const
{
    for (const MarkedSpot &mark : marks) {
        if (mark.spot.messageId == messageId)
            return mark.spot;
    }
    return std::nullopt;
}

void FilterWatch::showMarks()
{
    model->showMarks(marks);
}

void FilterWatch::onSpotsUpToDate()
{
    // Filters that did not know what they had seen (every spot was deleted) have seen what
    // this download brought.
    bool settled = false;
    for (const SavedFilter &filter : std::as_const(savedFilters)) {
        if (filter.seenSpotId)
            continue;
        if (const std::optional<qint64> newest = newestId(filter))
            settled = userStore.markSeen(filter.id, *newest) || settled;
    }
    if (settled) {
        savedFilters = userStore.filters();
        recount();
    }
    announcementDue = true;
    // Otherwise the counts of what the cycle brought are still to come: the index reads the
    // last range on the builder's thread, or a pass over the filters is under way.
    if (counts.isCounted() && model->indexKeeper().state() == SpotIndexKeeper::State::Ready)
        onCounted();
}

void FilterWatch::onCounted()
{
    QList<FilterNewSpots> marked;
    bool grown = false;
    for (const SavedFilter &filter : std::as_const(savedFilters)) {
        if (!filter.notify)
            continue;
        const int count = counts.count(filter.id);
        marked.append({filter.id, filter.name, count});
        grown = grown || count > filter.announcedCount;
    }
    tray->show(marked);
    if (!std::exchange(announcementDue, false) || !grown)
        return;
    notifier->notify(marked);
    // Kept in the file: the same spots are not announced again after a restart.
    QList<QPair<qint64, int>> counted;
    for (const FilterNewSpots &entry : std::as_const(marked))
        counted.append({entry.filterId, entry.count});
    if (userStore.setAnnounced(counted))
        savedFilters = userStore.filters();
}

void FilterWatch::onAllSpotsDeleted()
{
    userStore.resetSeen();
    reloadFilters();
}
