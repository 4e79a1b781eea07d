#include "spotsmodel.h"

#include "categoryscheme.h"
#include "detailstexts.h"
#include "spotdetailsstore.h"
#include "spotsource.h"
#include "spottext.h"

#include <QBrush>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int windowSize = 200;
constexpr int windowLead = 100;
const QColor newSpotColour(0, 100, 0, 255);

int maxId(const QSqlDatabase &database, const QString &table)
{
    QSqlQuery query(QStringLiteral("SELECT max(id) FROM ") + table, database);
    return query.next() ? query.value(0).toInt() : 0;
}

// The rows of a window by their ids: one statement for all of them.
QByteArray selectByIds(const QString &table)
{
    QByteArray sql = QByteArray(SpotQuery::rowColumns.data(), SpotQuery::rowColumns.size()) + " FROM "
        + table.toLatin1() + " WHERE id IN (?";
    for (int i = 1; i < windowSize; ++i)
        sql += ",?";
    return sql + ")";
}

// Runs the window statement (prepared again when its text changed or it failed last time)
// and appends its rows; false when it failed.
template<typename Bind, typename Take>
bool runWindow(std::optional<SqliteStatement> &query, QByteArray &preparedSql, const QSqlDatabase &database,
               const QByteArray &sql, Bind bind, Take take)
{
    if (preparedSql != sql) {
        query.emplace(database, sql);
        preparedSql = sql;
    }
    bind(*query);
    SqliteStatement::Result step;
    while ((step = query->step()) == SqliteStatement::Result::Row)
        take(*query);
    query->finish();
    if (step != SqliteStatement::Result::Failed)
        return true;
    qDebug() << "Fout bij raadplegen database";
    // Prepared again at the next request: a missing table may be there by then.
    query.reset();
    preparedSql.clear();
    return false;
}

QString shownColumn(const SqliteStatement &row, int column)
{
    return SpotText::shown(row.bytes(column), row.isText(column));
}

// The list's mark of a spot on the watch list: a small gold star.
QIcon markIcon()
{
    static const QIcon icon = [] {
        QPixmap star(16, 16);
        star.fill(Qt::transparent);
        QPainter painter(&star);
        painter.setRenderHint(QPainter::Antialiasing);
        QPolygonF points;
        for (int i = 0; i < 10; ++i) {
            const double radius = i % 2 == 0 ? 7.5 : 3.2;
            const double angle = M_PI / 5 * i - M_PI / 2;
            points << QPointF(8 + radius * std::cos(angle), 8 + radius * std::sin(angle));
        }
        painter.setPen(QColor(150, 110, 0));
        painter.setBrush(QColor(240, 190, 20));
        painter.drawPolygon(points);
        return QIcon(star);
    }();
    return icon;
}
} // namespace

SpotsModel::SpotsModel(SpotSource *controller, QObject *parent)
    : QAbstractTableModel(parent)
    , controller(controller)
    , database(controller->spotsDatabase())
    , baselines{maxId(database, QStringLiteral("spots")), maxId(database, QStringLiteral("erospots"))}
    , keeper(database, nullptr)
    , spotSizes(QFileInfo(database.databaseName()).absolutePath() + QLatin1Char('/') + SpotDetailsStore::fileName())
{
    connect(controller, &SpotSource::newSpots, this, &SpotsModel::onNewSpots);
    connect(&keeper, &SpotIndexKeeper::counted, this, &SpotsModel::countDeferredRows);
    connect(&keeper, &SpotIndexKeeper::indexReady, this, &SpotsModel::onIndexReady);
    connect(&keeper, &SpotIndexKeeper::indexLost, this, &SpotsModel::forgetSelection);
    connect(&keeper, &SpotIndexKeeper::caughtUp, this, &SpotsModel::showNewRows);
    connect(&keeper, &SpotIndexKeeper::retryDue, this, &SpotsModel::onNewSpots);
    // Once the event loop runs: reading millions of rows must not slow down the first rows.
    QMetaObject::invokeMethod(&keeper, &SpotIndexKeeper::start, Qt::QueuedConnection);
}

