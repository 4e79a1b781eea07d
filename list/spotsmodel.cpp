#include "spotsmodel.h"

#include "categoryscheme.h"
#include "searchquery.h"
#include "spotindexbuilder.h"
#include "spotsource.h"
#include "spottext.h"

#include <QBrush>
#include <QDateTime>
#include <QDebug>
#include <QSqlQuery>

#include <sqlite3.h>

namespace {

constexpr int windowSize = 200;
constexpr int windowLead = 100;
constexpr int columns = 4;
const QColor newSpotColour(0, 100, 0, 255);
// From this many rows on, growing or compacting the index's arrays moves hundreds of
// megabytes: every change of the tables is read into it on the builder's thread.
constexpr qsizetype largeIndex = 500'000;

const QLatin1StringView selectColumns("SELECT id,subcat,spotdate,title,spotter FROM ");
const QLatin1StringView newestFirst(" ORDER BY id DESC LIMIT ? OFFSET ?");

enum class Counting { NewSpots, NewEroticSpots, Statement, FromSearchRows };

// The statements and values of one filter, for reading by offset.
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

QString tableOf(const SpotFilter &filter)
{
    return filter.readsEroticTable() ? QStringLiteral("erospots") : QStringLiteral("spots");
}

FilterQuery filterQuery(const SpotFilter &filter, int baselineSpotId, int baselineEroticId)
{
    const QString table = tableOf(filter);
    const QString from = selectColumns + table;
    const QString countFrom = QStringLiteral("SELECT count(*) FROM ") + table;
    switch (filter.kind()) {
    case SpotFilter::Kind::Search: {
        const SearchQuery::Sql search = SearchQuery(filter.search).sqlCondition();
        const QString where = QLatin1String(" WHERE ") + search.condition;
        return {from + where + newestFirst, search.values, Counting::FromSearchRows, countFrom + where, search.values};
    }
    case SpotFilter::Kind::New:
        return {from + QLatin1String(" WHERE id>?") + newestFirst, {baselineSpotId}, Counting::NewSpots, {}, {}};
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
            from + QLatin1String(" WHERE id>?") + newestFirst, {baselineEroticId}, Counting::NewEroticSpots, {}, {}};
    case SpotFilter::Kind::Category:
        break;
    }
    return {from + QLatin1String(" WHERE cat=?") + newestFirst,
            {filter.category},
            Counting::Statement,
            countFrom + QLatin1String(" WHERE cat=?"),
            {filter.category}};
}

// The rows of a window by their ids: one statement for all of them.
QByteArray selectByIds(const QString &table)
{
    QByteArray sql = QByteArray("SELECT id,subcat,spotdate,title,spotter FROM ") + table.toLatin1() + " WHERE id IN (?";
    for (int i = 1; i < windowSize; ++i)
        sql += ",?";
    return sql + ") ORDER BY id DESC";
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
} // namespace

SpotsModel::SpotsModel(SpotSource *controller, QObject *parent)
    : QAbstractTableModel(parent)
    , controller(controller)
    , database(controller->spotsDatabase())
    , baselineSpotId(maxId(database, QStringLiteral("spots")))
    , baselineEroticId(maxId(database, QStringLiteral("erospots")))
{
    connect(controller, &SpotSource::newSpots, this, &SpotsModel::onNewSpots);
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(retryIntervalMs);
    connect(&retryTimer, &QTimer::timeout, this, &SpotsModel::retryRead);
    // Once the event loop runs: reading millions of rows must not slow down the first rows.
    QMetaObject::invokeMethod(this, &SpotsModel::startIndexBuild, Qt::QueuedConnection);
}

SpotsModel::~SpotsModel() = default;

void SpotsModel::startIndexBuild()
{
    builder = std::make_unique<SpotIndexBuilder>(database.databaseName(), nullptr);
    connect(builder.get(), &SpotIndexBuilder::counted, this, &SpotsModel::onSpotsCounted);
    connect(builder.get(), &SpotIndexBuilder::built, this, &SpotsModel::onIndexBuilt);
}

// The builder read the table for its count: counting again here finds its pages in the file cache.
void SpotsModel::onSpotsCounted()
{
    spotsCounted = true;
    countDeferredRows();
}

void SpotsModel::countDeferredRows()
{
    if (!countDeferred)
        return;
    countDeferred = false;
    const FilterQuery query = filterQuery(filter, baselineSpotId, baselineEroticId);
    const int counted = count(query.countStatement, query.countValues);
    if (counted > rows) {
        beginInsertRows(QModelIndex(), rows, counted - 1);
        rows = counted;
        endInsertRows();
    }
}

