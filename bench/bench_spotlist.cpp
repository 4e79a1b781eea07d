#include "benchsupport.h"
#include "figures.h"
#include "spotlistcorpus.h"
#include "spotsmodel.h"
#include "tarnwick.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <variant>

namespace {

constexpr int windowSize = 200;
constexpr int otherCategory = 2;

// The statements SpotsModel runs for these steps, written out for the C API.
const QByteArray selectColumns = "SELECT id,subcat,spotdate,title,spotter FROM spots";
const QByteArray newestFirst = " ORDER BY id DESC LIMIT ? OFFSET ?";
const QByteArray searchCondition = " WHERE CAST(title AS TEXT) LIKE '%'||?||'%' OR CAST(spotter AS TEXT) LIKE '%'||?||'%'"
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
// finalised each time, as the model does through Qt.
class CConnection
{
public:
    explicit CConnection(const QString &file)
    {
        Bench::require(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK,
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

    qint64 scalar(const QByteArray &sql, std::initializer_list<Value> values = {}) const
    {
        sqlite3_stmt *statement = prepared(sql, values);
        Bench::require(sqlite3_step(statement) == SQLITE_ROW, "a count statement gave no row");
        const qint64 value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return value;
    }

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

    // The model goes first: it holds the controller's connection.
    std::unique_ptr<Tarnwick> controller;
    std::unique_ptr<SpotsModel> model;
};

// The store that the figures of one size share; opened once per size.
struct Session
{
    int millions = 0;
    QString spotsFile;
    std::unique_ptr<Program> program;
    std::unique_ptr<CConnection> capi;
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
    current.capi.reset();
    current.millions = 0;
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
    current.program = std::make_unique<Program>();
    current.capi = std::make_unique<CConnection>(current.spotsFile);
    current.millions = millions;
    return current;
}

// The fastest of runs in milliseconds; prepare runs untimed before each run (to move the
// model's window or filter elsewhere).
template<typename Prepare, typename Run>
double bestMs(Prepare prepare, Run run, int runs = 5)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

void nothing() {}

// A window of the all filter at offset; the model loads it for a row 100 further down
// (any row of the first 100 for offset 0).
double windowMs(Session &s, SpotListPath path, int offset)
{
    const int row = offset == 0 ? 0 : offset + 100;
    const int elsewhere = offset == 0 ? 1000 : 0;
    if (path == SpotListPath::Model) {
        SpotsModel &model = *s.program->model;
        model.setFilter({}, 0, 0);
        int id = 0;
        const double ms = bestMs([&] { s.program->idAt(elsewhere); }, [&] { id = s.program->idAt(row); });
        Bench::require(id > 0, "the model showed no row in the window");
        return ms;
    }
    QList<Row> rows;
    const double ms = bestMs(nothing, [&] { rows = s.capi->rows(selectAll, {windowSize, offset}); });
    Bench::require(rows.size() == windowSize, "the window statement gave too few rows");
    return ms;
}

// Choosing the largest category: its count, then its first window.
double countCategoryMs(Session &s, SpotListPath path)
{
    if (path == SpotListPath::Model) {
        SpotsModel &model = *s.program->model;
        const double ms = bestMs([&] { model.setFilter({}, otherCategory, 0); },
                                 [&] { model.setFilter({}, SpotListCorpus::largestCategory, 0); });
        Bench::require(model.rowCount() > windowSize && s.program->idAt(0) > 0, "the category shows no rows");
        return ms;
    }
    qint64 count = 0;
    QList<Row> rows;
    const double ms = bestMs(nothing, [&] {
        count = s.capi->scalar(countCategory, {SpotListCorpus::largestCategory});
        rows = s.capi->rows(selectCategory, {SpotListCorpus::largestCategory, windowSize, 0});
    });
    Bench::require(count > windowSize && rows.size() == windowSize, "the category statements gave too few rows");
    return ms;
}

// A search: its first window, and the count statement when that window is full.
double searchMs(Session &s, SpotListPath path, const QByteArray &word, bool rare)
{
    if (path == SpotListPath::Model) {
        SpotsModel &model = *s.program->model;
        const double ms = bestMs([&] { model.setFilter({}, otherCategory, 0); }, [&] { model.setFilter(word, 0, 0); }, 3);
        Bench::require(rare ? model.rowCount() > 0 && model.rowCount() < windowSize : model.rowCount() > windowSize,
                       "the search found an unexpected number of spots");
        return ms;
    }
    qint64 count = 0;
    const double ms = bestMs(nothing, [&] {
        const QList<Row> rows = s.capi->rows(selectSearch, {word, word, word, windowSize, 0});
        count = rows.size() == windowSize ? s.capi->scalar(countSearch, {word, word, word}) : rows.size();
    }, 3);
    Bench::require(rare ? count > 0 && count < windowSize : count > windowSize, "the search found an unexpected number of spots");
    return ms;
}

// From nothing to the first rows of "Alles": open the store, read the baselines, count, load the window.
double startupMs(Session &s, SpotListPath path)
{
    if (path == SpotListPath::Model) {
        QString firstTitle;
        const double ms = bestMs([&] { s.program.reset(); }, [&] {
            s.program = std::make_unique<Program>();
            s.program->model->setFilter({}, 0, 0);
            firstTitle = s.program->model->data(s.program->model->index(0, 2)).toString();
        });
        Bench::require(!firstTitle.isEmpty(), "no first row after start-up");
        return ms;
    }
    QList<Row> rows;
    const double ms = bestMs(nothing, [&] {
        CConnection connection(s.spotsFile);
        connection.scalar("SELECT max(id) FROM spots");
        connection.scalar("SELECT max(id) FROM erospots");
        connection.scalar(countAll);
        rows = connection.rows(selectAll, {windowSize, 0});
    });
    Bench::require(rows.size() == windowSize, "no first rows through the C API");
    return ms;
}

} // namespace

double spotListMs(int millions, SpotListStep step, SpotListPath path)
{
    Session &s = session(millions);
    switch (step) {
    case SpotListStep::WindowAtOffset0:
        return windowMs(s, path, 0);
    case SpotListStep::WindowAtOffset900000:
        return windowMs(s, path, 900'000);
    case SpotListStep::CountCategory:
        return countCategoryMs(s, path);
    case SpotListStep::SearchRare:
        return searchMs(s, path, SpotListCorpus::rareWord, true);
    case SpotListStep::SearchCommon:
        return searchMs(s, path, SpotListCorpus::commonWord, false);
    case SpotListStep::StartupToFirstRows:
        return startupMs(s, path);
    }
    return 0;
}