SpotsModel::~SpotsModel() = default;

SpotQuery SpotsModel::query() const
{
    return SpotQuery(filter, baselines, sortChoice);
}

// The builder read the table for its count: counting again here finds its pages in the file cache.
void SpotsModel::countDeferredRows()
{
    if (!countDeferred)
        return;
    countDeferred = false;
    const SpotQuery::Statements statements = query().statements();
    const int counted = count(statements.countStatement, statements.countValues);
    if (counted > rows) {
        beginInsertRows(QModelIndex(), rows, counted - 1);
        rows = counted;
        endInsertRows();
    }
}

void SpotsModel::onIndexReady()
{
    if (filter.kind() == SpotFilter::Kind::Marked) {
        Q_EMIT indexed();
        Q_EMIT indexUpdated();
        return;
    }
    SpotQuery::Selection chosen = *currentSelection();
    countDeferred = false;
    const bool reset = chosen.count != rows;
    if (reset) {
        beginResetModel();
        selectedIds = std::move(chosen.ids);
        rows = chosen.count;
        window = {};
        endResetModel();
    } else {
        selectedIds = std::move(chosen.ids);
        window = {};
    }
    windowQuery.reset();
    windowSql.clear();
    // The index sorts titles and spotters otherwise than the statements did.
    if (!reset && (sortChoice || sizeOrder) && rows > 0)
        Q_EMIT dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
    Q_EMIT indexed();
    Q_EMIT indexUpdated();
}

void SpotsModel::forgetSelection()
{
    selectedIds.clear();
    windowQuery.reset();
    windowSql.clear();
}

SpotIndexKeeper::Refresh SpotsModel::refreshIndex()
{
    if (keeper.state() != SpotIndexKeeper::State::Ready || keeper.waitsForCommit())
        return SpotIndexKeeper::Refresh::Done;
    return keeper.refresh();
}

std::optional<SpotQuery::Selection> SpotsModel::currentSelection() const
{
    if (!keeper.index() || filter.kind() == SpotFilter::Kind::Marked)
        return std::nullopt;
    SpotQuery::Selection chosen
        = query().select(*keeper.index(), {controller->newSpotCount(), controller->newEroticSpotCount()});
    const bool erotic = filter.readsEroticTable();
    if (filter.saved && (filter.saved->minSize > 0 || filter.saved->maxSize > 0)) {
        chosen.ids = spotSizes.within(chosen.ids, erotic, filter.saved->minSize, filter.saved->maxSize);
        chosen.count = int(chosen.ids.size());
    }
    if (sizeOrder)
        chosen.ids = spotSizes.sorted(std::move(chosen.ids), erotic, *sizeOrder);
    return chosen;
}

void SpotsModel::setRetryInterval(int milliseconds)
{
    keeper.setRetryInterval(milliseconds);
}

bool SpotsModel::isIndexed() const
{
    return keeper.state() == SpotIndexKeeper::State::Ready || keeper.state() == SpotIndexKeeper::State::CatchingUp;
}

qsizetype SpotsModel::indexMemoryBytes() const
{
    return keeper.index()
        ? keeper.memoryBytes() + qsizetype(selectedIds.capacity() * sizeof(int)) + spotSizes.memoryBytes()
        : 0;
}

int SpotsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

int SpotsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SpotsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case DateColumn:
        return tr("Datum");
    case CategoryColumn:
        return tr("Cat");
    case TitleColumn:
        return tr("Titel");
    case SpotterColumn:
        return tr("Spotter");
    case SizeColumn:
        return tr("Grootte");
    }
    return {};
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
    const ListRow &row = window.rows.at(position - window.first);
    if (row.spot.messageId.isEmpty())
        return {};
    const bool erotic = row.spot.erotic;
    switch (role) {
    case Qt::DisplayRole:
        return displayValue(row, index.column());
    case Qt::ForegroundRole:
        if (row.id > (erotic ? baselines.eroticId : baselines.spotId))
            return QBrush(newSpotColour);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::DecorationRole:
        if (index.column() == TitleColumn && markedIds.contains(row.spot.messageId))
            return markIcon();
        return {};
    case SpotIdRole:
        return erotic ? -row.id : row.id;
    case MessageIdRole:
        return row.spot.messageId;
    }
    return {};
}

