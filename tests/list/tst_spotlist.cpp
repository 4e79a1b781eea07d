// The spot list over its index: searches against SQLite's LIKE, paging against OFFSET, and
// the index following the store whatever happened to it.
#include "spotlistindex.h"
#include "spotsmodel.h"
#include "spotstore.h"
#include "spottext.h"
#include "sqlitestatement.h"
#include "sqltransaction.h"
#include "standinsource.h"
#include "listtestsupport.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>

#include <memory>
#include <optional>
#include <set>

#include <sqlite3.h>

namespace {

using ListTest::asciiLower;
using ListTest::indexed;
using ListTest::shownIds;

constexpr int storedSpots = 10000;
const qint64 firstDate = 1300000000;

// What posters write, stored in each of the ways the download stores titles.
const char16_t *const phrases[] = {
    u"Zo\u00eb en de zee",
    u"Ren\u00e9 Caf\u00e9",
    u"J\u00d6RG live",
    u"fa\u00e7ade 100% echt",
    u"\u65e5\u672c reis",
    u"k_wi a%b",
    u"Cr\u00e8me br\u00fbl\u00e9e",
    u"Kiwi plain",
    u"\u00c6r\u00f8 \u20acuro",
    u"ZO\u00cb groot",
};
enum class Stored { Utf8Bytes, Latin1Bytes, Text, MixedBytes, Count };

QVariant storedAs(const QString &text, Stored kind)
{
    switch (kind) {
    case Stored::Utf8Bytes:
        return text.toUtf8();
    case Stored::Latin1Bytes:
        return text.toLatin1();
    case Stored::Text:
        return text;
    case Stored::MixedBytes: // an edited title: Latin-1 with a UTF-8 word in it
        return text.toLatin1() + " \xc3\xab";
    case Stored::Count:
        break;
    }
    return {};
}

SpotRecord spot(int i)
{
    const int phraseCount = int(std::size(phrases));
    SpotRecord record;
    record.subcat = QList<int>{100, 104, 201, 300, 404}.at(i % 5);
    record.cat = record.subcat / 100;
    record.spotDate = firstDate + i * 60;
    const QString phrase = QString::fromUtf16(phrases[i % phraseCount]) + QLatin1Char(' ') + QString::number(i);
    record.title = storedAs(phrase, Stored((i / phraseCount) % int(Stored::Count)));
    const QList<QByteArray> spotters{"J\xc3\xb6rg", "J\xf6rg", "Pelikaan", QByteArray()};
    record.spotter = spotters.at((i / 7) % spotters.size());
    const QList<QVariant> tags{QString::fromUtf16(u"caf\u00e9"), QByteArray("film"), QString(QLatin1String("")),
                               QVariant()};
    record.tag = tags.at((i / 11) % tags.size());
    record.msgid = "list" + QByteArray::number(i) + "x";
    return record;
}

// LIKE '%'||search||'%' over the ASCII-lowered shown text: "%" any run, "_" one character.
QRegularExpression shownLike(const QByteArray &search)
{
    QString pattern;
    for (const QChar c : asciiLower(SpotText::shown(search, false))) {
        if (c == QLatin1Char('%'))
            pattern += QLatin1String(".*");
        else if (c == QLatin1Char('_'))
            pattern += QLatin1Char('.');
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(".*") + pattern + QLatin1String(".*")),
                              QRegularExpression::DotMatchesEverythingOption);
}

QList<int> ids(QSqlQuery &query)
{
    QList<int> found;
    while (query.next())
        found << query.value(0).toInt();
    return found;
}

// Every statement on the connection is interrupted once it has run a few thousand steps of
// SQLite's machine: a read that fails part-way, as an I/O error or a damaged page would.
class FailingReads
{
public:
    explicit FailingReads(sqlite3 *connection)
        : connection(connection)
    {
        sqlite3_progress_handler(
            connection, 100, [](void *steps) { return --*static_cast<int *>(steps) < 0 ? 1 : 0; }, &steps);
    }
    ~FailingReads() { sqlite3_progress_handler(connection, 0, nullptr, nullptr); }
    Q_DISABLE_COPY_MOVE(FailingReads)

private:
    sqlite3 *connection;
    int steps = 30;
};

} // namespace