void SpotsModel::onIndexBuilt()
{
    spotIndex = builder->take();
    builder.reset();
    spotsCounted = true;
    if (!spotIndex) {
        // The file could not be read: the rows are read by offset until a later build succeeds.
        countDeferredRows();
        retryLater();
        return;
    }
    // What was stored while the builder read: a few thousand rows at most, unless a range is open.
    if (!waitsForCommit() && updateIndex() == SpotListIndex::Update::Inconsistent)
        return;
    Selection chosen = select();
    countDeferred = false;
    if (chosen.count != rows) {
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
    Q_EMIT indexed();
}

void SpotsModel::startCatchUp()
{
    catchingUp = true;
    spotIndex->handOver(sqliteHandle(database));
    builder = std::make_unique<SpotIndexBuilder>(database.databaseName(), nullptr, std::move(spotIndex));
    connect(builder.get(), &SpotIndexBuilder::built, this, &SpotsModel::onCaughtUp);
    Q_EMIT catchUpStarted();
}

bool SpotsModel::changesGoToBuilder() const
{
    sqlite3 *connection = sqliteHandle(database);
    return spotIndex->idsBehind(connection) > SpotIndexBuilder::fewRows
        || (spotIndex->size() >= largeIndex && !spotIndex->isCurrent(connection));
}

bool SpotsModel::waitsForCommit() const
{
    sqlite3 *connection = sqliteHandle(database);
    return connection && !sqlite3_get_autocommit(connection)
        && spotIndex->idsBehind(connection) > SpotIndexBuilder::fewRows;
}

void SpotsModel::onCaughtUp()
{
    const bool failed = builder->readFailed();
    takeCaughtUpIndex();
    if (failed && spotIndex) {
        // The rows shown stay as they were until the read is tried again.
        retryLater();
        return;
    }
    // What was stored since is read here, unless it is a range again (a committed one: the
    // builder cannot see the rows of one still open).
    if (spotIndex && !waitsForCommit() && spotIndex->idsBehind(sqliteHandle(database)) > SpotIndexBuilder::fewRows)
        startCatchUp();
    else
        showNewRows();
}

void SpotsModel::takeCaughtUpIndex()
{
    builder->finish();
    spotIndex = builder->take();
    builder.reset();
    catchingUp = false;
    // The file could not be read there.
    if (!spotIndex)
        rebuildIndex();
}

SpotListIndex::Update SpotsModel::updateIndex()
{
    const SpotListIndex::Update result = spotIndex->update(sqliteHandle(database));
    if (result == SpotListIndex::Update::Failed)
        retryLater();
    else if (result != SpotListIndex::Update::Done)
        // Rows appeared below the newest: another program wrote the file. Read it all again.
        rebuildIndex();
    return result;
}

void SpotsModel::retryLater()
{
    qDebug() << "Fout bij raadplegen database";
    retryTimer.start();
}

void SpotsModel::retryRead()
{
    if (builder)
        return; // what it reads comes with it, and a failure there is tried again
    if (spotIndex)
        onNewSpots();
    else
        startIndexBuild();
}

void SpotsModel::setRetryInterval(int milliseconds)
{
    retryTimer.setInterval(milliseconds);
}

void SpotsModel::rebuildIndex()
{
    spotIndex.reset();
    selectedIds.clear();
    windowQuery.reset();
    windowSql.clear();
    startIndexBuild();
}

SpotsModel::Selection SpotsModel::select() const
{
    Selection chosen{spotIndex->select(filter, baselineSpotId, baselineEroticId), 0};
    // The new lists count what the download stored, whether or not the rows are still there.
    switch (filter.kind()) {
    case SpotFilter::Kind::New:
        chosen.count = controller->newSpotCount();
        break;
    case SpotFilter::Kind::EroticNew:
        chosen.count = controller->newEroticSpotCount();
        break;
    default:
        chosen.count = int(chosen.ids.size());
    }
    return chosen;
}

bool SpotsModel::isIndexed() const
{
    return spotIndex || catchingUp;
}

qsizetype SpotsModel::indexMemoryBytes() const
{
    return spotIndex ? spotIndex->memoryBytes() + qsizetype(selectedIds.capacity() * sizeof(int)) : 0;
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
    if (row.id == 0)
        return {};
    const bool erotic = filter.readsEroticTable();
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

QVariant SpotsModel::displayValue(const ListRow &row, int column) const
{
    switch (column) {
    case 0:
        return QDateTime::fromSecsSinceEpoch(row.spotDate).toString(QStringLiteral("dd-MM-yy (hh:mm)"));
    case 1:
        return CategoryScheme::shortCategoryName(row.subcat);
    case 2:
        return row.title;
    case 3:
        return row.spotter;
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
    return isIndexed() ? loadByIds(position, loaded) : loadByOffset(position, rowCount, loaded);
}

bool SpotsModel::loadByOffset(int position, int &rowCount, Window &loaded) const
{
    const FilterQuery query = filterQuery(filter, baselineSpotId, baselineEroticId);
    bool deferCount = false;
    if (rowCount == 0) {
        countDeferred = false;
        deferCount = filter.kind() == SpotFilter::Kind::All && !spotsCounted;
        if (query.counting == Counting::NewSpots)
            rowCount = controller->newSpotCount();
        else if (query.counting == Counting::NewEroticSpots)
            rowCount = controller->newEroticSpotCount();
        else if (query.counting == Counting::Statement && !deferCount)
            rowCount = count(query.countStatement, query.countValues);
    }
    const bool ran = runWindow(
        windowQuery, windowSql, database, query.select.toUtf8(),
        [&](SqliteStatement &statement) {
            int parameter = 1;
            for (const QVariant &value : query.values)
                statement.bind(parameter++, value);
            statement.bind(parameter++, qint64(windowSize));
            statement.bind(parameter, qint64(loaded.first));
        },
        [&](const SqliteStatement &row) {
            loaded.rows.append(
                {int(row.integer(0)), int(row.integer(1)), row.integer(2), shownColumn(row, 3), shownColumn(row, 4)});
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
    if (query.counting == Counting::FromSearchRows && rowCount == 0) {
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
    const qsizetype end = std::min(qsizetype(selectedIds.size()), first + windowSize);
    if (first >= end)
        return false;
    QList<ListRow> found;
    const bool ran = runWindow(
        windowQuery, windowSql, database, selectByIds(tableOf(filter)),
        [&](SqliteStatement &statement) {
            for (qsizetype i = first; i < end; ++i)
                statement.bind(int(i - first + 1), qint64(selectedIds[size_t(i)]));
        },
        [&](const SqliteStatement &row) {
            found.append(
                {int(row.integer(0)), int(row.integer(1)), row.integer(2), shownColumn(row, 3), shownColumn(row, 4)});
        });
    if (!ran)
        return false;
    // Both newest first.
    qsizetype next = 0;
    for (qsizetype i = first; i < end; ++i) {
        const int id = selectedIds[size_t(i)];
        if (next < found.size() && found.at(next).id == id)
            loaded.rows.append(found.at(next++));
        else
            loaded.rows.append(ListRow());
    }
    loaded.last = int(end - 1);
    return loaded.first <= position && position <= loaded.last;
}

void SpotsModel::setFilter(const QByteArray &search, int category, int subcategory)
{
    const SpotFilter chosen{search, category, subcategory};
    if (chosen == filter)
        return;
    filter = chosen;

    beginResetModel();
    rows = 0;
    if (catchingUp)
        takeCaughtUpIndex();
    // The rows as they are now, as a query would read them, whether announced or not.
    if (spotIndex && (waitsForCommit() || updateIndex() != SpotListIndex::Update::Inconsistent)) {
        Selection selection = select();
        selectedIds = std::move(selection.ids);
        rows = selection.count;
    }
    load(0, rows, window);
    endResetModel();
}

void SpotsModel::onNewSpots()
{
    // They come with the index, or with the commit of the range.
    if (catchingUp || (spotIndex && waitsForCommit()))
        return;
    if (spotIndex && changesGoToBuilder()) {
        startCatchUp();
        return;
    }
    showNewRows();
}

void SpotsModel::showNewRows()
{
    const int old = rows;
    int counted = 0;
    std::vector<int> ids;
    if (spotIndex && !waitsForCommit() && updateIndex() == SpotListIndex::Update::Failed)
        return; // the rows stay as they are until the read is tried again
    if (spotIndex) {
        Selection selection = select();
        ids = std::move(selection.ids);
        counted = selection.count;
    }
    // The window is read with the new ids in place.
    std::swap(ids, selectedIds);
    Window reloaded;
    load(0, counted, reloaded);
    std::swap(ids, selectedIds);

    const auto take = [&] {
        rows = counted;
        window = reloaded;
        if (spotIndex)
            selectedIds = std::move(ids);
    };
    if (counted > old) {
        beginInsertRows(QModelIndex(), 0, counted - old - 1);
        take();
        endInsertRows();
    } else if (counted < old) {
        beginResetModel();
        take();
        endResetModel();
    } else {
        take();
        // The same number of rows can still be other rows (expired ones replaced by new ones).
        if (rows > 0)
            Q_EMIT dataChanged(index(0, 0), index(rows - 1, columns - 1));
    }
}