QVariant SpotsModel::displayValue(const ListRow &row, int column) const
{
    switch (column) {
    case DateColumn:
        return QDateTime::fromSecsSinceEpoch(row.spot.spotDate).toString(QStringLiteral("dd-MM-yy (hh:mm)"));
    case CategoryColumn:
        return CategoryScheme::shortCategoryName(row.spot.subcategory);
    case TitleColumn:
        return row.spot.title;
    case SpotterColumn:
        return row.spot.spotter;
    case SizeColumn:
        return DetailsTexts::size(row.size);
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

// A row of the window statements (SpotQuery::rowColumns).
SpotsModel::ListRow SpotsModel::readRow(const SqliteStatement &row, bool erotic)
{
    return {int(row.integer(0)),
            {row.bytes(6).toByteArray(), int(row.integer(1)), int(row.integer(2)), row.integer(3), shownColumn(row, 4),
             shownColumn(row, 5), erotic}};
}

bool SpotsModel::loadMarks(int position, int &rowCount, Window &loaded) const
{
    rowCount = int(marks.size());
    for (const MarkedSpot &mark : marks) {
        loaded.rows.append({0, mark.spot});
    }
    loaded.first = 0;
    loaded.last = rowCount - 1;
    return position <= loaded.last;
}

bool SpotsModel::load(int position, int &rowCount, Window &loaded) const
{
    qDebug() << "Loading from db, requested row:" << position;
    loaded.rows.clear();
    loaded.first = qMax(position - windowLead, 0);
    loaded.last = loaded.first - 1;
    if (filter.kind() == SpotFilter::Kind::Marked)
        return loadMarks(position, rowCount, loaded);
    const bool found = isIndexed() ? loadByIds(position, loaded) : loadByOffset(position, rowCount, loaded);
    readSizes(loaded);
    return found;
}

void SpotsModel::readSizes(Window &loaded) const
{
    std::vector<int> ids;
    ids.reserve(size_t(loaded.rows.size()));
    for (const ListRow &row : std::as_const(loaded.rows)) {
        if (row.id > 0)
            ids.push_back(row.id);
    }
    const QHash<int, qint64> sizes = spotSizes.sizesOf(ids, filter.readsEroticTable());
    for (ListRow &row : loaded.rows)
        row.size = sizes.value(row.id);
}

void SpotsModel::onDetailsStored()
{
    spotSizes.forget();
    if (window.first == -1 || window.rows.isEmpty())
        return;
    readSizes(window);
    Q_EMIT dataChanged(index(window.first, SizeColumn), index(window.last, SizeColumn), {Qt::DisplayRole});
}

bool SpotsModel::loadByOffset(int position, int &rowCount, Window &loaded) const
{
    const SpotQuery::Statements query = this->query().statements();
    const bool erotic = filter.readsEroticTable();
    bool deferCount = false;
    if (rowCount == 0) {
        countDeferred = false;
        deferCount = filter.kind() == SpotFilter::Kind::All && !keeper.hasCounted();
        if (query.counting == SpotQuery::Counting::NewSpots)
            rowCount = controller->newSpotCount();
        else if (query.counting == SpotQuery::Counting::NewEroticSpots)
            rowCount = controller->newEroticSpotCount();
        else if (query.counting == SpotQuery::Counting::Statement && !deferCount)
            rowCount = count(query.countStatement, query.countValues);
    }
    const bool ran = runWindow(
        windowQuery, windowSql, database, query.window.toUtf8(),
        [&](SqliteStatement &statement) {
            int parameter = 1;
            for (const QVariant &value : query.values)
                statement.bind(parameter++, value);
            statement.bind(parameter++, qint64(windowSize));
            statement.bind(parameter, qint64(loaded.first));
        },
        [&](const SqliteStatement &row) {
            loaded.rows.append(readRow(row, erotic));
            ++loaded.last;
        });
    if (!ran) {
        loaded.rows.clear();
        loaded.last = loaded.first - 1;
        return false;
    }
    if (deferCount) {
        rowCount = loaded.last + 1;
        countDeferred = rowCount == windowSize;
    }
    if (query.counting == SpotQuery::Counting::FromSearchRows && rowCount == 0) {
        rowCount = loaded.last + 1;
        if (rowCount == windowSize)
            rowCount = count(query.countStatement, query.countValues);
    }
    return loaded.first <= position && position <= loaded.last;
}

// The window's ids come from the index; a row deleted since then stays in place, empty.
bool SpotsModel::loadByIds(int position, Window &loaded) const
{
    const qsizetype first = loaded.first;
    const bool erotic = filter.readsEroticTable();
    const qsizetype end = std::min(qsizetype(selectedIds.size()), first + windowSize);
    if (first >= end)
        return false;
    QHash<int, ListRow> found;
    const bool ran = runWindow(
        windowQuery, windowSql, database, selectByIds(query().table()),
        [&](SqliteStatement &statement) {
            for (qsizetype i = first; i < end; ++i)
                statement.bind(int(i - first + 1), qint64(selectedIds[size_t(i)]));
        },
        [&](const SqliteStatement &row) {
            ListRow read = readRow(row, erotic);
            found.insert(read.id, std::move(read));
        });
    if (!ran)
        return false;
    for (qsizetype i = first; i < end; ++i)
        loaded.rows.append(found.value(selectedIds[size_t(i)]));
    loaded.last = int(end - 1);
    return loaded.first <= position && position <= loaded.last;
}

void SpotsModel::setFilter(const QByteArray &search, int category, int subcategory)
{
    SpotFilter chosen{search, category, subcategory};
    chosen.hiddenSpotters = filter.hiddenSpotters;
    changeFilter(chosen);
}

void SpotsModel::setSavedFilter(const QByteArray &search, const SpotFilter::Saved &saved)
{
    SpotFilter chosen;
    chosen.search = search;
    chosen.saved = saved;
    chosen.hiddenSpotters = filter.hiddenSpotters;
    changeFilter(chosen);
}

void SpotsModel::showMarks(const QList<MarkedSpot> &shown)
{
    SpotFilter chosen;
    chosen.marked = true;
    chosen.hiddenSpotters = filter.hiddenSpotters;
    givenMarks = shown;
    sortMarks();
    filter = {}; // the marks may have changed: shown again
    changeFilter(chosen);
}

void SpotsModel::setHiddenSpotters(const QStringList &names)
{
    SpotFilter chosen = filter;
    chosen.hiddenSpotters = names;
    changeFilter(chosen);
}

void SpotsModel::setMarkedIds(const QSet<QByteArray> &messageIds)
{
    markedIds = messageIds;
    if (rows > 0)
        Q_EMIT dataChanged(index(0, TitleColumn), index(rows - 1, TitleColumn), {Qt::DecorationRole});
}

void SpotsModel::sort(int column, Qt::SortOrder order)
{
    std::optional<SpotQuery::Sort> chosen;
    std::optional<Qt::SortOrder> bySize;
    if (column == SizeColumn)
        bySize = order;
    else if (column >= 0 && column < ColumnCount)
        chosen = SpotQuery::Sort{SortColumn(column), order};
    if (chosen.has_value() == sortChoice.has_value() && bySize == sizeOrder
        && (!chosen || (chosen->column == sortChoice->column && chosen->order == sortChoice->order)))
        return;
    sortChoice = chosen;
    sizeOrder = bySize;
    if (!sizeOrder)
        spotSizes.forget();
    sortMarks();
    const SpotFilter shown = filter;
    filter = {};
    changeFilter(shown);
}

// As the index sorts rows: numbers as they are, texts as ShownOrder compares them.
void SpotsModel::sortMarks()
{
    // From the order given: a sort before leaves its order among marks that sort alike.
    marks = givenMarks;
    if (!sortChoice)
        return;
    struct Keyed
    {
        qint64 number;
        QByteArray text;
        MarkedSpot mark;
    };
    std::vector<Keyed> keyed;
    for (const MarkedSpot &mark : std::as_const(marks)) {
        switch (sortChoice->column) {
        case SortColumn::Date:
            keyed.push_back({mark.spot.spotDate, {}, mark});
            break;
        case SortColumn::Category:
            keyed.push_back({ShownOrder::categoryRank(mark.spot.subcategory), {}, mark});
            break;
        case SortColumn::Title:
            keyed.push_back({0, mark.spot.title.toUtf8(), mark});
            break;
        case SortColumn::Spotter:
            keyed.push_back({0, mark.spot.spotter.toUtf8(), mark});
            break;
        }
    }
    const int direction = sortChoice->order == Qt::AscendingOrder ? 1 : -1;
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
        const int order = a.number != b.number ? (a.number < b.number ? -1 : 1) : ShownOrder::compare(a.text, b.text);
        return order * direction < 0;
    });
    marks.clear();
    for (const Keyed &entry : keyed)
        marks.append(entry.mark);
}