class TestSpotList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void searchFindsTheLikeRowsAndTheShownText_data();
    void searchFindsTheLikeRowsAndTheShownText();
    void everyPositionAsTheOffsetQuery_data();
    void everyPositionAsTheOffsetQuery();
    void indexFollowsChangesMadeWhileItWasBuilt();
    void rowsBelowTheNewestBuildTheIndexAgain();
    void modelsGoWhileTheirIndexIsBuilt();
    void allShowsItsFirstWindowBeforeTheCount();
    void newRangeJoinsTheIndexInTheBackground();
    void openRangeWaitsForItsCommit();
    void readThatFailsIsNoEmptyTable();
    void failedReadKeepsTheRowsAndIsTriedAgain();

private:
    bool store(int count);
    bool insert(int count);
    bool execute(const QString &sql, const QVariantList &values = {});
    QList<int> likeIds(const QByteArray &search);
    QList<int> shownLikeIds(const QByteArray &search);
    QList<int> offsetIds(const QString &tail, const QVariantList &values, int rows);

    std::optional<SpotStore> spotStore;
    std::unique_ptr<StandInSource> source;
    int stored = 0;
};

void TestSpotList::initTestCase()
{
    spotStore.emplace();
    source = std::make_unique<StandInSource>(*spotStore);
    QVERIFY(store(storedSpots));
}

void TestSpotList::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSpotList::cleanupTestCase()
{
    source.reset();
    spotStore.reset();
}

bool TestSpotList::store(int count)
{
    SqlTransaction transaction(spotStore->spotsDatabase());
    return insert(count) && transaction.commit();
}

bool TestSpotList::insert(int count)
{
    for (int i = 0; i < count; ++i) {
        if (spotStore->spots().insertSpot(SpotTable::Spots, spot(stored++)) != InsertResult::Inserted)
            return false;
    }
    return true;
}

