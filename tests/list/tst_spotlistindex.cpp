// The index and its builder on their own, over a file of the test's own: what an update makes
// of each change to the tables, and the builder's hand-over, cancelling and failed reads.
#include "spotindexbuilder.h"
#include "spotlistindex.h"
#include "sqlitestatement.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(SpotListIndex::Update)

namespace {

// Ids 2, 4, 6, ...: there is room for a row below the newest.
constexpr int spotRows = 10000;
constexpr int eroticRows = 300;

const SpotFilter allSpots{{}, 0, 0};
const SpotFilter allErotic{{}, 9, 0};

// A connection of the test's own to the file, closed with the object.
class Connection
{
public:
    explicit Connection(const QString &fileName)
    {
        sqlite3_open_v2(QFile::encodeName(fileName).constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
    }
    ~Connection() { sqlite3_close(handle); }
    Q_DISABLE_COPY_MOVE(Connection)

    bool execute(const QByteArray &sql)
    {
        return sqlite3_exec(handle, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // Appends count rows to spots above its newest id.
    bool addSpots(qint64 count)
    {
        if (count == 0)
            return true;
        SqliteStatement insert(handle,
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<?) "
                               "INSERT INTO spots(id,cat,subcat,title,spotter,tag) "
                               "SELECT (SELECT ifnull(max(id),0) FROM spots)+2*i,1+i%5,100+i%9,'Titel '||i,"
                               "'spotter'||(i%7),CAST('tag'||(i%3) AS BLOB) FROM n");
        insert.bind(1, count);
        return insert.run() == SqliteStatement::Result::Done;
    }

    // The ids of a table, newest first, as the index gives them; none when it is missing.
    std::vector<int> ids(const char *table) const
    {
        SqliteStatement select(handle, QByteArray("SELECT id FROM ") + table + " ORDER BY id DESC");
        std::vector<int> found;
        while (select.step() == SqliteStatement::Result::Row)
            found.push_back(int(select.integer(0)));
        select.finish();
        return found;
    }

    sqlite3 *handle = nullptr;
};

bool holdsTheTables(const SpotListIndex &index, const Connection &connection)
{
    return index.select(allSpots, 0, 0) == connection.ids("spots")
        && index.select(allErotic, 0, 0) == connection.ids("erospots");
}

// The connection's first statement stops part-way until another thread has raised the flag:
// the read is under way when the flag goes up.
class RaisedMidRead
{
public:
    RaisedMidRead(sqlite3 *connection, std::atomic<bool> &cancel)
        : connection(connection)
        , cancel(cancel)
        , raiser([this] {
            while (!reading)
                std::this_thread::yield();
            this->cancel = true;
        })
    {
        sqlite3_progress_handler(connection, 1000, &RaisedMidRead::step, this);
    }
    ~RaisedMidRead()
    {
        reading = true; // in case no statement ran
        raiser.join();
        sqlite3_progress_handler(connection, 0, nullptr, nullptr);
    }
    Q_DISABLE_COPY_MOVE(RaisedMidRead)

private:
    static int step(void *self)
    {
        auto *raised = static_cast<RaisedMidRead *>(self);
        raised->reading = true;
        while (!raised->cancel)
            std::this_thread::yield();
        return 0;
    }

    sqlite3 *connection;
    std::atomic<bool> &cancel;
    std::atomic<bool> reading{false};
    std::thread raiser;
};

} // namespace

class TestSpotListIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void updateFollowsTheTables_data();
    void updateFollowsTheTables();
    void updateStopsWhenCancelled_data();
    void updateStopsWhenCancelled();
    void handedOverAndBack_data();
    void handedOverAndBack();
    void failedReadGoesOnFromThere_data();
    void failedReadGoesOnFromThere();
    void builderDestroyedMidBuild_data();
    void builderDestroyedMidBuild();
    void countAboveAgreesWithSelect_data();
    void countAboveAgreesWithSelect();

private:
    bool built(SpotIndexBuilder &builder);
    // A page of the file overwritten with bytes that are no page, and what was there before.
    struct Damage
    {
        qint64 offset = -1;
        QByteArray original;
    };
    // Overwrites a leaf page of spots among its newest rows.
    Damage damageNewestRows();
    bool writeAt(qint64 offset, const QByteArray &bytes);

