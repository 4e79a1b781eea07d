#include "benchsupport.h"
#include "figures.h"
#include "spotlistcorpus.h"
#include "spotdetailsstore.h"
#include "spotlistindex.h"
#include "spotsmodel.h"
#include "sqlitestatement.h"
#include "tarnwick.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <variant>

namespace {

constexpr int windowSize = 200;
constexpr int otherCategory = 2;

// The statements the list ran before it had an index, written out for the C API.
const QByteArray selectColumns = "SELECT id,subcat,spotdate,title,spotter FROM spots";
const QByteArray newestFirst = " ORDER BY id DESC LIMIT ? OFFSET ?";
const QByteArray searchCondition
    = " WHERE CAST(title AS TEXT) LIKE '%'||?||'%' OR CAST(spotter AS TEXT) LIKE '%'||?||'%'"
      " OR CAST(tag AS TEXT) LIKE '%'||?||'%'";
const QByteArray selectAll = selectColumns + newestFirst;
const QByteArray selectCategory = selectColumns + " WHERE cat=?" + newestFirst;
const QByteArray selectSearch = selectColumns + searchCondition + newestFirst;
const QByteArray countAll = "SELECT count(*) FROM spots";
const QByteArray countCategory = countAll + " WHERE cat=?";
const QByteArray countSearch = countAll + searchCondition;

using Value = std::variant<qint64, QByteArray>;

// A window row as the model holds it.
struct Row
{
    int id;
    int subcat;
    qint64 spotDate;
    QByteArray title;
    QByteArray spotter;
};

// A connection of its own on the same spots.db; every statement is prepared, run and
// finalised each time, as the model did through Qt.
class CConnection
{
public:
    explicit CConnection(const QString &file)
    {
        Bench::require(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
                           == SQLITE_OK,
                       "cannot open spots.db through the C API");
    }
    ~CConnection() { sqlite3_close(db); }
    Q_DISABLE_COPY_MOVE(CConnection)

    QList<Row> rows(const QByteArray &sql, std::initializer_list<Value> values) const
    {
        sqlite3_stmt *statement = prepared(sql, values);
        QList<Row> rows;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            rows.append({sqlite3_column_int(statement, 0), sqlite3_column_int(statement, 1),
                         sqlite3_column_int64(statement, 2), bytes(statement, 3), bytes(statement, 4)});
        }
        sqlite3_finalize(statement);
        return rows;
    }

    void execute(const QByteArray &sql, std::initializer_list<Value> values = {}) const
    {
        sqlite3_stmt *statement = prepared(sql, values);
        const int step = sqlite3_step(statement);
        sqlite3_finalize(statement);
        Bench::require(step == SQLITE_DONE, "a statement failed");
    }

    qint64 scalar(const QByteArray &sql, std::initializer_list<Value> values = {}) const
    {
        sqlite3_stmt *statement = prepared(sql, values);
        Bench::require(sqlite3_step(statement) == SQLITE_ROW, "a count statement gave no row");
        const qint64 value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return value;
    }

    sqlite3 *handle() const { return db; }

private:
    sqlite3_stmt *prepared(const QByteArray &sql, std::initializer_list<Value> values) const
    {
        sqlite3_stmt *statement = nullptr;
        Bench::require(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) == SQLITE_OK,
                       "a statement did not prepare");
        int position = 0;
        for (const Value &value : values) {
            ++position;
            if (const qint64 *number = std::get_if<qint64>(&value))
                sqlite3_bind_int64(statement, position, *number);
            else
                sqlite3_bind_blob(statement, position, std::get<QByteArray>(value).constData(),
                                  int(std::get<QByteArray>(value).size()), SQLITE_TRANSIENT);
        }
        return statement;
    }

    static QByteArray bytes(sqlite3_stmt *statement, int column)
    {
        const void *data = sqlite3_column_blob(statement, column);
        return QByteArray(static_cast<const char *>(data), sqlite3_column_bytes(statement, column));
    }

    sqlite3 *db = nullptr;
};

// The program's side of one store: the controller and the list model, as the main window makes them.
struct Program
{
    Program()
        : controller(std::make_unique<Tarnwick>())
        , model(std::make_unique<SpotsModel>(controller.get(), nullptr))
    {
    }