bool TestSpotList::execute(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(spotStore->spotsDatabase());
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

// The search statement as the list ran it before it had an index.
QList<int> TestSpotList::likeIds(const QByteArray &search)
{
    QSqlQuery query(spotStore->spotsDatabase());
    query.prepare(
        QStringLiteral("SELECT id FROM spots WHERE CAST(title AS TEXT) LIKE '%'||?||'%' OR CAST(spotter AS TEXT) "
                       "LIKE '%'||?||'%' OR CAST(tag AS TEXT) LIKE '%'||?||'%' ORDER BY id DESC"));
    for (int i = 0; i < 3; ++i)
        query.addBindValue(search);
    return query.exec() ? ids(query) : QList<int>{-1};
}

QList<int> TestSpotList::shownLikeIds(const QByteArray &search)
{
    const QRegularExpression like = shownLike(search);
    QSqlQuery query(spotStore->spotsDatabase());
    query.exec(QStringLiteral(
        "SELECT id,title,spotter,tag,typeof(title),typeof(spotter),typeof(tag) FROM spots ORDER BY id DESC"));
    QList<int> found;
    while (query.next()) {
        for (int column = 1; column <= 3; ++column) {
            const QString type = query.value(column + 3).toString();
            if (type == QLatin1String("null"))
                continue;
            const QString shown = SpotText::shown(query.value(column).toByteArray(), type == QLatin1String("text"));
            if (like.match(asciiLower(shown)).hasMatch()) {
                found << query.value(0).toInt();
                break;
            }
        }
    }
    return found;
}

QList<int> TestSpotList::offsetIds(const QString &tail, const QVariantList &values, int rows)
{
    QList<int> found;
    for (int offset = 0; offset < rows; offset += 200) {
        QSqlQuery query(spotStore->spotsDatabase());
        query.prepare(QStringLiteral("SELECT id,subcat,spotdate,title,spotter FROM spots") + tail
                      + QStringLiteral(" ORDER BY id DESC LIMIT ? OFFSET ?"));
        for (const QVariant &value : values)
            query.addBindValue(value);
        query.addBindValue(200);
        query.addBindValue(offset);
        if (!query.exec())
            return {-1};
        found += ids(query);
    }
    return found;
}

void TestSpotList::searchFindsTheLikeRowsAndTheShownText_data()
{
    QTest::addColumn<QByteArray>("search");
    QTest::addColumn<bool>("shownTextFindsMore");

    QTest::newRow("utf8-finds-latin1-too") << QByteArray("zo\xc3\xab") << true;
    QTest::newRow("utf8-ascii-case-only") << QByteArray("ZO\xc3\xab") << true;
    QTest::newRow("utf8-other-case-not-folded") << QByteArray("zo\xc3\x8b") << true;
    QTest::newRow("latin1-search-text") << QByteArray("zo\xeb") << true;
    QTest::newRow("one-accent") << QByteArray("\xc3\xa9") << true;
    QTest::newRow("beyond-latin1") << QByteArray("\xe6\x97\xa5\xe6\x9c\xac") << false;
    QTest::newRow("euro-sign") << QByteArray("\xe2\x82\xac"
                                             "uro")
                               << false;
    QTest::newRow("utf8-spotter") << QByteArray("j\xc3\xb6rg") << true;
    QTest::newRow("underscore-one-character") << QByteArray("caf_ 1") << false;
    QTest::newRow("underscore-after-an-accent") << QByteArray("zo\xc3\xab_en") << true;
    QTest::newRow("underscores-count-characters") << QByteArray("caf__ 1") << false;
    QTest::newRow("percent-wildcard") << QByteArray("br%e 9") << false;
    QTest::newRow("percent-after-an-accent") << QByteArray("zo\xc3\xab%zee") << true;
    QTest::newRow("percent-alone") << QByteArray("%") << false;
    QTest::newRow("underscore-alone") << QByteArray("_") << false;
    QTest::newRow("literal-percent-and-underscore") << QByteArray("k_wi a%b 15") << false;
    QTest::newRow("ascii-any-case") << QByteArray("kIWI") << false;
    QTest::newRow("ascii-spotter") << QByteArray("pelik") << false;
    QTest::newRow("lone-lead-byte") << QByteArray("\xc3") << false;
    QTest::newRow("replacement-character") << QByteArray("\xef\xbf\xbd") << false;
    QTest::newRow("nothing") << QByteArray("xyzzy") << false;
}

void TestSpotList::searchFindsTheLikeRowsAndTheShownText()
{
    QFETCH(QByteArray, search);
    QFETCH(bool, shownTextFindsMore);

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Words are searched each on its own: a pattern with spaces is typed as a phrase.
    model.setFilter(search.contains(' ') ? '"' + search + '"' : search, 0, 0);

    const QList<int> like = likeIds(search);
    std::set<int, std::greater<int>> expected(like.begin(), like.end());
    const QList<int> shown = shownLikeIds(search);
    expected.insert(shown.begin(), shown.end());
    QCOMPARE(expected.size() > size_t(like.size()), shownTextFindsMore);
    QCOMPARE(shownIds(model), QList<int>(expected.begin(), expected.end()));
}

void TestSpotList::everyPositionAsTheOffsetQuery_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("subcategory");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QVariantList>("values");

    QTest::newRow("all") << 0 << 0 << QString() << QVariantList();
    QTest::newRow("category") << 2 << 0 << QStringLiteral(" WHERE cat=?") << QVariantList{2};
    QTest::newRow("subcategory") << 0 << 104 << QStringLiteral(" WHERE subcat=?") << QVariantList{104};
}

void TestSpotList::everyPositionAsTheOffsetQuery()
{
    QFETCH(int, category);
    QFETCH(int, subcategory);
    QFETCH(QString, tail);
    QFETCH(QVariantList, values);

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, category, subcategory);
    const auto comparePositions = [&] {
        const QList<int> expected = offsetIds(tail, values, model.rowCount() + 200);
        QCOMPARE(model.rowCount(), expected.size());
        // Top to bottom, then as a scroll bar jumps.
        QCOMPARE(shownIds(model), expected);
        for (int step = 0; step < 400; ++step) {
            const int row = int((qint64(step) * 7919) % expected.size());
            QCOMPARE(model.data(model.index(row, 0), Qt::UserRole).toInt(), expected.at(row));
        }
    };
    comparePositions();
    QVERIFY(!QTest::currentTestFailed());

    QVERIFY(store(450));
    Q_EMIT source->newSpots();
    comparePositions();
    QVERIFY(!QTest::currentTestFailed());

    // Expiry takes the oldest spots; then the newest go, as a range rolled back.
    QVERIFY(execute(QStringLiteral("DELETE FROM spots WHERE spotdate<?"), {firstDate + (stored - storedSpots) * 60}));
    Q_EMIT source->newSpots();
    comparePositions();
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(execute(QStringLiteral("DELETE FROM spots WHERE id>(SELECT max(id) FROM spots)-300")));
    Q_EMIT source->newSpots();
    comparePositions();
}

