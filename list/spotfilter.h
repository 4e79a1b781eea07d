#pragma once

#include <QByteArray>

// Which rows the spot list shows. The kinds are tried in order: a search wins over any
// category, a sub-category over a category. A search text that holds no term (SearchQuery:
// spaces, a lone "-" or quote) is no search.
struct SpotFilter
{
    enum class Kind { Search, New, All, Subcategory, EroticNew, Category };

    QByteArray search;
    int category = -1; // a top-level tree code
    int subcategory = 0;

    Kind kind() const;
    // Erotic spots live in erospots; a search never reads them.
    bool readsEroticTable() const;
    bool operator==(const SpotFilter &other) const;

private:
    bool searches() const;
};