    int idAt(int row) const { return model->data(model->index(row, 0), Qt::UserRole).toInt(); }

    void waitForIndex() const
    {
        QEventLoop loop;
        QObject::connect(model.get(), &SpotsModel::indexed, &loop, &QEventLoop::quit);
        if (!model->isIndexed())
            loop.exec();
    }

    // The model goes first: it holds the controller's connection.
    std::unique_ptr<Tarnwick> controller;
    std::unique_ptr<SpotsModel> model;
};

struct RangeTimes
{
    double shownMs = 0;
    double longestBusyMs = 0;
};

// The store that the figures of one size share; opened once per size.
struct Session
{
    int millions = 0;
    QString spotsFile;
    std::unique_ptr<Program> program;
    std::unique_ptr<CConnection> capi;
    // The bench's own index, for sorting: the model does not sort (yet).
    std::unique_ptr<SpotListIndex> sortIndex;
    qint64 spots = 0;
    double buildSeconds = 0;
    double memoryMegabytes = 0;
    std::optional<RangeTimes> rangeTimes;
};

Session current;

// The model writes a debug line per window; thousands of them would bury the figures.
QtMessageHandler passOn = nullptr;
void withoutDebugLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg)
        passOn(type, context, message);
}

void closeSession()
{
    current.program.reset();
    current.sortIndex.reset();
    current.capi.reset();
    current.millions = 0;
    current.rangeTimes.reset();
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields.at(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / 1e6 : 0;
}

// A program started on the store, up to its index being in use.
double startAndIndex(Session &s)
{
    QElapsedTimer timer;
    timer.start();
    s.program = std::make_unique<Program>();
    s.program->waitForIndex();
    return double(timer.nsecsElapsed()) / 1e9;
}

Session &session(int millions)
{
    if (current.millions == millions)
        return current;
    if (!passOn) {
        passOn = qInstallMessageHandler(withoutDebugLines);
        // The connections must go while Qt's SQL driver is still there.
        qAddPostRoutine(closeSession);
    }
    closeSession();
    current.spotsFile = SpotListCorpus::useStore(millions);
    current.capi = std::make_unique<CConnection>(current.spotsFile);
    current.spots = current.capi->scalar(countAll);
    // Memory first, before a program has run here at all.
    const double before = residentMegabytes();
    current.buildSeconds = startAndIndex(current);
    current.memoryMegabytes = residentMegabytes() - before;
    current.millions = millions;
    return current;
}

// Out of the file cache and out of every connection's own page cache: the next read goes to disk.
void forgetPages(Session &s)
{
    for (const QString &file : {s.spotsFile, s.spotsFile + QLatin1String("-wal")}) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    if (s.program)
        sqlite3_db_release_memory(sqliteHandle(s.program->controller->spotsDatabase()));
    sqlite3_db_release_memory(s.capi->handle());
}

// The fastest of runs in milliseconds; prepare runs untimed before each run (to move the
// model's window or filter elsewhere, and for cold figures to forget the pages read).
template<typename Prepare, typename Run>
double bestMs(Session &s, bool cold, Prepare prepare, Run run, int runs = 5)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < Bench::sized(cold ? std::min(runs, 3) : runs, 1); ++i) {
        prepare();
        if (cold)
            forgetPages(s);
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

void nothing() {}

// A window of the all filter at offset; the model loads it for a row 100 further down
// (any row of the first 100 for offset 0, the last row for the last window).
double windowMs(Session &s, SpotListPath path, bool cold, qint64 offset)
{
    const bool last = offset < 0;
    const int first = int(last ? s.spots - windowSize : offset);
    const int row = last ? int(s.spots - 1) : offset == 0 ? 0 : first + 100;
    const int elsewhere = offset == 0 ? 1000 : 0;
    if (path == SpotListPath::Model) {
        SpotsModel &model = *s.program->model;
        model.setFilter({}, 0, 0);
        int id = 0;
        const double ms = bestMs(
            s, cold, [&] { s.program->idAt(elsewhere); }, [&] { id = s.program->idAt(row); });
        Bench::require(id > 0, "the model showed no row in the window");
        return ms;
    }
    QList<Row> rows;
    const double ms = bestMs(s, cold, nothing, [&] { rows = s.capi->rows(selectAll, {windowSize, first}); });
    Bench::require(rows.size() == windowSize, "the window statement gave too few rows");
    return ms;
}

// Choosing the largest category: its count, then its first window.
double treeItemMs(Session &s, SpotListPath path, bool cold)
{
    if (path == SpotListPath::Model) {
        SpotsModel &model = *s.program->model;
        int id = 0;
        const double ms = bestMs(
            s, cold, [&] { model.setFilter({}, otherCategory, 0); },
            [&] {
                model.setFilter({}, SpotListCorpus::largestCategory, 0);
                id = s.program->idAt(0);
            });
        Bench::require(model.rowCount() > windowSize && id > 0, "the category shows no rows");
        return ms;
    }
    qint64 count = 0;
    QList<Row> rows;
    const double ms = bestMs(s, cold, nothing, [&] {
        count = s.capi->scalar(countCategory, {SpotListCorpus::largestCategory});
        rows = s.capi->rows(selectCategory, {SpotListCorpus::largestCategory, windowSize, 0});
    });
    Bench::require(count > windowSize && rows.size() == windowSize, "the category statements gave too few rows");
    return ms;
}

QByteArray searchWord(SpotListWord word)
{
    switch (word) {
    case SpotListWord::Rare:
        return SpotListCorpus::rareWord;
    case SpotListWord::Common:
        return SpotListCorpus::commonWord;
    case SpotListWord::None:
        return SpotListCorpus::noWord;
    case SpotListWord::Short:
        break;
    }
    return SpotListCorpus::shortWord;
}

void requireHits(SpotListWord word, qint64 hits)
{
    switch (word) {
    case SpotListWord::Rare:
        return Bench::require(hits > 0 && hits < windowSize, "the rare word was found too often");
    case SpotListWord::None:
        return Bench::require(hits == 0, "the missing word was found");
    case SpotListWord::Common:
    case SpotListWord::Short:
        return Bench::require(hits > windowSize, "the common word was found too seldom");
    }
}

// A search: its first window shown (first rows), or its row count known (count). The model
// counts as it chooses the rows, so both are one setFilter(); the C API runs the window
// select, or the count statement.
double searchMs(Session &s, SpotListPath path, bool cold, SpotListWord word, bool count)
{
    const QByteArray text = searchWord(word);
    if (path == SpotListPath::Model) {
        SpotsModel &model = *s.program->model;
        const double ms = bestMs(
            s, cold, [&] { model.setFilter({}, otherCategory, 0); },
            [&] {
                model.setFilter(text, 0, 0);
                if (!count)
                    model.data(model.index(0, 2));
            },
            3);
        requireHits(word, model.rowCount());
        return ms;
    }
    qint64 hits = 0;
    const double ms = bestMs(
        s, cold, nothing,
        [&] {
            hits = count ? s.capi->scalar(countSearch, {text, text, text})
                         : s.capi->rows(selectSearch, {text, text, text, windowSize, 0}).size();
        },
        3);
    if (count)
        requireHits(word, hits);
    return ms;
}

// From nothing to the first rows of "Alles": open the store, read the baselines, count, load
// the window. The index is built meanwhile, in the background.
double startupMs(Session &s, SpotListPath path, bool cold)
{
    if (path == SpotListPath::Model) {
        QString firstTitle;
        const double ms = bestMs(
            s, cold, [&] { s.program.reset(); },
            [&] {
                s.program = std::make_unique<Program>();
                s.program->model->setFilter({}, 0, 0);
                firstTitle = s.program->model->data(s.program->model->index(0, 2)).toString();
            });
        Bench::require(!firstTitle.isEmpty(), "no first row after start-up");
        s.program->waitForIndex();
        return ms;
    }
    QList<Row> rows;
    const double ms = bestMs(s, cold, nothing, [&] {
        CConnection connection(s.spotsFile);
        connection.scalar("SELECT max(id) FROM spots");
        connection.scalar("SELECT max(id) FROM erospots");
        connection.scalar(countAll);
        rows = connection.rows(selectAll, {windowSize, 0});
    });
    Bench::require(rows.size() == windowSize, "no first rows through the C API");
    return ms;
}

// Calls newSpots() and runs the event loop until the list holds rows rows: how long that took,
// and the longest the window's thread was away from its event loop at once meanwhile (an idle
// timer runs at every turn).
RangeTimes showRows(SpotsModel &model, int rows)
{
    RangeTimes times;
    QEventLoop loop;
    QTimer idle;
    idle.setInterval(0);
    QElapsedTimer sinceNewSpots;
    QElapsedTimer sinceLastTurn;
    QObject::connect(&idle, &QTimer::timeout, [&] {
        times.longestBusyMs = std::max(times.longestBusyMs, double(sinceLastTurn.nsecsElapsed()) / 1e6);
        sinceLastTurn.restart();
        if (model.rowCount() == rows) {
            times.shownMs = double(sinceNewSpots.nsecsElapsed()) / 1e6;
            loop.quit();
        }
    });
    sinceNewSpots.start();
    sinceLastTurn.start();
    model.onNewSpots();
    idle.start();
    Bench::runLoop(loop, "the list never showed the new rows", 60'000);
    return times;
}

// A range of the download, committed through another connection than the list's: copies of
// the newest 50,001 spots (501 in smoke mode). The spots are deleted again after each run.
RangeTimes newRangeTimes(Session &s)
{
    const qint64 range = Bench::sized<qint64>(50'001, 501);
    SpotsModel &model = *s.program->model;
    model.setFilter({}, 0, 0);
    const int before = model.rowCount();
    const qint64 newest = s.capi->scalar("SELECT max(id) FROM spots");
    const auto removeRange = [&] {
        s.capi->execute("DELETE FROM spots WHERE id>?", {newest});
        showRows(model, before);
    };
    RangeTimes worst{0, 0};
    for (int run = 0; run < Bench::sized(3, 1); ++run) {
        removeRange();
        s.capi->execute("INSERT INTO spots(cat,subcat,spotdate,title,spotter,tag,msgid) SELECT cat,subcat,spotdate+1,"
                        "title,spotter,tag,msgid||'r' FROM spots ORDER BY id DESC LIMIT ?",
                        {range});
        const RangeTimes times = showRows(model, int(before + range));
        worst = {std::max(worst.shownMs, times.shownMs), std::max(worst.longestBusyMs, times.longestBusyMs)};
        model.index(0, 2).data();
    }
    removeRange();
    return worst;
}

// An index of the store as it is, without any order made.
SpotListIndex &freshSortIndex(Session &s)
{
    s.sortIndex = std::make_unique<SpotListIndex>();
    Bench::require(s.sortIndex->update(s.capi->handle()) == SpotListIndex::Update::Done, "the bench's index failed");
    s.sortIndex->squeeze();
    return *s.sortIndex;
}

// "Alles" chosen and sorted: the ids of its first window.
std::vector<int> firstSortedWindow(const SpotListIndex &index, SortColumn column, Qt::SortOrder order)
{
    const SpotFilter all{{}, 0, 0};
    std::vector<int> ids = index.sorted(all, index.select(all, 0, 0), column, order);
    Bench::require(qint64(ids.size()) > windowSize, "the sorted list lost its rows");
    ids.resize(windowSize);
    return ids;
}

// Gives nine spots of ten a size in the details file beside the store, as the details download
// would; once per store, which keeps the file.
void fillDetails(const Session &s)
{
    SpotDetailsStore details;
    Bench::require(details.open(QFileInfo(s.spotsFile).absolutePath()), "cannot open the details file");
    if (details.progress().done == details.progress().total)
        return;
    std::fprintf(stderr, "tarnwick-bench: filling the details file\n");
    QRandomGenerator random(20261210);
    while (const std::optional<SpotDetailsStore::Batch> batch = details.takeBatch(50'000)) {
        QHash<int, SpotDetails> found;
        for (const SpotDetailsStore::Request &spot : batch->spots) {
            if (random.bounded(10) == 0)
                continue;
            SpotDetails sized;
            sized.size = qint64(random.bounded(1 << 20)) * random.bounded(1 << 16);
            found.insert(spot.spotId, sized);
        }
        Bench::require(details.storeBatch(*batch, found), "a batch of details was not stored");
    }
}

// "Alles" sorted by size through the model, until its first row shows: the slower direction.
double sizeSortMs(Session &s)
{
    fillDetails(s);
    SpotsModel &model = *s.program->model;
    model.setFilter({}, 0, 0);
    double slower = 0;
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        const double ms = bestMs(
            s, false, [&] { model.sort(-1); },
            [&] {
                model.sort(SpotsModel::SizeColumn, order);
                model.data(model.index(0, SpotsModel::SizeColumn));
            },
            3);
        Bench::require(!model.data(model.index(0, SpotsModel::SizeColumn)).toString().isEmpty(),
                       "the list sorted by size shows no size first");
        slower = std::max(slower, ms);
    }
    model.sort(-1);
    return slower;
}

double sortMs(Session &s, SpotSortFigure figure)
{
    if (figure == SpotSortFigure::SizeMs)
        return sizeSortMs(s);
    // The first time is once per index: each run gets an index of its own.
    if (figure == SpotSortFigure::TitleFirstMs) {
        return bestMs(
            s, false, [&] { freshSortIndex(s); },
            [&] { firstSortedWindow(*s.sortIndex, SortColumn::Title, Qt::AscendingOrder); }, 3);
    }
    if (!s.sortIndex)
        freshSortIndex(s);
    const SpotListIndex &index = *s.sortIndex;
    const SortColumn column = figure == SpotSortFigure::TitleAgainMs ? SortColumn::Title : SortColumn::Date;
    firstSortedWindow(index, column, Qt::AscendingOrder);
    double slower = 0;
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder})
        slower = std::max(slower, bestMs(s, false, nothing, [&] { firstSortedWindow(index, column, order); }));
    return slower;
}

double coldIndexBuildSeconds(Session &s)
{
    s.program.reset();
    forgetPages(s);
    return startAndIndex(s);
}

} // namespace

