#pragma once

#include "markedspot.h"
#include "savedfilter.h"
#include "sqlconnection.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The user's own file in the data directory, gebruiker.db: saved filters, hidden spotters and
// marked spots. It is no part of spots.db, cache.db or reactielijst.db and outlives deleting
// every spot. Its schema carries a version (PRAGMA user_version).
//
// Every write is one transaction: it returns false when it failed, and the file is then as it
// was. A write to a filter also returns false when no filter has that id. Reads return an
// empty result when the file cannot be read. Before open() succeeds every read is empty and
// every write returns false. Not for use from more than one thread.
class UserStore
{
    Q_DECLARE_TR_FUNCTIONS(UserStore)

public:
    static constexpr int schemaVersion = 2;
    static QString fileName(); // "gebruiker.db"

    UserStore();
    ~UserStore();

    // Opens the file in the directory (made if need be), or makes it. A file that cannot be
    // opened or read, is no database of this program or has a newer schema version is never
    // deleted: it is renamed beside itself with a suffix (with its write-ahead log, if any) and
    // a new file is made; openMessage() then says so. False only when no file could be used at
    // all (the directory cannot be written): openMessage() says why, and the store stays closed.
    // Opening again first closes the file that is open.
    bool open(const QString &dataDirectory);
    bool isOpen() const;
    // A Dutch text for the user about the last open(): a file set aside, or no file at all.
    // Empty when the file opened as it was, or was made new.
    QString openMessage() const;

    // The saved filters in the user's order.
    QList<SavedFilter> filters() const;
    // Stores the filter after the others (its id is ignored); returns the new id, 0 on failure.
    qint64 addFilter(const SavedFilter &filter);
    // Replaces what the user edits of the filter with that id (not what it has seen or
    // announced: the count writes those, also while the user edits); its place stays.
    bool updateFilter(const SavedFilter &filter);
    bool removeFilter(qint64 id);
    // Moves the filter to that place (0-based) in the order; false for a place out of range.
    bool moveFilter(qint64 id, int newPosition);
    // The filter was opened while spotId was the highest id of its table; nothing of it is
    // announced any more.
    bool markSeen(qint64 filterId, qint64 spotId);
    // After deleting every spot: ids start again, so no filter knows what it has seen.
    bool resetSeen();
    // The new-spot counts of these filters were just announced on the desktop.
    bool setAnnounced(const QList<QPair<qint64, int>> &counts);

    // Sorted by character code with case ignored (not by a language's rules); names that differ
    // in case only come upper case first.
    QStringList hiddenSpotters() const;
    // Names are compared exactly. Hiding a hidden name or showing a shown one returns true.
    bool hideSpotter(const QString &name);
    bool showSpotter(const QString &name);

    // Newest marked first.
    QList<MarkedSpot> marks() const;
    // Marking a marked spot replaces its row; unmarking an unmarked one returns true.
    bool mark(const MarkedSpot &spot);
    bool unmark(const QByteArray &messageId);

    Q_DISABLE_COPY_MOVE(UserStore)

private:
    enum class FileState { Ready, Damaged, Newer };

    FileState openFile(const QString &path);
    FileState prepareSchema();
    // An invalid connection while no file is open.
    QSqlDatabase database() const;

    const QString connectionName;
    std::optional<SqlConnection> connection;
    QString message;
};
