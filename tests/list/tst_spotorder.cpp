// The spot list sorted by its columns through the index, against a slow sort of what the
// database holds, also after rows were added and removed.
#include "categoryscheme.h"
#include "spotlistindex.h"
#include "spotstore.h"
#include "spottext.h"
#include "sqlitestatement.h"
#include "sqltransaction.h"
#include "testmain.h"

#include <QSqlQuery>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

namespace {

const qint64 firstDate = 1300000000;

const char16_t *const phrases[] = {
    u"Zo\u00eb en de zee",
    u"ZO\u00cb EN DE ZEE",
    u"zoe",
    u"Caf\u00e9",
    u"cafe",
    u"\u00c6r\u00f8",
    u"\u65e5\u672c reis",
    u"",
    u"abc",
    u"ABC",
    u"abc d",
    u"\u212aelvin",
    u"kelvin",
    u"De zomer van 1999",
    u"de zomer van 1999 (2)",
};

QVariant stored(const QString &text, int kind)
{
    switch (kind % 4) {
    case 0:
        return text.toUtf8();
    case 1:
        return text.toLatin1();
    case 2:
        return text;
    }
    return text.toUtf8() + " \xe9"; // not UTF-8: shown as Latin-1
}

SpotRecord spot(int i, bool erotic)
{
    SpotRecord record;
    if (erotic) {
        record.cat = CategoryScheme::erotic;
        record.subcat = CategoryScheme::eroticSubcategory(i % CategoryScheme::eroticGenreCount);
        record.spotDate = firstDate + i / 3 * 60; // in order, three alike
    } else {
        record.subcat = i % 50 == 7 ? 107 : QList<int>{100, 104, 201, 300, 404, 777}.at(i % 6);
        record.cat = record.subcat / 100;
        record.spotDate = firstDate + i / 2 * 60 - (i % 9 == 0 ? 500 : 0);
        if (i >= 3040 && i % 10 == 3) // old spots posted again: far out of order
            record.spotDate -= 100 * 86400;
    }
    const QString phrase = QString::fromUtf16(phrases[i % int(std::size(phrases))]);
    const QString title = i % 3 == 0 ? phrase : phrase + QLatin1Char(' ') + QString::number(i % 17);
    record.title = i % 13 == 5 ? QVariant() : stored(title, i / 7);
    const QList<QByteArray> spotters{"J\xc3\xb6rg", "J\xf6rg", "j\xc3\x96RG", "Pelikaan", "pelikaan", QByteArray()};
    record.spotter = spotters.at((i / 5) % spotters.size());
    record.msgid = "order" + QByteArray::number(i) + (erotic ? "e" : "s");
    return record;
}

// A column's value as the list shows it, folded: the slow sort's key.
struct ShownRow
{
    quint32 date;
    QList<uint> category;
    QList<uint> title;
    QList<uint> spotter;
};

QList<uint> folded(const QString &text)
{
    return text.toCaseFolded().toUcs4();
}

QString shownColumn(const QSqlQuery &query, int column)
{
    return SpotText::shown(query.value(column).toByteArray(),
                           query.value(column + 3).toString() == QLatin1StringView("text"));
}

int sign(qint64 value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

} // namespace

class TestSpotOrder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void shownTextsCompare_data();
    void shownTextsCompare();
    void listsSortAsTheSlowSort_data();
    void listsSortAsTheSlowSort();
    void datesAsStored();

private:
    bool store(int count, bool erotic);
    bool execute(const QString &sql);
    void compareLists(const SpotListIndex &index, SortColumn column, Qt::SortOrder order);
    std::map<int, ShownRow> shownRows(const QString &table);

    std::optional<SpotStore> spotStore;
    int storedSpots = 0;
};

void TestSpotOrder::initTestCase()
{
    spotStore.emplace();
    QVERIFY(store(3000, false));
    QVERIFY(store(300, true));
}

void TestSpotOrder::cleanupTestCase()
{
    spotStore.reset();
}

