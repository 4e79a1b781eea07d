// What each filter selects, through the index and through the statements alike.
#include "categoryscheme.h"
#include "spotlistindex.h"
#include "spotquery.h"
#include "spotstore.h"
#include "sqlitestatement.h"
#include "testmain.h"

#include <QSqlQuery>

#include <optional>

namespace {

// Spot k (1 to 12) is in sub-category 100, 104, 201, 300 in turn; erotic spot k (1 to 4) in 900 + k.
const int subcats[] = {100, 104, 201, 300};
constexpr int spotCount = 12;
constexpr int eroticCount = 4;
const SpotQuery::Baselines baselines{8, 2};
// The download counts expired new rows too.
const SpotQuery::NewCounts newCounts{6, 3};

SpotRecord spot(int k, bool erotic)
{
    SpotRecord record;
    record.subcat = erotic ? CategoryScheme::eroticSubcategory(k - 1) : subcats[(k - 1) % 4];
    record.cat = record.subcat / 100;
    record.spotDate = 1300000000 + k;
    record.title = QByteArray("Titel ") + QByteArray::number(k);
    record.spotter = k % 5 == 0 ? QByteArray("Pelikaan") : QByteArray("Gerrit");
    record.tag = QByteArray("film");
    record.msgid = (erotic ? "ero" : "spot") + QByteArray::number(k) + "x";
    return record;
}

} // namespace

class TestSpotQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void selectsTheSameRowsBothWays_data();
    void selectsTheSameRowsBothWays();

private:
    std::optional<SpotStore> store;
    SpotListIndex index;
};

void TestSpotQuery::initTestCase()
{
    store.emplace();
    for (int k = 1; k <= spotCount; ++k)
        QCOMPARE(store->spots().insertSpot(SpotTable::Spots, spot(k, false)), InsertResult::Inserted);
    for (int k = 1; k <= eroticCount; ++k)
        QCOMPARE(store->spots().insertSpot(SpotTable::EroticSpots, spot(k, true)), InsertResult::Inserted);
    QCOMPARE(index.update(sqliteHandle(store->spotsDatabase())), SpotListIndex::Update::Done);
}

void TestSpotQuery::cleanupTestCase()
{
    store.reset();
}

// clang-format off
void TestSpotQuery::selectsTheSameRowsBothWays_data()
{
    QTest::addColumn<SpotFilter>("filter");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<int>("count");

    using namespace CategoryScheme;
    QTest::newRow("all") << SpotFilter{{}, allSpots, 0} << QList<int>{12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1} << 12;
    QTest::newRow("new spots count what was downloaded") << SpotFilter{{}, newSpots, 0} << QList<int>{12, 11, 10, 9} << 6;
    QTest::newRow("category") << SpotFilter{{}, 1, 0} << QList<int>{10, 9, 6, 5, 2, 1} << 6;
    QTest::newRow("sub-category") << SpotFilter{{}, 1, 104} << QList<int>{10, 6, 2} << 3;
    QTest::newRow("category without spots") << SpotFilter{{}, 4, 0} << QList<int>{} << 0;
    QTest::newRow("search in titles") << SpotFilter{"titel 1", 1, 0} << QList<int>{12, 11, 10, 1} << 4;
    QTest::newRow("search in spotters") << SpotFilter{"pelik", 0, 0} << QList<int>{10, 5} << 2;
    QTest::newRow("search never reads erotica") << SpotFilter{"titel 3", erotic, 0} << QList<int>{3} << 1;
    QTest::newRow("erotica") << SpotFilter{{}, erotic, 0} << QList<int>{4, 3, 2, 1} << 4;
    QTest::newRow("erotic genre") << SpotFilter{{}, 0, eroticSubcategory(1)} << QList<int>{2} << 1;
    QTest::newRow("new erotica") << SpotFilter{{}, newEroticSpots, 0} << QList<int>{4, 3} << 3;
}
// clang-format on

void TestSpotQuery::selectsTheSameRowsBothWays()
{
    QFETCH(SpotFilter, filter);
    QFETCH(QList<int>, ids);
    QFETCH(int, count);
    const SpotQuery query(filter, baselines);

    const SpotQuery::Selection selection = query.select(index, newCounts);
    QCOMPARE(QList<int>(selection.ids.begin(), selection.ids.end()), ids);
    QCOMPARE(selection.count, count);

    const SpotQuery::Statements statements = query.statements();
    QSqlQuery window(store->spotsDatabase());
    QVERIFY(window.prepare(statements.window));
    for (const QVariant &value : statements.values)
        window.addBindValue(value);
    window.addBindValue(200);
    window.addBindValue(0);
    QVERIFY(window.exec());
    QList<int> read;
    while (window.next())
        read << window.value(0).toInt();
    QCOMPARE(read, ids);
    switch (statements.counting) {
    case SpotQuery::Counting::NewSpots:
        QCOMPARE(newCounts.spots, count);
        break;
    case SpotQuery::Counting::NewEroticSpots:
        QCOMPARE(newCounts.eroticSpots, count);
        break;
    case SpotQuery::Counting::FromSearchRows:
    case SpotQuery::Counting::Statement: {
        QSqlQuery counted(store->spotsDatabase());
        QVERIFY(counted.prepare(statements.countStatement));
        for (const QVariant &value : statements.countValues)
            counted.addBindValue(value);
        QVERIFY(counted.exec() && counted.next());
        QCOMPARE(counted.value(0).toInt(), count);
    }
    }
}

TARNWICK_TEST_MAIN(TestSpotQuery)
#include "tst_spotquery.moc"
