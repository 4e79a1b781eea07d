#include "spotquery.h"

#include "categoryscheme.h"
#include "searchquery.h"
#include "spotlistindex.h"
#include "spottext.h"

namespace {

// ?,?,... (or another placeholder) for count values.
QString placeholders(qsizetype count, QLatin1StringView placeholder = QLatin1StringView("?"))
{
    QString marks = placeholder;
    for (qsizetype i = 1; i < count; ++i)
        marks += QLatin1Char(',') + placeholder;
    return marks;
}

// The place of the row's short category name among all of them (ShownOrder::categoryRank),
// as an expression over subcat: the scheme's own codes.
QString categoryRankCase()
{
    QString expression = QStringLiteral("CASE subcat");
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (entry.code >= 0)
            expression += QStringLiteral(" WHEN %1 THEN %2").arg(entry.code).arg(ShownOrder::categoryRank(entry.code));
    }
    return expression + QStringLiteral(" ELSE %1 END").arg(ShownOrder::categoryRank(-1));
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
    return (kind == SpotFilter::Kind::New || kind == SpotFilter::Kind::EroticNew) && filter.leftOutSpotters().isEmpty();
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
    }
    // Spotters are stored as UTF-8 or Latin-1 bytes: either form of the name, compared as
    // bytes with ASCII case ignored (lower() folds ASCII bytes alone; LIKE would take any two
    // bytes that are not UTF-8 for the same character), up to a NUL as the list shows them
    // (printf's "%s" ends there).
    const QStringList leftOut = filter.leftOutSpotters();
    if (!leftOut.isEmpty()) {
        conditions << QStringLiteral("NOT coalesce(printf('%s',lower(CAST(spotter AS TEXT))) IN (%1),0)")
                          .arg(placeholders(leftOut.size() * 2, QLatin1String("CAST(? AS TEXT)")));
        for (const QString &name : leftOut) {
            const QByteArray utf8 = name.toUtf8();
            // A name beyond Latin-1 has no Latin-1 form ("?" would stand for what it lacks).
            const QByteArray latin1 = name.toLatin1();
            const bool fitsLatin1 = QString::fromLatin1(latin1) == name;
            values << SpotText::foldedAscii(utf8) << SpotText::foldedAscii(fitsLatin1 ? latin1 : utf8);
        }
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
        return QLatin1String(" ORDER BY ") + categoryRankCase() + direction + QLatin1String(",id DESC");
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
    const QString window
        = rowColumns + QLatin1String(" FROM ") + table() + where + orderBy() + QLatin1String(" LIMIT ? OFFSET ?");
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
