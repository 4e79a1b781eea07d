#include "spotquery.h"

#include "searchquery.h"
#include "spotlistindex.h"

namespace {

const QLatin1StringView selectColumns("SELECT id,subcat,spotdate,title,spotter FROM ");
const QLatin1StringView newestFirst(" ORDER BY id DESC LIMIT ? OFFSET ?");

} // namespace

SpotQuery::SpotQuery(const SpotFilter &filter, Baselines baselines)
    : filter(filter)
    , baselines(baselines)
{
}

QString SpotQuery::table() const
{
    return filter.readsEroticTable() ? QStringLiteral("erospots") : QStringLiteral("spots");
}

SpotQuery::Statements SpotQuery::statements() const
{
    const QString from = selectColumns + table();
    const QString countFrom = QStringLiteral("SELECT count(*) FROM ") + table();
    switch (filter.kind()) {
    case SpotFilter::Kind::Search: {
        const SearchQuery::Sql search = SearchQuery(filter.search).sqlCondition();
        const QString where = QLatin1String(" WHERE ") + search.condition;
        return {from + where + newestFirst, search.values, Counting::FromSearchRows, countFrom + where, search.values};
    }
    case SpotFilter::Kind::New:
        return {from + QLatin1String(" WHERE id>?") + newestFirst, {baselines.spotId}, Counting::NewSpots, {}, {}};
    case SpotFilter::Kind::All:
        return {from + newestFirst, {}, Counting::Statement, countFrom, {}};
    case SpotFilter::Kind::Subcategory:
        return {from + QLatin1String(" WHERE subcat=?") + newestFirst,
                {filter.subcategory},
                Counting::Statement,
                countFrom + QLatin1String(" WHERE subcat=?"),
                {filter.subcategory}};
    case SpotFilter::Kind::EroticNew:
        return {
            from + QLatin1String(" WHERE id>?") + newestFirst, {baselines.eroticId}, Counting::NewEroticSpots, {}, {}};
    case SpotFilter::Kind::Category:
        break;
    }
    return {from + QLatin1String(" WHERE cat=?") + newestFirst,
            {filter.category},
            Counting::Statement,
            countFrom + QLatin1String(" WHERE cat=?"),
            {filter.category}};
}

SpotQuery::Selection SpotQuery::select(const SpotListIndex &index, NewCounts counts) const
{
    Selection chosen{index.select(filter, baselines.spotId, baselines.eroticId), 0};
    // The new lists count what the download stored, whether or not the rows are still there.
    switch (filter.kind()) {
    case SpotFilter::Kind::New:
        chosen.count = counts.spots;
        break;
    case SpotFilter::Kind::EroticNew:
        chosen.count = counts.eroticSpots;
        break;
    default:
        chosen.count = int(chosen.ids.size());
    }
    return chosen;
}