void SpotsModel::changeFilter(const SpotFilter &chosen)
{
    if (chosen == filter)
        return;
    filter = chosen;

    beginResetModel();
    rows = 0;
    if (keeper.state() == SpotIndexKeeper::State::CatchingUp)
        keeper.takeBack();
    // The rows as they are now, as a query would read them, whether announced or not.
    refreshIndex();
    if (std::optional<SpotQuery::Selection> selection = currentSelection()) {
        selectedIds = std::move(selection->ids);
        rows = selection->count;
    }
    load(0, rows, window);
    endResetModel();
}

void SpotsModel::onNewSpots()
{
    switch (keeper.state()) {
    case SpotIndexKeeper::State::CatchingUp:
        return; // they come with the index
    case SpotIndexKeeper::State::Ready:
        if (keeper.waitsForCommit())
            return; // they come with the commit of the range
        if (keeper.needsCatchUp()) {
            keeper.catchUp();
            return;
        }
        break;
    case SpotIndexKeeper::State::Idle:
    case SpotIndexKeeper::State::Building:
        break;
    }
    showNewRows();
}

void SpotsModel::showNewRows()
{
    if (refreshIndex() == SpotIndexKeeper::Refresh::Failed)
        return; // the rows stay as they are until the read is tried again
    if (filter.kind() != SpotFilter::Kind::Marked)
        showSelection();
    if (keeper.index())
        Q_EMIT indexUpdated();
}

void SpotsModel::showSelection()
{
    const int old = rows;
    int counted = 0;
    std::optional<SpotQuery::Selection> selection = currentSelection();
    std::vector<int> ids;
    if (selection) {
        ids = std::move(selection->ids);
        counted = selection->count;
    }
    // The window is read with the new ids in place.
    std::swap(ids, selectedIds);
    Window reloaded;
    load(0, counted, reloaded);
    std::swap(ids, selectedIds);

    const auto take = [&] {
        rows = counted;
        window = reloaded;
        if (selection)
            selectedIds = std::move(ids);
    };
    // New rows are at the top, newest first; in a sorted list they are anywhere.
    if (counted > old && !sortChoice && !sizeOrder) {
        beginInsertRows(QModelIndex(), 0, counted - old - 1);
        take();
        endInsertRows();
    } else if (counted != old) {
        beginResetModel();
        take();
        endResetModel();
    } else {
        take();
        // The same number of rows can still be other rows (expired ones replaced by new ones).
        if (rows > 0)
            Q_EMIT dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
    }
}
