#include "spotsmodel.h"

#include "bytetext.h"
#include "categoryscheme.h"
#include "spotsource.h"

#include <QBrush>
#include <QDateTime>
#include <QDebug>
#include <QSqlQuery>

namespace {

constexpr int windowSize = 200;
constexpr int windowLead = 100;
constexpr int columns = 4;
const QColor newSpotColour(0, 100, 0, 255);

const QLatin1StringView selectColumns("SELECT id,subcat,spotdate,title,spotter FROM ");
// Titles, spotters and tags are mostly stored as BLOB, which LIKE never matches: compare their text.
const QLatin1StringView searchCondition(
    " WHERE CAST(title AS TEXT) LIKE '%'||?||'%' OR CAST(spotter AS TEXT) LIKE '%'||?||'%'"
    " OR CAST(tag AS TEXT) LIKE '%'||?||'%'");
const QLatin1StringView newestFirst(" ORDER BY id DESC LIMIT ? OFFSET ?");

enum class Counting { NewSpots, NewEroticSpots, Statement, FromSearchRows };

// The statements and values of one filter.
struct FilterQuery
{
    QString select;
    QVariantList values; // before LIMIT and OFFSET
    Counting counting;
    QString countStatement;
    QVariantList countValues;
};

int maxId(const QSqlDatabase &database, const QString &table)
{
    QSqlQuery query(QStringLiteral("SELECT max(id) FROM ") + table, database);
    return query.next() ? query.value(0).toInt() : 0;
}

// Title and spotter as 8-bit strings: text as Latin-1, a blob byte for byte.
QByteArray eightBit(const SqliteStatement &row, int column)
{
    const QByteArrayView bytes = row.bytes(column);
    return row.isText(column) ? ByteText::toBytes(QString::fromUtf8(bytes)) : bytes.toByteArray();
}

// Which rows a filter shows, and how they are counted. The filters are tried in order:
// a search wins over any category, a sub-category over a category.
FilterQuery filterQuery(const QByteArray &search, int category, int subcategory, const QString &table,
                        int baselineSpotId, int baselineEroticId)
{
    const QString from = selectColumns + table;
    const QString countFrom = QStringLiteral("SELECT count(*) FROM ") + table;
    if (!search.isEmpty()) {
        const QVariantList text{search, search, search};
        return {from + searchCondition + newestFirst, text, Counting::FromSearchRows, countFrom + searchCondition, text};
    }
    if (category == CategoryScheme::newSpots)
        return {from + QLatin1String(" WHERE id>?") + newestFirst, {baselineSpotId}, Counting::NewSpots, {}, {}};
    if (category == CategoryScheme::allSpots && subcategory == 0)
        return {from + newestFirst, {}, Counting::Statement, countFrom, {}};
    if (subcategory != 0 && category != CategoryScheme::newEroticSpots) {
        return {from + QLatin1String(" WHERE subcat=?") + newestFirst, {subcategory}, Counting::Statement,
                countFrom + QLatin1String(" WHERE subcat=?"), {subcategory}};
    }
    if (category == CategoryScheme::newEroticSpots) {
        return {QStringLiteral("SELECT id,subcat,spotdate,title,spotter FROM erospots WHERE id>? ORDER BY id DESC LIMIT ? OFFSET ?"),
                {baselineEroticId}, Counting::NewEroticSpots, {}, {}};
    }
    return {from + QLatin1String(" WHERE cat=?") + newestFirst, {category}, Counting::Statement,
            countFrom + QLatin1String(" WHERE cat=?"), {category}};
}

} // namespace

SpotsModel::SpotsModel(SpotSource *controller, QObject *parent)
    : QAbstractTableModel(parent)
    , controller(controller)
    , database(controller->spotsDatabase())
    , baselineSpotId(maxId(database, QStringLiteral("spots")))
    , baselineEroticId(maxId(database, QStringLiteral("erospots")))
{
    connect(controller, &SpotSource::newSpots, this, &SpotsModel::onNewSpots);
}

int SpotsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

int SpotsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant SpotsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return tr("Datum");
    case 1:
        return tr("Cat");
    case 2:
        return tr("Titel");
    case 3:
        return tr("Spotter");
    }
    return {};
}

bool SpotsModel::readsEroticTable() const
{
    if (!searchText.isEmpty())
        return false;
    return categoryFilter == CategoryScheme::erotic || categoryFilter == CategoryScheme::newEroticSpots
        || subcategoryFilter > 899;
}