    QString fileName;
    std::optional<Connection> own; // the window's connection
};

void TestSpotListIndex::init()
{
    fileName = QDir::home().filePath(QStringLiteral("spots.db"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(fileName + QLatin1StringView(suffix));
    own.emplace(fileName);
    QVERIFY(own->execute("PRAGMA journal_mode=WAL"));
    QVERIFY(own->execute(
        "CREATE TABLE spots(id INTEGER PRIMARY KEY,cat INT,subcat INT,spotdate INT,title,spotter,tag);"
        "CREATE TABLE erospots(id INTEGER PRIMARY KEY,cat INT,subcat INT,spotdate INT,title,spotter,tag)"));
    QVERIFY(own->addSpots(spotRows));
    QVERIFY(own->execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) "
                         "INSERT INTO erospots(id,cat,subcat) SELECT 2*i,9,900+i%4 FROM n"));
}

void TestSpotListIndex::cleanup()
{
    own.reset();
}

bool TestSpotListIndex::built(SpotIndexBuilder &builder)
{
    QSignalSpy done(&builder, &SpotIndexBuilder::built);
    return done.wait(60000) && done.size() == 1;
}

TestSpotListIndex::Damage TestSpotListIndex::damageNewestRows()
{
    // In tree order: the leaves follow the ids.
    std::vector<qint64> leaves;
    SqliteStatement pages(own->handle,
                          "SELECT pageno,pgsize FROM dbstat WHERE name='spots' AND pagetype='leaf' ORDER BY path");
    qint64 pageSize = 0;
    while (pages.step() == SqliteStatement::Result::Row) {
        leaves.push_back(pages.integer(0));
        pageSize = pages.integer(1);
    }
    pages.finish();
    if (leaves.size() < 8 || !own->execute("PRAGMA wal_checkpoint(TRUNCATE)"))
        return {};
    const qint64 offset = (leaves[leaves.size() * 7 / 8] - 1) * pageSize;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    const Damage damage{offset, file.read(pageSize)};
    return writeAt(offset, QByteArray(pageSize, '\xff')) ? damage : Damage();
}

bool TestSpotListIndex::writeAt(qint64 offset, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(bytes) == bytes.size();
}

// Each change made by another program, then one update through the window's connection.
void TestSpotListIndex::updateFollowsTheTables_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<SpotListIndex::Update>("result");

    using U = SpotListIndex::Update;
    // clang-format off
    QTest::newRow("oldest-expired-over-batches") << QByteArray("DELETE FROM spots WHERE id<=12000") << U::Done;
    QTest::newRow("newest-rolled-back-over-batches") << QByteArray("DELETE FROM spots WHERE id>9000") << U::Done;
    QTest::newRow("both-ends-and-the-middle") << QByteArray("DELETE FROM spots WHERE id<=3000 OR id>17000 OR id%10=0") << U::Done;
    QTest::newRow("oldest-gone-newer-added") << QByteArray("DELETE FROM spots WHERE id<=200; INSERT INTO spots(id,cat,subcat) VALUES (30000,1,100)") << U::Done;
    QTest::newRow("every-row") << QByteArray("DELETE FROM spots") << U::Done;
    QTest::newRow("erotic-expired") << QByteArray("DELETE FROM erospots WHERE id<=100") << U::Done;
    QTest::newRow("spots-table-missing") << QByteArray("ALTER TABLE spots RENAME TO spots_away") << U::Done;
    QTest::newRow("erotic-table-missing") << QByteArray("DROP TABLE erospots") << U::Done;
    QTest::newRow("row-below-the-newest") << QByteArray("INSERT INTO spots(id,cat,subcat) VALUES (9999,1,100)") << U::Inconsistent;
    QTest::newRow("row-below-with-oldest-gone") << QByteArray("DELETE FROM spots WHERE id<=1000; INSERT INTO spots(id,cat,subcat) VALUES (9999,1,100)") << U::Inconsistent;
    QTest::newRow("row-below-the-oldest-newest-gone") << QByteArray("DELETE FROM spots WHERE id>19990; INSERT INTO spots(id,cat,subcat) VALUES (1,1,100)") << U::Inconsistent;
    QTest::newRow("erotic-row-below-the-newest") << QByteArray("INSERT INTO erospots(id,cat,subcat) VALUES (301,9,900)") << U::Inconsistent;
    // clang-format on
}

void TestSpotListIndex::updateFollowsTheTables()
{
    QFETCH(QByteArray, change);
    QFETCH(SpotListIndex::Update, result);

    SpotListIndex index;
    QCOMPARE(index.update(own->handle), SpotListIndex::Update::Done);
    QVERIFY(index.isCurrent(own->handle));
    QVERIFY(Connection(fileName).execute(change));
    QVERIFY(!index.isCurrent(own->handle));
    // What the followup last saw is the index as it came back, also after rows gone were dropped.
    std::vector<std::pair<quint64, qsizetype>> seen;
    const auto followup = [&](const SpotListIndex &updated) { seen.emplace_back(updated.version(), updated.size()); };
    QCOMPARE(index.update(own->handle, nullptr, followup), result);
    if (result != SpotListIndex::Update::Done)
        return;
    QVERIFY(holdsTheTables(index, *own));
    QVERIFY(index.isCurrent(own->handle));
    QVERIFY(!seen.empty());
    QCOMPARE(seen.back(), std::make_pair(index.version(), index.size()));
}

