// The saved filters and hidden spotters of the spot list over a generated store: counting the
// new spots of 20 saved filters after a range arrives, opening a saved filter, hiding spotters.
#include "benchsupport.h"
#include "categoryscheme.h"
#include "figures.h"
#include "savedfiltercounts.h"
#include "spotlistcorpus.h"
#include "searchquery.h"
#include "spotsmodel.h"
#include "spottext.h"
#include "sqlitestatement.h"
#include "tarnwick.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <functional>
#include <optional>

namespace {

constexpr int otherCategory = 2;
constexpr qint64 day = 24 * 60 * 60;

// A saved filter as the window makes it: the search text and the rest.
struct SavedFilter
{
    QByteArray search;
    SpotFilter::Saved saved;
};

struct CountTimes
{
    double indexMs = 0; // newSpots() until the list showed the range (indexUpdated)
    double countedMs = 0; // newSpots() until every filter was counted
    double indexBusyMs = 0; // the longest pass of the event loop until the counting began
    double countingBusyMs = 0; // the longest pass of the event loop while counting
    double timerGapMs = 0; // the longest gap between the ticks of a 1 ms timer, newSpots() until counted
};

// The program's side of one store, a connection of its own that writes the ranges, and
// spotters to leave out and to hide.
struct Session
{
    int millions = 0;
    std::unique_ptr<Tarnwick> controller;
    std::unique_ptr<SpotsModel> model;
    sqlite3 *writer = nullptr;
    qint64 newestId = 0;
    qint64 newestEroticId = 0;
    qint64 newestDate = 0;
    QStringList spotters;
    std::optional<CountTimes> countTimes;
};

Session current;

void closeSession()
{
    current.model.reset();
    current.controller.reset();
    sqlite3_close(current.writer);
    current.writer = nullptr;
    current.countTimes.reset();
    current.millions = 0;
}

void execute(sqlite3 *connection, const QByteArray &sql, std::optional<qint64> value = std::nullopt)
{
    SqliteStatement statement(connection, sql);
    if (value)
        statement.bind(1, *value);
    Bench::require(statement.run() == SqliteStatement::Result::Done, "a statement of the filter figures failed");
}

qint64 scalar(sqlite3 *connection, const QByteArray &sql)
{
    SqliteStatement statement(connection, sql);
    Bench::require(statement.step() == SqliteStatement::Result::Row, "a statement gave no row");
    const qint64 value = statement.integer(0);
    statement.finish();
    return value;
}

// Spotters of a few spots spread over the store, as the list shows them.
QStringList someSpotters(sqlite3 *connection, qint64 spots)
{
    SqliteStatement statement(connection, "SELECT spotter FROM spots WHERE id=?");
    QStringList names;
    for (const qint64 id : {spots / 2, spots / 3, spots / 5, spots / 7}) {
        statement.bind(1, id);
        Bench::require(statement.step() == SqliteStatement::Result::Row, "a spot to take a spotter from is missing");
        names << SpotText::shown(statement.bytes(0), statement.isText(0));
        statement.finish();
    }
    return names;
}

Session &session(int millions)
{
    if (current.millions == millions)
        return current;
    if (current.millions == 0) {
        // The model writes a debug line per window; the connections must go before Qt's SQL driver.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        qAddPostRoutine(closeSession);
    }
    closeSession();
    closeSpotListStore();
    const QString file = SpotListCorpus::useStore(millions);
    Bench::require(sqlite3_open_v2(QFile::encodeName(file).constData(), &current.writer, SQLITE_OPEN_READWRITE, nullptr)
                       == SQLITE_OK,
                   "cannot open spots.db");
    sqlite3_busy_timeout(current.writer, 10'000);
    current.newestId = scalar(current.writer, "SELECT max(id) FROM spots");
    current.newestEroticId = scalar(current.writer, "SELECT coalesce(max(id),0) FROM erospots");
    current.newestDate = scalar(current.writer, "SELECT spotdate FROM spots WHERE id=(SELECT max(id) FROM spots)");
    current.spotters = someSpotters(current.writer, current.newestId);
    current.controller = std::make_unique<Tarnwick>();
    current.model = std::make_unique<SpotsModel>(current.controller.get(), nullptr);
    QEventLoop loop;
    QObject::connect(current.model.get(), &SpotsModel::indexed, &loop, &QEventLoop::quit);
    if (!current.model->isIndexed())
        Bench::runLoop(loop, "the list's index was never built", 600'000);
    current.millions = millions;
    return current;
}

// Twenty saved filters as users make them: words, a phrase, a -word, spotter: and tag:,
// alternatives; within categories and sub-categories, an age, left-out spotters.
QList<SavedFilter> savedFilters(const Session &s)
{
    const auto age = [&](int days) { return s.newestDate - days * day; };
    const QStringList leftOut = s.spotters.mid(0, 2);
    const QStringList oneLeftOut = s.spotters.mid(2, 1);
    return {
        {"1080p", {{1}, 0, {}}},
        {"Zomer Nacht", {{}, 0, {}}},
        {"\"Complete Serie\"", {{1}, 0, {}}},
        {"Live -Concert", {{2}, 0, {}}},
        {"spotter:Zomer", {{}, 0, {}}},
        {"FLAC", {{2}, age(30), {}}},
        {"x265 NLsubs", {{101, 102, 103}, 0, {}}},
        {"", {{3}, age(7), {}}},
        {"", {{100, 104, 106}, 0, leftOut}},
        {SpotListCorpus::rareWord, {{}, 0, {}}},
        {"PS4 | XBOX", {{3}, 0, oneLeftOut}},
        {"Win x64", {{4}, age(365), {}}},
        {"tag:film 2160p", {{1}, 0, {}}},
        {"-tag:kids Familie", {{1, 3}, 0, {}}},
        {"", {{CategoryScheme::erotic}, age(30), {}}},
        {"Caf", {{}, age(365), leftOut}},
        {"Eng -XviD", {{1}, 0, oneLeftOut}},
        {"Legends | Kingdom | Empire", {{}, 0, {}}},
        {"MULTi5", {{3}, age(365), {}}},
        {"\"NL Gesproken\"", {{1}, age(30), leftOut}},
    };
}

SpotFilter spotFilter(const SavedFilter &saved)
{
    SpotFilter filter;
    filter.search = saved.search;
    filter.saved = saved.saved;
    return filter;
}

// Runs the event loop until done() holds, checked at every pass over the posted events.
template<typename Done>
void runUntil(Done done)
{
    QEventLoop loop;
    QObject context;
    std::function<void()> check = [&] {
        if (done())
            loop.quit();
        else
            QMetaObject::invokeMethod(&context, check, Qt::QueuedConnection);
    };
    check();
    loop.exec();
}

// How the turns of the event loop are seen: a call that posts itself again, run once per pass
// over the posted events (where SavedFilterCounts counts), or a timer ticking every 1 ms; Qt
// runs timers only when no posted event waits.
enum class Probe { PostedEvents, Timer };

// One range: newSpots() until every filter was counted, with the longest time between two
// turns seen, before and after the list showed the range.
CountTimes countRange(Session &s, SavedFilterCounts &counts, int rowsThen, Probe probe)
{
    CountTimes times;
    QEventLoop loop;
    QObject context;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QElapsedTimer sinceNewSpots;
    QElapsedTimer sinceTurn;
    bool indexUpdated = false;
    bool counting = false; // from the first turn after indexUpdated()
    bool done = false;
    std::function<void()> turn = [&] {
        const double gap = double(sinceTurn.nsecsElapsed()) / 1e6;
        sinceTurn.restart();
        double &longest = probe == Probe::Timer ? times.timerGapMs
            : counting                          ? times.countingBusyMs
                                                : times.indexBusyMs;
        longest = std::max(longest, gap);
        counting = counting || indexUpdated;
        if (counting && counts.isCounted()) {
            times.countedMs = double(sinceNewSpots.nsecsElapsed()) / 1e6;
            done = true;
            loop.quit();
        } else if (probe == Probe::PostedEvents) {
            QMetaObject::invokeMethod(&context, turn, Qt::QueuedConnection);
        }
    };
    QObject::connect(&tick, &QTimer::timeout, turn);
    const QMetaObject::Connection updated = QObject::connect(s.model.get(), &SpotsModel::indexUpdated, [&] {
        if (!std::exchange(indexUpdated, true))
            times.indexMs = double(sinceNewSpots.nsecsElapsed()) / 1e6;
    });
    sinceNewSpots.start();
    sinceTurn.start();
    s.model->onNewSpots();
    if (probe == Probe::Timer)
        tick.start();
    else
        QMetaObject::invokeMethod(&context, turn, Qt::QueuedConnection);
    loop.exec();
    QObject::disconnect(updated);
    Bench::require(done && s.model->rowCount() == rowsThen, "the list did not show the new range");
    return times;
}

// Copies of the newest 50,001 spots (501 in smoke mode) arrive in one transaction, four times
// (twice in smoke mode), seen alternately through posted events and through a timer; each is
// deleted again. The worst of the runs.
CountTimes countTimes(Session &s)
{
    const qint64 range = Bench::sized<qint64>(50'001, 501);
    SpotsModel &model = *s.model;
    model.setFilter({}, 0, 0);
    const int before = model.rowCount();
    QList<SavedFilterCounts::Entry> entries;
    qint64 id = 0;
    for (const SavedFilter &saved : savedFilters(s)) {
        const SpotFilter filter = spotFilter(saved);
        entries.append({++id, filter, filter.readsEroticTable() ? s.newestEroticId : s.newestId});
    }
    SavedFilterCounts counts(&model, nullptr);
    counts.setFilters(entries);
    const auto removeRange = [&] {
        execute(s.writer, "DELETE FROM spots WHERE id>?", s.newestId);
        model.onNewSpots();
        runUntil([&] { return model.rowCount() == before && model.indexKeeper().index() && counts.isCounted(); });
    };
    CountTimes worst;
    for (int run = 0; run < Bench::sized(4, 2); ++run) {
        removeRange();
        execute(s.writer, "BEGIN");
        execute(s.writer,
                "INSERT INTO spots(cat,subcat,spotdate,title,spotter,tag,msgid) SELECT cat,subcat,spotdate+1,"
                "title,spotter,tag,msgid||'r' FROM spots ORDER BY id DESC LIMIT ?",
                range);
        execute(s.writer, "COMMIT");
        const CountTimes times
            = countRange(s, counts, int(before + range), run % 2 ? Probe::Timer : Probe::PostedEvents);
        int found = 0;
        for (const SavedFilterCounts::Entry &entry : entries)
            found += counts.count(entry.id);
        Bench::require(found > 0, "the saved filters found no new spots");
        worst = {std::max(worst.indexMs, times.indexMs), std::max(worst.countedMs, times.countedMs),
                 std::max(worst.indexBusyMs, times.indexBusyMs), std::max(worst.countingBusyMs, times.countingBusyMs),
                 std::max(worst.timerGapMs, times.timerGapMs)};
    }
    removeRange();
    return worst;
}

// The fastest of three runs of show (after prepare, untimed), in milliseconds, up to the first
// row read; the count is exact once the model has chosen its rows.
template<typename Prepare, typename Show>
double shownMs(Session &s, Prepare prepare, Show show)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < Bench::sized(3, 1); ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        show();
        s.model->data(s.model->index(0, SpotsModel::TitleColumn));
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    Bench::require(s.model->rowCount() > 0, "the list shows no rows");
    return best;
}

// The slowest saved filter to open (or, search, its search text alone), each the fastest of three.
double filterOpenMs(Session &s, bool searchAlone)
{
    double slowest = 0;
    for (const SavedFilter &saved : savedFilters(s)) {
        if (searchAlone && SearchQuery(saved.search).isEmpty())
            continue;
        const double ms = shownMs(
            s, [&] { s.model->setFilter({}, otherCategory, 0); },
            [&] {
                if (searchAlone)
                    s.model->setFilter(saved.search, 0, 0);
                else
                    s.model->setSavedFilter(saved.search, saved.saved);
            });
        slowest = std::max(slowest, ms);
    }
    return slowest;
}

// Hiding two spotters on "Alles", or showing them again.
double hideSpotterMs(Session &s, bool hide)
{
    const QStringList hidden = s.spotters.mid(0, 2);
    s.model->setFilter({}, 0, 0);
    const int all = s.model->rowCount();
    const double ms = shownMs(
        s, [&] { s.model->setHiddenSpotters(hide ? QStringList() : hidden); },
        [&] { s.model->setHiddenSpotters(hide ? hidden : QStringList()); });
    Bench::require(hide ? s.model->rowCount() < all : s.model->rowCount() == all, "hiding left the rows as they were");
    s.model->setHiddenSpotters({});
    return ms;
}

} // namespace

double filterFigure(int millions, FilterFigure figure)
{
    Session &s = session(millions);
    const auto times = [&] {
        if (!s.countTimes)
            s.countTimes = countTimes(s);
        return *s.countTimes;
    };
    switch (figure) {
    case FilterFigure::CountsMs:
        return times().countedMs;
    case FilterFigure::CountsIndexMs:
        return times().indexMs;
    case FilterFigure::CountsBusyMs:
        return times().countingBusyMs;
    case FilterFigure::CountsIndexBusyMs:
        return times().indexBusyMs;
    case FilterFigure::CountsTimerGapMs:
        return times().timerGapMs;
    case FilterFigure::OpenMs:
        return filterOpenMs(s, false);
    case FilterFigure::OpenSearchAloneMs:
        return filterOpenMs(s, true);
    case FilterFigure::HideSpotterMs:
        return hideSpotterMs(s, true);
    case FilterFigure::ShowSpotterMs:
        break;
    }
    return hideSpotterMs(s, false);
}
