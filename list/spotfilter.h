#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

// Which rows the spot list shows. The kinds are tried in order: the watch list and a saved
// filter win over anything else, a search over any category, a sub-category over a category.
// A search text that holds no term (SearchQuery: spaces, a lone "-" or quote) is no search.
// Spots of a hidden spotter are left out of every kind but the watch list.
struct SpotFilter
{
    enum class Kind { Search, New, All, Subcategory, EroticNew, Category, Saved, Marked };

    // A saved filter: its search (which may hold no term) within these.
    struct Saved
    {
        QList<int> categories; // tree codes of categories and sub-categories; empty: every one
        qint64 notBefore = 0; // spots dated before this moment (seconds since 1970) are left out
        QStringList leftOutSpotters;
        // Bytes; 0: no bound. A spot whose size is not known passes no bound (SpotSizes::within).
        qint64 minSize = 0;
        qint64 maxSize = 0;
        bool operator==(const Saved &other) const;
    };

    SpotFilter() = default;
    // A search, a category or a sub-category.
    SpotFilter(const QByteArray &search, int category, int subcategory);

    QByteArray search;
    int category = -1; // a top-level tree code
    int subcategory = 0;
    std::optional<Saved> saved;
    bool marked = false; // the watch list: the rows are the marks, not rows of the tables
    // Spotter names as shown; ASCII case is ignored, as the search does.
    QStringList hiddenSpotters;

    Kind kind() const;
    // The spotters whose spots are left out: the hidden ones and a saved filter's. An empty
    // name names no one (not the spots without a spotter).
    QStringList leftOutSpotters() const;
    // Erotic spots live in erospots; a search never reads them, a saved filter only when all
    // its categories are erotic.
    bool readsEroticTable() const;
    bool operator==(const SpotFilter &other) const;

private:
    bool searches() const;
};
