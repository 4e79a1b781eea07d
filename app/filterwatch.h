#pragma once

#include "savedfiltercounts.h"
#include "markedspot.h"
#include "savedfilter.h"
#include "spotrow.h"
#include "userstore.h"

#include <QObject>
#include <QSet>

#include <optional>

class DesktopNotifier;
class NewSpotsTray;
class SpotsModel;

// What the user watches, behind the window: the user file (saved filters, hidden spotters,
// marks), the new-spot counts of the saved filters, and their announcement on the desktop.
// Every change goes to the user file first; a change that could not be written is not made,
// and the call returns false. The list shows what is chosen here (saved filters, the watch
// list, hidden spotters, the marks' stars).
//
// After a download cycle (onSpotsUpToDate()) that brought new spots into filters marked
// "Melden", once their counts are in, one desktop notification names them (replacing the one
// before); the tray shows the total of those counts while there is one.
class FilterWatch : public QObject
{
    Q_OBJECT

public:
    // programIcon: for the tray.
    FilterWatch(SpotsModel *model, const QIcon &programIcon, QObject *parent);
    ~FilterWatch() override;

    // Opens the user file in the data directory; a Dutch message for the user, empty when
    // there is nothing to say (SetAside files, or no file at all).
    QString open(const QString &dataDirectory);
    // The user file, for what else the user keeps in it.
    UserStore &store() { return userStore; }

    const QList<SavedFilter> &filters() const { return savedFilters; }
    std::optional<SavedFilter> filter(qint64 id) const;
    // A new filter has seen every spot there is now.
    bool addFilter(SavedFilter filter);
    bool updateFilter(const SavedFilter &filter);
    bool removeFilter(qint64 id);
    // One place up (-1) or down (+1).
    bool moveFilter(qint64 id, int step);
    // New spots of the filter since it was last opened.
    int newCount(qint64 id) const { return counts.count(id); }
    // Shows the filter's rows in the list, and marks them seen.
    void openFilter(qint64 id);

    QStringList hiddenSpotters() const;
    bool hideSpotter(const QString &name);
    bool showSpotters(const QStringList &names);

    bool isMarked(const QByteArray &messageId) const { return markedIds.contains(messageId); }
    // Marks or unmarks the spot of the row.
    bool setMarked(const SpotRow &spot, bool marked);
    // The row a mark keeps of its spot, for a spot that may have expired.
    std::optional<SpotRow> markedRow(const QByteArray &messageId) const;
    // Shows the watch list in the list.
    void showMarks();

public Q_SLOTS:
    // The spot group is downloaded to its newest header.
    void onSpotsUpToDate();
    // Every spot was deleted: ids start again, so no filter knows what it has seen.
    void onAllSpotsDeleted();

Q_SIGNALS:
    // The saved filters, or their counts, changed.
    void filtersChanged();
    // A spot was marked or unmarked.
    void marksChanged();
    // The user clicked the notification: the filter it named first.
    void filterActivated(qint64 id);
    // The user clicked the tray icon.
    void windowRequested();

private:
    void reloadFilters();
    void reloadHiddenSpotters();
    // The list's stars for the marks.
    void showMarkedIds();
    void recount();
    void onCounted();
    SpotFilter spotFilter(const SavedFilter &filter) const;
    // The filter's table's newest id in the index; nullopt without an index.
    std::optional<qint64> newestId(const SavedFilter &filter) const;

    SpotsModel *model;
    UserStore userStore;
    SavedFilterCounts counts;
    DesktopNotifier *notifier;
    NewSpotsTray *tray;
    QList<SavedFilter> savedFilters;
    // The user file's marks, newest marked first, and their message-ids.
    QList<MarkedSpot> marks;
    QSet<QByteArray> markedIds;
    // An announcement waits for the counts after a cycle.
    bool announcementDue = false;
};
