#include "spotfilter.h"

#include "categoryscheme.h"
#include "searchquery.h"

SpotFilter::Kind SpotFilter::kind() const
{
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

bool SpotFilter::readsEroticTable() const
{
    if (searches())
        return false;
    return category == CategoryScheme::erotic || category == CategoryScheme::newEroticSpots
        || CategoryScheme::isEroticSubcategory(subcategory);
}

bool SpotFilter::operator==(const SpotFilter &other) const
{
    return search == other.search && category == other.category && subcategory == other.subcategory;
}

bool SpotFilter::searches() const
{
    return !search.isEmpty() && !SearchQuery(search).isEmpty();
}