// Whatever the builder saw, the model ends up with the rows as they are: spots added and
// expired while it read (or while the program was closed), and none at all.
void TestSpotList::indexFollowsChangesMadeWhileItWasBuilt()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(store(3000));
    QVERIFY(execute(QStringLiteral("DELETE FROM spots WHERE id%3=0 AND id<5000")));
    QVERIFY(indexed(model));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setFilter({}, 0, 0);
    QCOMPARE(shownIds(model), offsetIds({}, {}, model.rowCount() + 200));

    QVERIFY(execute(QStringLiteral("DELETE FROM spots")));
    Q_EMIT source->newSpots();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(store(storedSpots));
    Q_EMIT source->newSpots();
    QTRY_COMPARE(model.rowCount(), storedSpots);
    QCOMPARE(shownIds(model), offsetIds({}, {}, model.rowCount() + 200));
}

// A range of the download is added to the index in the background: the list shows its rows
// until then, inserts the new ones at the top, and a filter chosen meanwhile waits for them.
void TestSpotList::newRangeJoinsTheIndexInTheBackground()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, 0, 0);
    const int before = model.rowCount();
    const QList<int> shownBefore = shownIds(model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    QVERIFY(store(6000));
    Q_EMIT source->newSpots();
    QCOMPARE(shownIds(model), shownBefore);
    // Stored while the builder reads: before or after it, they are not missed.
    QVERIFY(store(100));
    Q_EMIT source->newSpots();
    QTRY_COMPARE(model.rowCount(), before + 6100);
    QCOMPARE(resets.size(), 0);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(shownIds(model), offsetIds({}, {}, model.rowCount() + 200));

    QVERIFY(store(6000));
    Q_EMIT source->newSpots();
    model.setFilter(QByteArray("kiwi"), 0, 0);
    QCOMPARE(shownIds(model), likeIds("kiwi"));
}

// A range still open on the window's connection is not there for the builder: the index waits
// for its commit instead of handing itself over again and again.
void TestSpotList::openRangeWaitsForItsCommit()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, 0, 0);
    const int before = model.rowCount();
    QSignalSpy states(&model.indexKeeper(), &SpotIndexKeeper::stateChanged);
    const auto handOvers = [&] {
        return std::count_if(states.begin(), states.end(), [](const QVariantList &state) {
            return state.at(0).value<SpotIndexKeeper::State>() == SpotIndexKeeper::State::CatchingUp;
        });
    };

    QVERIFY(store(6000));
    Q_EMIT source->newSpots();
    QCOMPARE(handOvers(), 1);
    {
        SqlTransaction range(spotStore->spotsDatabase());
        QVERIFY(insert(6000));
        // The committed range is shown when the builder is back, and the open one is not read.
        QTRY_COMPARE(model.rowCount(), before + 6000);
        Q_EMIT source->newSpots();
        model.setFilter(QByteArray("kiwi"), 0, 0);
        model.setFilter({}, 0, 0);
        QCOMPARE(model.rowCount(), before + 6000);
        QCOMPARE(handOvers(), 1);
        QVERIFY(range.commit());
    }
    Q_EMIT source->newSpots();
    QCOMPARE(handOvers(), 2);
    QTRY_COMPARE(model.rowCount(), before + 12000);
    QCOMPARE(shownIds(model), offsetIds({}, {}, model.rowCount() + 200));
}