bool TestSpotOrder::store(int count, bool erotic)
{
    SqlTransaction transaction(spotStore->spotsDatabase());
    for (int i = 0; i < count; ++i) {
        const int number = erotic ? i : storedSpots++;
        if (spotStore->spots().insertSpot(erotic ? SpotTable::EroticSpots : SpotTable::Spots, spot(number, erotic))
            != InsertResult::Inserted)
            return false;
    }
    return transaction.commit();
}

bool TestSpotOrder::execute(const QString &sql)
{
    QSqlQuery query(spotStore->spotsDatabase());
    return query.exec(sql);
}

std::map<int, ShownRow> TestSpotOrder::shownRows(const QString &table)
{
    QSqlQuery query(spotStore->spotsDatabase());
    query.exec(QStringLiteral("SELECT id,subcat,spotdate,title,spotter,0,typeof(title),typeof(spotter) FROM ") + table);
    std::map<int, ShownRow> rows;
    while (query.next()) {
        rows[query.value(0).toInt()]
            = {quint32(query.value(2).toLongLong()), folded(CategoryScheme::shortCategoryName(query.value(1).toInt())),
               folded(shownColumn(query, 3)), folded(shownColumn(query, 4))};
    }
    return rows;
}

// Every kind of list: long ones read off the kept orders, short ones sorted by themselves.
void TestSpotOrder::compareLists(const SpotListIndex &index, SortColumn column, Qt::SortOrder order)
{
    const std::map<int, ShownRow> spots = shownRows(QStringLiteral("spots"));
    const std::map<int, ShownRow> erotic = shownRows(QStringLiteral("erospots"));
    const SpotFilter filters[] = {{{}, CategoryScheme::allSpots, 0},
                                  {{}, 1, 0},
                                  {{}, 1, 107},
                                  {QByteArray("zee"), CategoryScheme::allSpots, 0},
                                  {{}, CategoryScheme::erotic, 0}};
    for (const SpotFilter &filter : filters) {
        const std::map<int, ShownRow> &shown = filter.readsEroticTable() ? erotic : spots;
        const std::vector<int> ids = index.select(filter, 0, 0);
        QVERIFY(ids.size() > 40);
        std::vector<int> expected = ids;
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            const ShownRow &rowA = shown.at(order == Qt::AscendingOrder ? a : b);
            const ShownRow &rowB = shown.at(order == Qt::AscendingOrder ? b : a);
            switch (column) {
            case SortColumn::Date:
                return rowA.date < rowB.date;
            case SortColumn::Category:
                return rowA.category < rowB.category;
            case SortColumn::Title:
                return rowA.title < rowB.title;
            case SortColumn::Spotter:
                break;
            }
            return rowA.spotter < rowB.spotter;
        });
        const std::vector<int> sorted = index.sorted(filter, ids, column, order);
        QCOMPARE(QList<int>(sorted.begin(), sorted.end()), QList<int>(expected.begin(), expected.end()));
    }
}

// clang-format off
void TestSpotOrder::shownTextsCompare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("ASCII letters alike in either case") << QStringLiteral("Abc DEF") << QStringLiteral("aBC def") << 0;
    QTest::newRow("other letters alike in either case") << QStringLiteral("ZO\u00cb") << QStringLiteral("zo\u00eb") << 0;
    QTest::newRow("a text before its longer ones") << QStringLiteral("abc") << QStringLiteral("abc ") << -1;
    QTest::newRow("empty first") << QStringLiteral("") << QStringLiteral(" ") << -1;
    QTest::newRow("digits before letters") << QStringLiteral("1999") << QStringLiteral("a") << -1;
    QTest::newRow("accented letters after z") << QStringLiteral("\u00e9t\u00e9") << QStringLiteral("zomer") << 1;
    QTest::newRow("Kelvin sign as k") << QStringLiteral("\u212aelvin") << QStringLiteral("kelvin") << 0;
    QTest::newRow("differing beyond eight bytes") << QStringLiteral("de zomer van 1999") << QStringLiteral("DE ZOMER VAN 1998") << 1;
    QTest::newRow("other letters beyond eight bytes") << QStringLiteral("de zomer van 1999 Caf\u00e9") << QStringLiteral("DE ZOMER VAN 1999 CAFEZ") << 1;
    QTest::newRow("letters folding to fewer bytes") << QStringLiteral("\u212a\u212a\u212a\u212a\u212a\u212a\u212a\u212ax") << QStringLiteral("kkkkkkkky") << -1;
    QTest::newRow("beyond the plane of most characters") << QStringLiteral("\U0001F600") << QStringLiteral("\uFFFD") << 1;
}
// clang-format on