void TestSpotListIndex::updateStopsWhenCancelled_data()
{
    QTest::addColumn<bool>("midRead");

    QTest::newRow("raised-before") << false;
    QTest::newRow("raised-by-another-thread-mid-read") << true;
}

void TestSpotListIndex::updateStopsWhenCancelled()
{
    QFETCH(bool, midRead);

    std::atomic<bool> cancel{!midRead};
    SpotListIndex index;
    {
        std::optional<RaisedMidRead> raised;
        if (midRead)
            raised.emplace(own->handle, cancel);
        QCOMPARE(index.update(own->handle, &cancel), SpotListIndex::Update::Cancelled);
    }
    QVERIFY(index.rowsRead() < spotRows);
    QVERIFY(!index.isCurrent(own->handle));
}

// The index goes to the builder and comes back to the window's connection: the next update
// there reads nothing when nothing was written, and what was when something was.
void TestSpotListIndex::handedOverAndBack_data()
{
    QTest::addColumn<int>("pending"); // written in a transaction open at the hand-over, committed once back
    QTest::addColumn<int>("whileAway"); // written after the hand-over, before the builder read
    QTest::addColumn<int>("afterwards"); // written once the index is back
    QTest::addColumn<int>("rowsRead");

    QTest::newRow("nothing-written") << 0 << 0 << 0 << 0;
    QTest::newRow("written-before-the-builder-read") << 0 << 500 << 0 << 0;
    QTest::newRow("written-once-back") << 0 << 0 << 500 << 500;
    QTest::newRow("open-transaction-at-the-hand-over") << 500 << 0 << 0 << 500;
}

void TestSpotListIndex::handedOverAndBack()
{
    QFETCH(int, pending);
    QFETCH(int, whileAway);
    QFETCH(int, afterwards);
    QFETCH(int, rowsRead);

    auto index = std::make_unique<SpotListIndex>();
    QCOMPARE(index->update(own->handle), SpotListIndex::Update::Done);
    if (pending > 0)
        QVERIFY(own->execute("BEGIN") && own->addSpots(pending));
    index->handOver(own->handle);
    QVERIFY(own->addSpots(whileAway));
    SpotIndexBuilder builder(fileName, nullptr, std::move(index));
    QSignalSpy counted(&builder, &SpotIndexBuilder::counted);
    QVERIFY(built(builder));
    QCOMPARE(counted.size(), 0);
    QVERIFY(!builder.readFailed());
    index = builder.take();
    QVERIFY(index);
    if (pending > 0)
        QVERIFY(own->execute("COMMIT"));
    QVERIFY(own->addSpots(afterwards));

    QCOMPARE(index->isCurrent(own->handle), pending + whileAway + afterwards == 0);
    QCOMPARE(index->update(own->handle), SpotListIndex::Update::Done);
    QCOMPARE(index->rowsRead(), rowsRead);
    QVERIFY(holdsTheTables(*index, *own));
}

// A new index that cannot be read is no index; a handed-over one comes back as far as the read
// got, and the next update reads the rest.
void TestSpotListIndex::failedReadGoesOnFromThere_data()
{
    QTest::addColumn<bool>("locked"); // else damaged
    QTest::addColumn<bool>("handedOver");

    QTest::newRow("new-index-locked-file") << true << false;
    QTest::newRow("new-index-damaged-file") << false << false;
    QTest::newRow("handed-over-locked-file") << true << true;
    QTest::newRow("handed-over-damaged-file") << false << true;
}