void TestSpotList::readThatFailsIsNoEmptyTable()
{
    sqlite3 *connection = sqliteHandle(spotStore->spotsDatabase());
    SpotListIndex index;
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    const qsizetype held = index.size();
    QVERIFY(store(3000));
    {
        FailingReads failing(connection);
        QCOMPARE(index.update(connection), SpotListIndex::Update::Failed);
    }
    QVERIFY(index.size() >= held && index.size() < held + 3000);
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    QCOMPARE(index.size(), held + 3000);

    // Only a table that is not there is empty.
    sqlite3 *withoutErotica = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &withoutErotica), SQLITE_OK);
    QCOMPARE(sqlite3_exec(withoutErotica,
                          "CREATE TABLE spots(id INTEGER PRIMARY KEY,cat,subcat,spotdate,title,spotter,tag);"
                          "INSERT INTO spots(cat,subcat) VALUES (1,100),(2,200)",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    SpotListIndex spotsOnly;
    QCOMPARE(spotsOnly.update(withoutErotica), SpotListIndex::Update::Done);
    QCOMPARE(spotsOnly.size(), 2);
    sqlite3_close(withoutErotica);
}

// The list keeps the rows it shows, and reads again later.
void TestSpotList::failedReadKeepsTheRowsAndIsTriedAgain()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    model.setRetryInterval(50);
    model.setFilter({}, 0, 0);
    const QList<int> shownBefore = shownIds(model);
    QCOMPARE(model.data(model.index(0, 0), Qt::UserRole).toInt(), shownBefore.first()); // the top is in memory
    QVERIFY(store(1000));
    {
        FailingReads failing(sqliteHandle(spotStore->spotsDatabase()));
        Q_EMIT source->newSpots();
        QCOMPARE(model.rowCount(), shownBefore.size());
        QCOMPARE(model.data(model.index(0, 0), Qt::UserRole).toInt(), shownBefore.first());
    }
    QTRY_COMPARE(model.rowCount(), shownBefore.size() + 1000);
    QCOMPARE(shownIds(model), offsetIds({}, {}, model.rowCount() + 200));
}

// Another program wrote rows between the ids the index holds: the model reads by offset until
// a new index is built, and then by it.
void TestSpotList::rowsBelowTheNewestBuildTheIndexAgain()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    model.setFilter({}, 0, 0);
    QVERIFY(execute(
        QStringLiteral("DELETE FROM spots WHERE id IN (SELECT id FROM spots ORDER BY id LIMIT 10 OFFSET 100)")));
    Q_EMIT source->newSpots();
    QVERIFY(execute(QStringLiteral("INSERT INTO spots(id,cat,subcat,spotdate,title,spotter,tag,msgid) "
                                   "SELECT id-1,cat,subcat,spotdate,title,spotter,tag,msgid FROM spots "
                                   "WHERE id IN (SELECT id FROM spots ORDER BY id LIMIT 1 OFFSET 100)")));
    Q_EMIT source->newSpots();
    QVERIFY(!model.isIndexed());
    const QList<int> expected = offsetIds({}, {}, model.rowCount() + 200);
    QCOMPARE(shownIds(model), expected);
    QVERIFY(indexed(model));
    QCOMPARE(shownIds(model), expected);
}

void TestSpotList::modelsGoWhileTheirIndexIsBuilt()
{
    for (int i = 0; i < 5; ++i) {
        SpotsModel model(source.get(), nullptr);
        QCoreApplication::processEvents(); // the build starts
        model.setFilter(QByteArray("kiwi"), 0, 0);
        QVERIFY(model.rowCount() > 0);
    }
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
}

// Until the builder has counted the spots, "Alles" shows its first window; the rest of its
// rows are then inserted below it.
void TestSpotList::allShowsItsFirstWindowBeforeTheCount()
{
    QSqlQuery count(QStringLiteral("SELECT count(*) FROM spots"), spotStore->spotsDatabase());
    QVERIFY(count.next() && count.value(0).toInt() > 200);
    SpotsModel model(source.get(), nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, 0, 0);
    QCOMPARE(model.rowCount(), 200);
    QTRY_COMPARE(model.rowCount(), count.value(0).toInt());
    QCOMPARE(shownIds(model), offsetIds({}, {}, model.rowCount() + 200));
}

TARNWICK_TEST_MAIN(TestSpotList)

#include "tst_spotlist.moc"