QVariant SpotsModel::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.column() < 0 || !index.model())
        return {};
    const int position = index.row();
    if (window.first == -1 || position < window.first || position > window.last) {
        if (!load(position, rows, window))
            return {};
    }
    const SpotRow &row = window.rows.at(position - window.first);
    const bool erotic = readsEroticTable();
    switch (role) {
    case Qt::DisplayRole:
        return displayValue(row, index.column());
    case Qt::ForegroundRole:
        if (row.id > (erotic ? baselineEroticId : baselineSpotId))
            return QBrush(newSpotColour);
        return {};
    case Qt::UserRole:
        return erotic ? -row.id : row.id;
    }
    return {};
}

QVariant SpotsModel::displayValue(const SpotRow &row, int column) const
{
    switch (column) {
    case 0:
        return QDateTime::fromSecsSinceEpoch(row.spotDate).toString(QStringLiteral("dd-MM-yy (hh:mm)"));
    case 1:
        return CategoryScheme::shortCategoryName(row.subcat);
    case 2:
        return ByteText::toText(row.title);
    case 3:
        return ByteText::toText(row.spotter);
    }
    return {};
}

int SpotsModel::count(const QString &statement, const QVariantList &values) const
{
    QSqlQuery query(database);
    query.prepare(statement);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (query.exec() && query.next())
        return query.value(0).toInt();
    qDebug() << "Fout bij raadplegen database";
    return 0;
}

bool SpotsModel::load(int position, int &rowCount, Window &loaded) const
{
    qDebug() << "Loading from db, requested row:" << position;
    loaded.rows.clear();
    loaded.first = qMax(position - windowLead, 0);
    loaded.last = loaded.first - 1;

    const QString table = readsEroticTable() ? QStringLiteral("erospots") : QStringLiteral("spots");
    const FilterQuery filter =
        filterQuery(searchText, categoryFilter, subcategoryFilter, table, baselineSpotId, baselineEroticId);
    if (rowCount == 0) {
        if (filter.counting == Counting::NewSpots)
            rowCount = controller->newSpotCount();
        else if (filter.counting == Counting::NewEroticSpots)
            rowCount = controller->newEroticSpotCount();
        else if (filter.counting == Counting::Statement)
            rowCount = count(filter.countStatement, filter.countValues);
    }

    if (windowSql != filter.select) {
        windowQuery.emplace(database, filter.select.toUtf8());
        windowSql = filter.select;
    }
    int parameter = 1;
    for (const QVariant &value : filter.values)
        windowQuery->bind(parameter++, value);
    windowQuery->bind(parameter++, qint64(windowSize));
    windowQuery->bind(parameter, qint64(loaded.first));
    SqliteStatement::Result step;
    while ((step = windowQuery->step()) == SqliteStatement::Result::Row) {
        loaded.rows.append({int(windowQuery->integer(0)), int(windowQuery->integer(1)), windowQuery->integer(2),
                            eightBit(*windowQuery, 3), eightBit(*windowQuery, 4)});
        ++loaded.last;
    }
    windowQuery->finish();
    if (step == SqliteStatement::Result::Failed) {
        qDebug() << "Fout bij raadplegen database";
        // Prepared again at the next request: a missing table may be there by then.
        windowQuery.reset();
        windowSql.clear();
        loaded.rows.clear();
        loaded.last = loaded.first - 1;
        return false;
    }
    if (filter.counting == Counting::FromSearchRows && rowCount == 0) {
        rowCount = loaded.last + 1;
        if (rowCount == windowSize)
            rowCount = count(filter.countStatement, filter.countValues);
    }
    return loaded.first <= position && position <= loaded.last;
}

void SpotsModel::setFilter(const QByteArray &search, int category, int subcategory)
{
    if (search == searchText && category == categoryFilter && subcategory == subcategoryFilter)
        return;
    searchText = search;
    categoryFilter = category;
    subcategoryFilter = subcategory;

    beginResetModel();
    rows = 0;
    load(0, rows, window);
    endResetModel();
}

void SpotsModel::onNewSpots()
{
    const int old = rows;
    int counted = 0;
    Window reloaded;
    load(0, counted, reloaded);

    if (counted > old) {
        beginInsertRows(QModelIndex(), 0, counted - old - 1);
        rows = counted;
        window = reloaded;
        endInsertRows();
    } else if (counted < old) {
        beginResetModel();
        rows = counted;
        window = reloaded;
        endResetModel();
    } else {
        window = reloaded;
        // The same number of rows can still be other rows (expired ones replaced by new ones).
        if (rows > 0)
            Q_EMIT dataChanged(index(0, 0), index(rows - 1, columns - 1));
    }
}
