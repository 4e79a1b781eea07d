// The header download: 200,000 spot headers from the in-process test server into a store,
// through the program, against the same rows written straight through SQLite's C API.
#include "benchsupport.h"
#include "figures.h"
#include "newsserver.h"
#include "overviewcorpus.h"
#include "settings.h"
#include "spotheader.h"
#include "spotlistcorpus.h"
#include "tarnwick.h"
#include "yencencoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <optional>

namespace {

constexpr qint64 rangeSize = 50'001; // four ranges, as the program asks for them
constexpr qint64 repostEvery = 100;
constexpr qint64 repostDistance = 37;

qint64 headerCount()
{
    return Bench::sized<qint64>(200'000, 2'000);
}

qint64 uniqueSpots()
{
    return headerCount() - headerCount() / repostEvery;
}

// Realistic 530-byte lines; one in a hundred is an earlier spot posted again under a new number.
const QList<QByteArray> &overviewLines()
{
    static const QList<QByteArray> lines = [] {
        QList<QByteArray> made;
        made.reserve(headerCount());
        for (qint64 number = 1; number <= headerCount(); ++number) {
            if (number % repostEvery != repostEvery / 2) {
                made += OverviewCorpus::line(number);
                continue;
            }
            const QByteArray earlier = OverviewCorpus::line(number - repostDistance);
            made += QByteArray::number(number) + earlier.mid(earlier.indexOf('\t'));
        }
        return made;
    }();
    return lines;
}

// The four replies, whole, so that the server spends no time making them while it is timed.
// A command and its whole reply, per range in the order the program asks for them.
using Replies = QList<std::pair<QByteArray, QByteArray>>;

Replies overviewReplies(bool compressed)
{
    Replies replies;
    for (qint64 first = 1; first <= headerCount(); first += rangeSize) {
        const qint64 last = std::min(first + rangeSize - 1, headerCount());
        QByteArray lines;
        for (qint64 number = first; number <= last; ++number)
            lines += overviewLines().at(number - 1);
        const QByteArray range = QByteArray::number(first) + '-' + QByteArray::number(last);
        // answer() adds the CR LF of the last line.
        if (compressed)
            replies.append(
                {"XZVER " + range, "224 compressed data follows\r\n" + YencEncoder::compressedReply(lines).chopped(2)});
        else
            replies.append({"XOVER " + range, "224 Overview information follows\r\n" + lines + '.'});
    }
    return replies;
}

// The spots.db to start from: none, or a store of that many million generated spots.
QString storedSpots(int millions)
{
    return millions == 0 ? QString() : SpotListCorpus::useStore(millions);
}

// From the GROUP command to the notice that the header download is complete.
double programSeconds(bool compressed, int storedMillions)
{
    const Replies replies = overviewReplies(compressed);
    const Bench::FreshProfile profile(storedSpots(storedMillions));
    NewsServer server;
    server.addGroup(Tarnwick::spotGroup, 1, headerCount());
    server.addGroup(Tarnwick::commentGroup, 1, 0);
    QList<QByteArray> expectedCommands = {"GROUP free.pt"};
    for (const auto &[command, reply] : replies) {
        server.answer(command, reply);
        expectedCommands += command;
    }
    Bench::require(server.start(), "the news server did not start");
    Bench::configureServer(server.port());
    QSettings().setValue(Settings::Key::xzver, compressed);

    Tarnwick controller;
    const qint64 before = Bench::storedRows(controller.spotsDatabase());
    Bench::require(before == storedMillions * SpotListCorpus::spotsPerMillion(),
                   "the store does not hold the spots it should");
    QElapsedTimer timer;
    qint64 nanoseconds = 0;
    QEventLoop loop;
    QObject::connect(&server, &NewsServer::commandReceived, &loop, [&](const QByteArray &command) {
        if (command == "GROUP free.pt" && !timer.isValid())
            timer.start();
    });
    QObject::connect(&controller, &Tarnwick::notice, &loop, [&](int, const QString &text) {
        if (!text.startsWith(QLatin1String("Klaar met headeren")))
            return;
        nanoseconds = timer.nsecsElapsed();
        loop.quit();
    });
    Bench::failOnError(controller);
    controller.connectToServer();
    loop.exec();
    Bench::require(Bench::storedRows(controller.spotsDatabase()) - before == uniqueSpots(),
                   "the download lost or doubled spots");
    Bench::require(server.receivedCommands().mid(0, expectedCommands.size()) == expectedCommands,
                   "the download asked for other ranges");
    return double(nanoseconds) / 1e9;
}

// One prepared statement, never prepared again.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        Bench::require(sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) == SQLITE_OK,
                       "a statement did not prepare");
    }
    ~Statement() { sqlite3_finalize(statement); }
    Q_DISABLE_COPY_MOVE(Statement)

    // Values bound as the program binds them: bytes as BLOB, text as UTF-16 TEXT.
    void bind(int column, const QVariant &value)
    {
        if (value.metaType() == QMetaType::fromType<QString>()) {
            const QString text = value.toString();
            sqlite3_bind_text16(statement, column, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        } else if (value.metaType() == QMetaType::fromType<QByteArray>()) {
            const QByteArray bytes = value.toByteArray();
            sqlite3_bind_blob(statement, column, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(statement, column, value.toLongLong());
        }
    }

    // True when the statement gave a row.
    bool run()
    {
        const int result = sqlite3_step(statement);
        Bench::require(result == SQLITE_ROW || result == SQLITE_DONE, "a statement failed");
        sqlite3_reset(statement);
        return result == SQLITE_ROW;
    }

private:
    sqlite3_stmt *statement = nullptr;
};

void execute(sqlite3 *db, const char *sql)
{
    Bench::require(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
}

struct ParsedSpot
{
    bool erotic;
    SpotRecord record;
};

// The rows of the same lines, parsed beforehand: only the writing is timed.
QList<ParsedSpot> parsedSpots()
{
    QList<ParsedSpot> spots;
    spots.reserve(headerCount());
    for (const QByteArray &line : overviewLines()) {
        const SpotHeader header = SpotHeader::parse(line);
        Bench::require(header.outcome == SpotHeader::Outcome::Spot, "a bench line is no spot");
        spots.append({header.isErotic(), header.record()});
    }
    return spots;
}

// The duplicate query and the insert of every row through the C API, with the program's
// schema, indexes, journal and sync settings, one transaction per range.
double limitSeconds(int storedMillions)
{
    const QList<ParsedSpot> spots = parsedSpots();
    const Bench::FreshProfile profile(storedSpots(storedMillions));
    qint64 before = 0;
    {
        const SpotStore schema; // the tables and indexes exactly as the program makes them
        before = Bench::storedRows(schema.spotsDatabase());
    }
    Bench::require(before == storedMillions * SpotListCorpus::spotsPerMillion(),
                   "the store does not hold the spots it should");
    sqlite3 *db = nullptr;
    Bench::require(
        sqlite3_open_v2(QFile::encodeName(profile.spotsFile()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
            == SQLITE_OK,
        "cannot open spots.db through the C API");
    execute(db, "PRAGMA journal_mode=WAL");
    execute(db, "PRAGMA synchronous=FULL");
    qint64 nanoseconds = 0;
    {
        Statement duplicate[]
            = {{db, "SELECT cat FROM spots WHERE spotdate=? AND CAST(title AS TEXT) LIKE CAST(? AS TEXT)"},
               {db, "SELECT cat FROM erospots WHERE spotdate=? AND CAST(title AS TEXT) LIKE CAST(? AS TEXT)"}};
        Statement insert[] = {
            {db, "INSERT INTO spots(cat,subcat,spotdate,title,spotter,tag,msgid,othercats) VALUES (?,?,?,?,?,?,?,?)"},
            {db,
             "INSERT INTO erospots(cat,subcat,spotdate,title,spotter,tag,msgid,othercats) VALUES (?,?,?,?,?,?,?,?)"}};
        QElapsedTimer timer;
        timer.start();
        for (qsizetype first = 0; first < spots.size(); first += rangeSize) {
            execute(db, "BEGIN");
            for (qsizetype i = first; i < std::min(first + rangeSize, spots.size()); ++i) {
                const SpotRecord &spot = spots.at(i).record;
                const int table = spots.at(i).erotic ? 1 : 0;
                duplicate[table].bind(1, spot.spotDate);
                duplicate[table].bind(2, spot.title);
                if (duplicate[table].run())
                    continue;
                const QVariant values[] = {spot.cat,     spot.subcat, spot.spotDate, spot.title,
                                           spot.spotter, spot.tag,    spot.msgid,    spot.othercats};
                for (int column = 0; column < 8; ++column)
                    insert[table].bind(column + 1, values[column]);
                insert[table].run();
            }
            execute(db, "COMMIT");
        }
        nanoseconds = timer.nsecsElapsed();
    }
    sqlite3_close(db);
    {
        const SpotStore written;
        Bench::require(Bench::storedRows(written.spotsDatabase()) - before == uniqueSpots(),
                       "the limit lost or doubled spots");
    }
    return double(nanoseconds) / 1e9;
}

// Each measurement runs once per process; the ratios reuse them.
template<typename Measure>
double remembered(QMap<int, double> &memory, int key, Measure measure)
{
    if (!memory.contains(key))
        memory.insert(key, measure());
    return memory.value(key);
}

double programSecondsOnce(bool compressed, int storedMillions)
{
    static QMap<int, double> memory;
    return remembered(memory, storedMillions * 2 + (compressed ? 1 : 0),
                      [&] { return programSeconds(compressed, storedMillions); });
}

double limitSecondsOnce(int storedMillions)
{
    static QMap<int, double> memory;
    return remembered(memory, storedMillions, [&] { return limitSeconds(storedMillions); });
}

} // namespace

double syncFigure(SyncFigure figure, int storedMillions)
{
    switch (figure) {
    case SyncFigure::HeadersPerSecondXover:
        return headerCount() / programSecondsOnce(false, storedMillions);
    case SyncFigure::HeadersPerSecondXzver:
        return headerCount() / programSecondsOnce(true, storedMillions);
    case SyncFigure::LimitRowsPerSecond:
        return headerCount() / limitSecondsOnce(storedMillions);
    case SyncFigure::RatioXover:
        return programSecondsOnce(false, storedMillions) / limitSecondsOnce(storedMillions);
    case SyncFigure::RatioXzver:
        return programSecondsOnce(true, storedMillions) / limitSecondsOnce(storedMillions);
    }
    return 0;
}
