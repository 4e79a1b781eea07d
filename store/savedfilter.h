#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// One of the user's saved filters ("Mijn filters"), as the user file keeps it.
struct SavedFilter
{
    qint64 id = 0; // 0 until it is stored
    QString name;
    QString search; // in the syntax of the search box
    // Category-tree codes (CategoryScheme): main categories and sub-categories; empty: any.
    QList<int> categories;
    int maxAgeDays = 0; // 0: any age
    QStringList leftOutSpotters; // spotter names as the list shows them
    bool notify = false; // "Melden"
    // The highest spots.id when the filter was last opened: spots above it are new to it.
    // nullopt: not known yet (the spots were deleted and no download has finished since).
    std::optional<qint64> seenSpotId;
    // Its count of new spots as last announced on the desktop; 0 once it is opened.
    int announcedCount = 0;
    // Bounds of the spot's size in MB (1024 * 1024 bytes); 0: none. A spot whose size is not
    // known passes no bound.
    qint64 minSizeMb = 0;
    qint64 maxSizeMb = 0;

    friend bool operator==(const SavedFilter &a, const SavedFilter &b)
    {
        return a.id == b.id && a.name == b.name && a.search == b.search && a.categories == b.categories
            && a.maxAgeDays == b.maxAgeDays && a.minSizeMb == b.minSizeMb && a.maxSizeMb == b.maxSizeMb
            && a.leftOutSpotters == b.leftOutSpotters && a.notify == b.notify && a.seenSpotId == b.seenSpotId
            && a.announcedCount == b.announcedCount;
    }
};