void TestSpotListIndex::failedReadGoesOnFromThere()
{
    QFETCH(bool, locked);
    QFETCH(bool, handedOver);

    std::unique_ptr<SpotListIndex> index;
    if (handedOver) {
        index = std::make_unique<SpotListIndex>();
        QCOMPARE(index->update(own->handle), SpotListIndex::Update::Done);
        index->handOver(own->handle);
    }
    const qsizetype held = index ? index->size() : 0;
    QVERIFY(own->addSpots(3 * spotRows));
    const qsizetype stored = spotRows * 4 + eroticRows;

    std::optional<Connection> locker;
    Damage damage;
    if (locked) {
        // A connection in exclusive locking mode keeps the file to itself, WAL or not: it
        // must be the only one when it takes the lock.
        own.reset();
        locker.emplace(fileName);
        QVERIFY(locker->execute("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT"));
    } else {
        damage = damageNewestRows();
        QVERIFY(damage.offset >= 0);
    }
    {
        SpotIndexBuilder builder(fileName, nullptr, std::move(index));
        QSignalSpy counted(&builder, &SpotIndexBuilder::counted);
        QVERIFY(built(builder));
        QVERIFY(builder.readFailed());
        QCOMPARE(counted.size(), 0);
        index = builder.take();
    }
    QCOMPARE(bool(index), handedOver);
    const qsizetype readBefore = index ? index->size() : 0;
    if (handedOver) {
        QVERIFY(readBefore >= held);
        QVERIFY(readBefore < stored);
        QCOMPARE(readBefore > held, !locked); // rows below the damaged page were read
    }

    if (locked) {
        locker.reset();
        own.emplace(fileName);
    } else {
        QVERIFY(writeAt(damage.offset, damage.original));
    }
    if (!index)
        index = std::make_unique<SpotListIndex>();
    QCOMPARE(index->update(own->handle), SpotListIndex::Update::Done);
    QCOMPARE(index->rowsRead(), stored - readBefore);
    QVERIFY(holdsTheTables(*index, *own));
}

// The destructor raises the builder's flag while its thread reads: the read stops, and nothing
// is announced.
void TestSpotListIndex::builderDestroyedMidBuild_data()
{
    QTest::addColumn<bool>("afterTheCount");

    QTest::newRow("at-once") << false;
    QTest::newRow("after-the-count") << true;
}

void TestSpotListIndex::builderDestroyedMidBuild()
{
    QFETCH(bool, afterTheCount);

    QVERIFY(own->addSpots(10 * spotRows));
    auto builder = std::make_unique<SpotIndexBuilder>(fileName, nullptr);
    QSignalSpy counted(builder.get(), &SpotIndexBuilder::counted);
    QSignalSpy done(builder.get(), &SpotIndexBuilder::built);
    if (afterTheCount)
        QVERIFY(counted.wait(60000));
    builder.reset();
    QCoreApplication::processEvents();
    QCOMPARE(done.size(), 0);
    QCOMPARE(counted.size(), afterTheCount ? 1 : 0);
}

// A saved filter's new spots are the rows that select() gives above the id: a few of them are
// compared one by one, many through the pairs and distinct values, alternatives after another.
void TestSpotListIndex::countAboveAgreesWithSelect_data()
{
    QTest::addColumn<QByteArray>("search");
    QTest::addColumn<QList<int>>("categories");
    QTest::addColumn<int>("newRows");
    QTest::addColumn<bool>("spotterPerRow");

    // clang-format off
    QTest::newRow("alternatives-few-new") << QByteArray("1 | 2 | spotter:spotter4") << QList<int>() << 250 << false;
    QTest::newRow("alternatives-many-new") << QByteArray("1 | 2 | spotter:spotter4") << QList<int>() << 6000 << false;
    QTest::newRow("negated-alternative-few-new") << QByteArray("-3 | tag:tag1") << QList<int>{1, 2} << 250 << false;
    QTest::newRow("negated-alternative-many-new") << QByteArray("-3 | tag:tag1") << QList<int>{1, 2} << 6000 << false;
    QTest::newRow("groups-of-alternatives") << QByteArray("\"el 1\" | 7 -tag:tag2 | spotter:spotter1") << QList<int>{101, 3} << 250 << false;
    QTest::newRow("no-term") << QByteArray() << QList<int>{4} << 250 << false;
    QTest::newRow("more-spotters-than-new-rows") << QByteArray("spotter:s1 | x") << QList<int>() << 6000 << true;
    QTest::newRow("more-spotters-negated") << QByteArray("Titel -s12") << QList<int>{1, 2, 3} << 6000 << true;
    // clang-format on
}

void TestSpotListIndex::countAboveAgreesWithSelect()
{
    QFETCH(QByteArray, search);
    QFETCH(QList<int>, categories);
    QFETCH(int, newRows);
    QFETCH(bool, spotterPerRow);

    // More distinct spotters than new rows: only the new rows' own are compared.
    if (spotterPerRow)
        QVERIFY(own->execute("UPDATE spots SET spotter='s'||id"));
    SpotListIndex index;
    QCOMPARE(index.update(own->handle), SpotListIndex::Update::Done);
    SpotFilter filter;
    filter.search = search;
    filter.saved = SpotFilter::Saved{categories, 0, {}};
    const int after = 2 * (spotRows - newRows);
    const std::vector<int> selected = index.select(filter, 0, 0);
    const auto above = std::count_if(selected.begin(), selected.end(), [&](int id) { return id > after; });
    QVERIFY(above > 0);
    QCOMPARE(index.countAbove(filter, after), int(above));
}

TARNWICK_TEST_MAIN(TestSpotListIndex)

#include "tst_spotlistindex.moc"