double spotListMs(int millions, SpotListStep step, SpotListPath path, bool cold)
{
    Session &s = session(millions);
    switch (step) {
    case SpotListStep::WindowAtOffset0:
        return windowMs(s, path, cold, 0);
    case SpotListStep::WindowAtOffset900000:
        return windowMs(s, path, cold, SpotListCorpus::spotsPerMillion() * 9 / 10);
    case SpotListStep::WindowAtLastOffset:
        return windowMs(s, path, cold, -1);
    case SpotListStep::TreeItem:
        return treeItemMs(s, path, cold);
    case SpotListStep::StartupToFirstRows:
        return startupMs(s, path, cold);
    }
    return 0;
}

double spotSearchMs(int millions, SpotListWord word, bool count, SpotListPath path, bool cold)
{
    return searchMs(session(millions), path, cold, word, count);
}

double spotIndexFigure(int millions, SpotIndexFigure figure)
{
    Session &s = session(millions);
    switch (figure) {
    case SpotIndexFigure::BuildSeconds:
        return s.buildSeconds;
    case SpotIndexFigure::BuildSecondsCold:
        return coldIndexBuildSeconds(s);
    case SpotIndexFigure::IndexMegabytes:
        return double(s.program->model->indexMemoryBytes()) / 1e6;
    case SpotIndexFigure::NewRangeShownMilliseconds:
        if (!s.rangeTimes)
            s.rangeTimes = newRangeTimes(s);
        return s.rangeTimes->shownMs;
    case SpotIndexFigure::NewRangeLongestBusyMilliseconds:
        if (!s.rangeTimes)
            s.rangeTimes = newRangeTimes(s);
        return s.rangeTimes->longestBusyMs;
    case SpotIndexFigure::ModelMemoryMegabytes:
        break;
    }
    return s.memoryMegabytes;
}

void closeSpotListStore()
{
    closeSession();
}

double spotSortFigure(int millions, SpotSortFigure figure)
{
    return sortMs(session(millions), figure);
}
