#include "spotquery.h"

#include "searchquery.h"
#include "spotlistindex.h"

namespace {

const QLatin1StringView selectColumns("SELECT id,subcat,spotdate,title,spotter,msgid FROM ");

// ?,?,... for count values.
QString placeholders(qsizetype count)
{
    QString marks = QStringLiteral("?");
    for (qsizetype i = 1; i < count; ++i)
        marks += QLatin1String(",?");
    return marks;
}

// A spotter name as LIKE compares it exactly (ASCII case ignored): its wildcards escaped.
QByteArray exactLike(QByteArray bytes)
{
    return bytes.replace('\\', "\\\\").replace('%', "\\%").replace('_', "\\_");
}

} // namespace

SpotQuery::SpotQuery(const SpotFilter &filter, Baselines baselines, std::optional<Sort> sort)
    : filter(filter)
    , baselines(baselines)
    , sort(sort)
{
}

QString SpotQuery::table() const
{
    return filter.readsEroticTable() ? QStringLiteral("erospots") : QStringLiteral("spots");
}

bool SpotQuery::countsDownloaded() const
{
    const SpotFilter::Kind kind = filter.kind();
    return (kind == SpotFilter::Kind::New || kind == SpotFilter::Kind::EroticNew) && filter.hiddenSpotters.isEmpty();
}

void SpotQuery::addConditions(QStringList &conditions, QVariantList &values) const
{
    const SpotFilter::Kind kind = filter.kind();
    switch (kind) {
    case SpotFilter::Kind::Marked:
        conditions << QStringLiteral("0");
        return;
    case SpotFilter::Kind::Search:
    case SpotFilter::Kind::Saved: {
        const SearchQuery search(filter.search);
        if (!search.isEmpty()) {
            const SearchQuery::Sql sql = search.sqlCondition();
            conditions << QLatin1Char('(') + sql.condition + QLatin1Char(')');
            values += sql.values;
        }
        break;
    }
    case SpotFilter::Kind::New:
    case SpotFilter::Kind::EroticNew:
        conditions << QStringLiteral("id>?");
        values << (kind == SpotFilter::Kind::New ? baselines.spotId : baselines.eroticId);
        break;
    case SpotFilter::Kind::All:
        break;
    case SpotFilter::Kind::Subcategory:
        conditions << QStringLiteral("subcat=?");
        values << filter.subcategory;
        break;
    case SpotFilter::Kind::Category:
        conditions << QStringLiteral("cat=?");
        values << filter.category;
        break;
    }
    QStringList leftOut = filter.hiddenSpotters;
    if (filter.saved) {
        const QList<int> &codes = filter.saved->categories;
        if (!codes.isEmpty()) {
            conditions << QStringLiteral("(cat IN (%1) OR subcat IN (%1))").arg(placeholders(codes.size()));
            for (int round = 0; round < 2; ++round) {
                for (const int code : codes)
                    values << code;
            }
        }
        if (filter.saved->notBefore > 0) {
            conditions << QStringLiteral("spotdate>=?");
            values << filter.saved->notBefore;
        }
        leftOut += filter.saved->leftOutSpotters;
    }
    // Spotters are stored as UTF-8 or Latin-1 bytes: either form of the name. The names are
    // bound as bytes, and LIKE never matches a BLOB pattern: they are cast to text.
    for (const QString &name : std::as_const(leftOut)) {
        conditions << QStringLiteral("NOT coalesce(CAST(spotter AS TEXT) LIKE CAST(? AS TEXT) ESCAPE '\\' OR "
                                     "CAST(spotter AS TEXT) LIKE CAST(? AS TEXT) ESCAPE '\\',0)");
        values << exactLike(name.toUtf8()) << exactLike(name.toLatin1());
    }
}

QString SpotQuery::orderBy() const
{
    if (!sort)
        return QStringLiteral(" ORDER BY id DESC");
    const QString direction = sort->order == Qt::AscendingOrder ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
    switch (sort->column) {
    case SortColumn::Date:
        return QLatin1String(" ORDER BY spotdate") + direction + QLatin1String(",id DESC");
    case SortColumn::Category:
        return QLatin1String(" ORDER BY subcat") + direction + QLatin1String(",id DESC");
    case SortColumn::Title:
        return QLatin1String(" ORDER BY CAST(title AS TEXT) COLLATE NOCASE") + direction + QLatin1String(",id DESC");
    case SortColumn::Spotter:
        return QLatin1String(" ORDER BY CAST(spotter AS TEXT) COLLATE NOCASE") + direction + QLatin1String(",id DESC");
    }
    return {};
}

SpotQuery::Statements SpotQuery::statements() const
{
    QStringList conditions;
    QVariantList values;
    addConditions(conditions, values);
    const QString where
        = conditions.isEmpty() ? QString() : QLatin1String(" WHERE ") + conditions.join(QLatin1String(" AND "));
    const QString window = selectColumns + table() + where + orderBy() + QLatin1String(" LIMIT ? OFFSET ?");
    const QString count = QStringLiteral("SELECT count(*) FROM ") + table() + where;
    const SpotFilter::Kind kind = filter.kind();
    Counting counting = Counting::Statement;
    if (countsDownloaded())
        counting = kind == SpotFilter::Kind::New ? Counting::NewSpots : Counting::NewEroticSpots;
    else if (kind == SpotFilter::Kind::Search || kind == SpotFilter::Kind::Saved)
        counting = Counting::FromSearchRows;
    return {window, values, counting, count, values};
}

SpotQuery::Selection SpotQuery::select(const SpotListIndex &index, NewCounts counts) const
{
    Selection chosen{index.select(filter, baselines.spotId, baselines.eroticId), 0};
    chosen.count = int(chosen.ids.size());
    // The new lists count what the download stored, whether or not the rows are still there.
    if (countsDownloaded())
        chosen.count = filter.kind() == SpotFilter::Kind::New ? counts.spots : counts.eroticSpots;
    if (sort)
        chosen.ids = index.sorted(filter, std::move(chosen.ids), sort->column, sort->order);
    return chosen;
}
