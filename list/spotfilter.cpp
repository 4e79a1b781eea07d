#include "spotfilter.h"

#include "categoryscheme.h"
#include "searchquery.h"

#include <algorithm>

SpotFilter::SpotFilter(const QByteArray &search, int category, int subcategory)
    : search(search)
    , category(category)
    , subcategory(subcategory)
{
}

bool SpotFilter::Saved::operator==(const Saved &other) const
{
    return categories == other.categories && notBefore == other.notBefore && leftOutSpotters == other.leftOutSpotters
        && minSize == other.minSize && maxSize == other.maxSize;
}

SpotFilter::Kind SpotFilter::kind() const
{
    if (marked)
        return Kind::Marked;
    if (saved)
        return Kind::Saved;
    if (searches())
        return Kind::Search;
    if (category == CategoryScheme::newSpots)
        return Kind::New;
    if (category == CategoryScheme::allSpots && subcategory == 0)
        return Kind::All;
    if (subcategory != 0 && category != CategoryScheme::newEroticSpots)
        return Kind::Subcategory;
    if (category == CategoryScheme::newEroticSpots)
        return Kind::EroticNew;
    return Kind::Category;
}

QStringList SpotFilter::leftOutSpotters() const
{
    QStringList names = hiddenSpotters;
    if (saved)
        names += saved->leftOutSpotters;
    names.removeAll(QString());
    return names;
}

bool SpotFilter::readsEroticTable() const
{
    if (saved)
        return !saved->categories.isEmpty()
            && std::all_of(saved->categories.begin(), saved->categories.end(), CategoryScheme::isEroticTreeCode);
    if (marked || searches())
        return false;
    return category == CategoryScheme::erotic || category == CategoryScheme::newEroticSpots
        || CategoryScheme::isEroticSubcategory(subcategory);
}

bool SpotFilter::operator==(const SpotFilter &other) const
{
    return search == other.search && category == other.category && subcategory == other.subcategory
        && saved == other.saved && marked == other.marked && hiddenSpotters == other.hiddenSpotters;
}

bool SpotFilter::searches() const
{
    return !search.isEmpty() && !SearchQuery(search).isEmpty();
}