void TestSpotOrder::shownTextsCompare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    for (const auto &[first, second, expected] : {std::tuple(a, b, order), std::tuple(b, a, -order)}) {
        QCOMPARE(sign(ShownOrder::compare(first.toUtf8(), second.toUtf8())), expected);
        // The first chunk whose keys differ gives the order.
        int byKeys = 0;
        for (int chunk = 0; chunk < 8 && byKeys == 0; ++chunk) {
            const quint64 keyFirst = ShownOrder::key(first.toUtf8(), chunk);
            const quint64 keySecond = ShownOrder::key(second.toUtf8(), chunk);
            byKeys = keyFirst < keySecond ? -1 : keyFirst > keySecond ? 1 : 0;
        }
        QCOMPARE(byKeys, expected);
    }
}

// clang-format off
void TestSpotOrder::listsSortAsTheSlowSort_data()
{
    QTest::addColumn<SortColumn>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::newRow("date ascending") << SortColumn::Date << Qt::AscendingOrder;
    QTest::newRow("date descending") << SortColumn::Date << Qt::DescendingOrder;
    QTest::newRow("category ascending") << SortColumn::Category << Qt::AscendingOrder;
    QTest::newRow("category descending") << SortColumn::Category << Qt::DescendingOrder;
    QTest::newRow("title ascending") << SortColumn::Title << Qt::AscendingOrder;
    QTest::newRow("title descending") << SortColumn::Title << Qt::DescendingOrder;
    QTest::newRow("spotter ascending") << SortColumn::Spotter << Qt::AscendingOrder;
    QTest::newRow("spotter descending") << SortColumn::Spotter << Qt::DescendingOrder;
}
// clang-format on

// The orders kept follow the index: a few rows added are merged in, many make them anew, and
// rows removed (the oldest by expiry, others by hand) leave them.
void TestSpotOrder::listsSortAsTheSlowSort()
{
    QFETCH(SortColumn, column);
    QFETCH(Qt::SortOrder, order);
    sqlite3 *connection = sqliteHandle(spotStore->spotsDatabase());
    SpotListIndex index;
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    compareLists(index, column, order);
    QVERIFY(store(40, false));
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    compareLists(index, column, order);
    QVERIFY(store(1000, false));
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    compareLists(index, column, order);
    QVERIFY(execute(QStringLiteral("DELETE FROM spots WHERE id<60 OR id%7=3")));
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    compareLists(index, column, order);
    QVERIFY(store(30, false));
    QCOMPARE(index.update(connection), SpotListIndex::Update::Done);
    compareLists(index, column, order);
}

void TestSpotOrder::datesAsStored()
{
    SpotListIndex index;
    QCOMPARE(index.update(sqliteHandle(spotStore->spotsDatabase())), SpotListIndex::Update::Done);
    // A saved filter's age reads the dates held.
    const qint64 moment = firstDate + 600 * 60;
    SpotFilter recent;
    recent.saved = SpotFilter::Saved{{}, moment, {}};
    QSqlQuery query(spotStore->spotsDatabase());
    QVERIFY(query.exec(QStringLiteral("SELECT id,spotdate FROM spots ORDER BY id DESC")));
    QList<int> newer;
    while (query.next()) {
        if (query.value(1).toLongLong() >= moment)
            newer << query.value(0).toInt();
    }
    QVERIFY(!newer.isEmpty());
    const std::vector<int> found = index.select(recent, 0, 0);
    QCOMPARE(QList<int>(found.begin(), found.end()), newer);
}

TARNWICK_TEST_MAIN(TestSpotOrder)

#include "tst_spotorder.moc"
