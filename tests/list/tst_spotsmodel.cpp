#include "spotsmodel.h"
#include "spotstore.h"
#include "standinsource.h"
#include "sqltransaction.h"
#include "listtestsupport.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlQuery>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

namespace {

using ListTest::indexed;
using ListTest::shownIds;

// The store as the download leaves it after a few ranges.
constexpr int bulkSpots = 3000;
constexpr int bulkEroticSpots = 300;
const QColor darkGreen(0, 100, 0);

// A stored row as the test remembers it, to work out what every filter must show.
struct StoredSpot
{
    SpotTable table;
    int id;
    int cat;
    int subcat;
    QString title;
    QString spotter;
    QString tag;
};

QString asText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString::fromLatin1(value.toByteArray());
}

// Bulk spot i, bound as header processing binds it. A title with encoded words arrives as
// text (every third one here, with non-ASCII letters), any other as bytes; a fifth have no
// tag, stored as the empty text. Planted words: "Kiwi" in 150 titles of both kinds, "Appel"
// in 100 byte titles, spotter "Pelikaan" 250 times, tag "zeldzaam" 24 times.
SpotRecord bulkSpot(int i)
{
    static const int subcats[] = {100, 101, 104, 107, 109, 200, 204, 300, 316, 400};
    static const char *const words[] = {"Nacht", "Verhaal", "Serie", "Live", "Concert", "Natuur", "Reis", "Stad"};
    static const char *const spotters[] = {"Jan de Vries", "nachtuil", "Gerrit"};
    static const char *const tags[] = {"film", "muziek", "docu", "serie"};

    SpotRecord spot;
    spot.subcat = subcats[i % 10];
    spot.cat = spot.subcat / 100;
    spot.spotDate = 1300000000 + qint64(i) * 600;
    QByteArray title = QByteArray(words[i % 8]) + ' ' + words[(i / 8) % 8] + ' ' + QByteArray::number(i);
    if (i % 20 == 0)
        title += " Kiwi";
    if (i % 30 == 1)
        title += " Appel";
    if (i % 3 == 0)
        spot.title = QStringLiteral("Zo\u00eb ") + QString::fromLatin1(title);
    else
        spot.title = title;
    spot.spotter = i % 12 == 0 ? QByteArray("Pelikaan") : QByteArray(spotters[i % 3]);
    if (i % 5 == 0)
        spot.tag = QLatin1String("");
    else
        spot.tag = i % 97 == 0 ? QByteArray("zeldzaam") : QByteArray(tags[i % 4]);
    spot.msgid = "bulk" + QByteArray::number(i) + "x";
    spot.othercats = "a01b02";
    return spot;
}

// Every planted word again, so that a search that reached erospots would find more.
SpotRecord bulkEroticSpot(int i)
{
    SpotRecord spot;
    spot.cat = 9;
    spot.subcat = 900 + i % 4;
    spot.spotDate = 1300000000 + qint64(i) * 6000;
    spot.title = QByteArray("Flamingo Kiwi Appel Zo ") + QByteArray::number(i);
    spot.spotter = "Pelikaan";
    spot.tag = QByteArray("zeldzaam");
    spot.msgid = "ero" + QByteArray::number(i) + "x";
    return spot;
}

// Spots that arrive while the program runs, spread over the categories; they carry no planted word.
SpotRecord freshSpot(int i, int subcat)
{
    SpotRecord spot;
    spot.cat = subcat / 100;
    spot.subcat = subcat;
    spot.spotDate = 1400000000 + i;
    spot.title = QByteArray("Vers ") + QByteArray::number(i);
    spot.spotter = "nieuwkomer";
    spot.tag = QByteArray("film");
    spot.msgid = "fresh" + QByteArray::number(i) + "x";
    return spot;
}

// LIKE as SQLite reads it: "%" any run, "_" any one character, ASCII case ignored.
QRegularExpression likePattern(const QByteArray &search)
{
    QString pattern;
    for (const char c : search) {
        if (c == '%')
            pattern += QLatin1String(".*");
        else if (c == '_')
            pattern += QLatin1Char('.');
        else
            pattern += QRegularExpression::escape(QString(QLatin1Char(c)));
    }
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
}

bool isDarkGreen(const QVariant &foreground)
{
    const QBrush brush = foreground.value<QBrush>();
    return foreground.typeId() == QMetaType::QBrush && brush.style() == Qt::SolidPattern && brush.color() == darkGreen;
}

// Records the rows that the model loads windows around, from its debug line; passes every message on.
class LoadLog
{
public:
    LoadLog()
    {
        positions.clear();
        previous = qInstallMessageHandler(record);
    }
    ~LoadLog() { qInstallMessageHandler(previous); }

    static inline QList<int> positions;

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        const QLatin1StringView prefix("Loading from db, requested row: ");
        if (type == QtDebugMsg && message.startsWith(prefix))
            positions << message.mid(prefix.size()).toInt();
        previous(type, context, message);
    }

    static inline QtMessageHandler previous = nullptr;
};

} // namespace

class TestSpotsModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void headers();
    void columns_data();
    void columns();
    void everySpotIsNewAfterAnEmptyStart();

    void filters_data();
    void filters();
    void search_data();
    void search();
    void windowAroundTheAskedRow_data();
    void windowAroundTheAskedRow();
    void sameFilterAgainKeepsTheView_data();
    void sameFilterAgainKeepsTheView();

    void newSpotsInsertAtTheTopFewerReset_data();
    void newSpotsInsertAtTheTopFewerReset();
    void rowsPastTheRealEndShowNothing();
    void missingEroticTableShowsNothingUntilItIsBack_data();
    void missingEroticTableShowsNothingUntilItIsBack();

private:
    bool store(SpotTable table, const SpotRecord &spot);
    // Stores spots of every category and a few erotic ones, and counts them as the controller would.
    bool storeFreshSpots();
    bool deleteSpotsAfter(int id);
    QList<int> expectedIds(SpotTable table, const std::function<bool(const StoredSpot &)> &shown) const;
    int lastId(SpotTable table) const;

    std::optional<SpotStore> spotStore;
    std::unique_ptr<StandInSource> source;
    std::unique_ptr<SpotsModel> modelFromEmptyStart;
    QList<StoredSpot> stored;
    int freshSpots = 0;
    // The last id given out per table: ids of deleted rows are never given out again.
    int lastIds[2] = {0, 0};
};

void TestSpotsModel::initTestCase()
{
    // Dates are shown in local time: make that one with summer time.
    qputenv("TZ", "Europe/Amsterdam");
    spotStore.emplace();
    source = std::make_unique<StandInSource>(*spotStore);
    modelFromEmptyStart = std::make_unique<SpotsModel>(source.get(), nullptr);

    SqlTransaction transaction(spotStore->spotsDatabase());
    for (int i = 1; i <= bulkSpots; ++i)
        QVERIFY(store(SpotTable::Spots, bulkSpot(i)));
    for (int i = 1; i <= bulkEroticSpots; ++i)
        QVERIFY(store(SpotTable::EroticSpots, bulkEroticSpot(i)));
    QVERIFY(transaction.commit());

    QSqlQuery query(spotStore->spotsDatabase());
    QVERIFY(query.exec(QStringLiteral("SELECT typeof(title), typeof(tag), count(*) FROM spots GROUP BY 1, 2")));
    QMap<QString, int> kinds;
    while (query.next())
        kinds[query.value(0).toString() + QLatin1Char('/') + query.value(1).toString()] = query.value(2).toInt();
    QCOMPARE(kinds,
             (QMap<QString, int>{{QStringLiteral("blob/blob"), 1600},
                                 {QStringLiteral("blob/text"), 400},
                                 {QStringLiteral("text/blob"), 800},
                                 {QStringLiteral("text/text"), 200}}));
}

void TestSpotsModel::init()
{
    source->addedSpots = 0;
    source->addedEroticSpots = 0;
    // A failed statement, or a connection still in use when it goes, shows up as a warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSpotsModel::cleanupTestCase()
{
    // The models hold the connection: they go before the store.
    modelFromEmptyStart.reset();
    source.reset();
    spotStore.reset();
}

bool TestSpotsModel::store(SpotTable table, const SpotRecord &spot)
{
    if (spotStore->spots().insertSpot(table, spot) != InsertResult::Inserted)
        return false;
    stored.append({table, ++lastIds[int(table)], spot.cat, spot.subcat, asText(spot.title), asText(spot.spotter),
                   asText(spot.tag)});
    return true;
}

int TestSpotsModel::lastId(SpotTable table) const
{
    return lastIds[int(table)];
}

bool TestSpotsModel::storeFreshSpots()
{
    static const int subcats[] = {100, 104, 107, 204, 300, 316, 404};
    SqlTransaction transaction(spotStore->spotsDatabase());
    for (int i = 0; i < 35; ++i) {
        if (!store(SpotTable::Spots, freshSpot(++freshSpots, subcats[i % 7])))
            return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (!store(SpotTable::EroticSpots, freshSpot(++freshSpots, 900 + i % 4)))
            return false;
    }
    source->addedSpots += 35;
    source->addedEroticSpots += 8;
    return transaction.commit();
}

bool TestSpotsModel::deleteSpotsAfter(int id)
{
    QSqlQuery query(spotStore->spotsDatabase());
    query.prepare(QStringLiteral("DELETE FROM spots WHERE id>?"));
    query.addBindValue(id);
    if (!query.exec())
        return false;
    stored.removeIf([id](const StoredSpot &spot) { return spot.table == SpotTable::Spots && spot.id > id; });
    return true;
}

// The user-role ids of the rows a filter must show, newest first.
QList<int> TestSpotsModel::expectedIds(SpotTable table, const std::function<bool(const StoredSpot &)> &shown) const
{
    QList<int> ids;
    for (const StoredSpot &spot : stored) {
        if (spot.table == table && shown(spot))
            ids << (table == SpotTable::EroticSpots ? -spot.id : spot.id);
    }
    std::sort(ids.begin(), ids.end(), [](int a, int b) { return std::abs(a) > std::abs(b); });
    return ids;
}

void TestSpotsModel::headers()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QCOMPARE(model.columnCount(), 5);
    const QStringList expected{QStringLiteral("Datum"), QStringLiteral("Cat"), QStringLiteral("Titel"),
                               QStringLiteral("Spotter"), QStringLiteral("Grootte")};
    for (int section = 0; section < 5; ++section)
        QCOMPARE(model.headerData(section, Qt::Horizontal).toString(), expected.at(section));
    QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

void TestSpotsModel::columns_data()
{
    QTest::addColumn<int>("subcat");
    QTest::addColumn<qint64>("spotDate");
    QTest::addColumn<QVariant>("title");
    QTest::addColumn<QByteArray>("spotter");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("winter-hd-byte-title")
        << 107 << qint64(1298000000) << QVariant(QByteArray("Caf\xe9 Tour")) << QByteArray("Gerrit")
        << QStringList{QStringLiteral("18-02-11 (04:33)"), QStringLiteral("HD"), QStringLiteral("Caf\u00e9 Tour"),
                       QStringLiteral("Gerrit")};
    QTest::newRow("summer-unnamed-text-title-as-text")
        << 316 << qint64(1310050000) << QVariant(QStringLiteral("\u00c6r\u00f8 \u20acuro")) << QByteArray("nachtuil")
        << QStringList{QStringLiteral("07-07-11 (16:46)"), QStringLiteral("???"),
                       QStringLiteral("\u00c6r\u00f8 \u20acuro"), QStringLiteral("nachtuil")};
    QTest::newRow("utf8-bytes-as-utf8") << 402 << qint64(1310000000)
                                        << QVariant(QByteArray("D\xc3\xa9j\xc3\xa0 vu \xe6\x97\xa5\xe6\x9c\xac"))
                                        << QByteArray("J\xc3\xb6rg")
                                        << QStringList{QStringLiteral("07-07-11 (02:53)"), QStringLiteral("Linux"),
                                                       QStringLiteral("D\u00e9j\u00e0 vu \u65e5\u672c"),
                                                       QStringLiteral("J\u00f6rg")};
    QTest::newRow("latin1-bytes-one-character-each-up-to-nul")
        << 402 << qint64(1310000000)
        << QVariant(QByteArray("fa\xe7"
                               "ade\xc3\xa9",
                               9)
                    + QByteArray("\0rest", 5))
        << QByteArray("Ren\xe9")
        << QStringList{QStringLiteral("07-07-11 (02:53)"), QStringLiteral("Linux"),
                       QStringLiteral("fa\u00e7ade\u00c3\u00a9"), QStringLiteral("Ren\u00e9")};
}

void TestSpotsModel::columns()
{
    QFETCH(int, subcat);
    QFETCH(qint64, spotDate);
    QFETCH(QVariant, title);
    QFETCH(QByteArray, spotter);
    QFETCH(QStringList, shown);

    SpotRecord spot = freshSpot(++freshSpots, subcat);
    spot.spotDate = spotDate;
    spot.title = title;
    spot.spotter = spotter;
    QVERIFY(store(SpotTable::Spots, spot));

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    model.setFilter({}, 0, 0);
    QCOMPARE(model.data(model.index(0, 0), Qt::UserRole).toInt(), lastId(SpotTable::Spots));
    for (int column = 0; column < 4; ++column)
        QCOMPARE(model.data(model.index(0, column)).toString(), shown.at(column));
    QVERIFY(!model.data(model.index(0, 2), Qt::ToolTipRole).isValid());
}

void TestSpotsModel::everySpotIsNewAfterAnEmptyStart()
{
    SpotsModel &model = *modelFromEmptyStart;
    for (const int category : {0, 9}) {
        model.setFilter({}, category, 0);
        QVERIFY(model.rowCount() > 200);
        for (const int row : {0, model.rowCount() - 1})
            QVERIFY(isDarkGreen(model.data(model.index(row, 1), Qt::ForegroundRole)));
    }
}

void TestSpotsModel::filters_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("subcategory");
    QTest::addColumn<bool>("erotic");
    QTest::addColumn<bool>("onlyNew");
    QTest::addColumn<int>("cat"); // 0: any
    QTest::addColumn<int>("subcat"); // 0: any

    QTest::newRow("new") << -1 << 0 << false << true << 0 << 0;
    QTest::newRow("all") << 0 << 0 << false << false << 0 << 0;
    QTest::newRow("category-1") << 1 << 0 << false << false << 1 << 0;
    QTest::newRow("category-3") << 3 << 0 << false << false << 3 << 0;
    QTest::newRow("category-4") << 4 << 0 << false << false << 4 << 0;
    QTest::newRow("subcategory-104") << 0 << 104 << false << false << 0 << 104;
    QTest::newRow("subcategory-without-tree-item-107") << 0 << 107 << false << false << 0 << 107;
    QTest::newRow("subcategory-wins-over-category") << 1 << 204 << false << false << 0 << 204;
    QTest::newRow("new-wins-over-subcategory") << -1 << 104 << false << true << 0 << 0;
    QTest::newRow("erotic-category-9") << 9 << 0 << true << false << 0 << 0;
    QTest::newRow("erotic-new") << -9 << 0 << true << true << 0 << 0;
    QTest::newRow("erotic-new-wins-over-subcategory") << -9 << 100 << true << true << 0 << 0;
    QTest::newRow("erotic-subcategory-901") << 0 << 901 << true << false << 0 << 901;
    QTest::newRow("subcategory-900-reads-erospots") << 0 << 900 << true << false << 0 << 900;
}

void TestSpotsModel::filters()
{
    QFETCH(int, category);
    QFETCH(int, subcategory);
    QFETCH(bool, erotic);
    QFETCH(bool, onlyNew);
    QFETCH(int, cat);
    QFETCH(int, subcat);

    const SpotTable table = erotic ? SpotTable::EroticSpots : SpotTable::Spots;
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    const int baseline = lastId(table);
    QVERIFY(storeFreshSpots());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    model.setFilter({}, 2, 0); // away from the start-up filter, so that every row below changes it
    model.setFilter({}, category, subcategory);

    const QList<int> expected = expectedIds(table, [&](const StoredSpot &spot) {
        return (!onlyNew || spot.id > baseline) && (cat == 0 || spot.cat == cat)
            && (subcat == 0 || spot.subcat == subcat);
    });
    QVERIFY(!expected.isEmpty());
    QCOMPARE(model.rowCount(), expected.size());
    QCOMPARE(shownIds(model), expected);
}

void TestSpotsModel::search_data()
{
    QTest::addColumn<QByteArray>("search");
    QTest::addColumn<int>("hits");

    QTest::newRow("title-150-hits-of-both-kinds-counted-from-rows") << QByteArray("kiwi") << 150;
    QTest::newRow("title-upper-case") << QByteArray("KIWI") << 150;
    QTest::newRow("byte-titles") << QByteArray("aPPel") << 100;
    QTest::newRow("text-titles-1000-hits") << QByteArray("zo") << 1000;
    QTest::newRow("spotter-250-hits-counted-by-statement") << QByteArray("pelikaan") << 250;
    QTest::newRow("tag") << QByteArray("zeldzaam") << 24;
    QTest::newRow("underscore-wildcard") << QByteArray("k_wi") << 150;
    QTest::newRow("percent-wildcard") << QByteArray("pel%kaan") << 250;
    QTest::newRow("only-in-erospots") << QByteArray("flamingo") << 0;
    QTest::newRow("nothing") << QByteArray("xyzzy") << 0;
}

void TestSpotsModel::search()
{
    QFETCH(QByteArray, search);
    QFETCH(int, hits);

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter(search, 0, 0);

    const QRegularExpression like = likePattern(search);
    const QList<int> expected = expectedIds(SpotTable::Spots, [&](const StoredSpot &spot) {
        return like.match(spot.title).hasMatch() || like.match(spot.spotter).hasMatch()
            || like.match(spot.tag).hasMatch();
    });
    QCOMPARE(expected.size(), hits);
    QCOMPARE(model.rowCount(), hits);
    QCOMPARE(shownIds(model), expected);

    // An empty search is the all filter again.
    model.setFilter({}, 0, 0);
    QCOMPARE(shownIds(model), expectedIds(SpotTable::Spots, [](const StoredSpot &) { return true; }));
}

void TestSpotsModel::windowAroundTheAskedRow_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("row-1000") << 1000 << 900 << 1099;
    QTest::newRow("row-50") << 50 << 0 << 199;
}

void TestSpotsModel::windowAroundTheAskedRow()
{
    QFETCH(int, position);
    QFETCH(int, first);
    QFETCH(int, last);

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, 0, 0);
    const QList<int> all = expectedIds(SpotTable::Spots, [](const StoredSpot &) { return true; });
    const auto idAt = [&](int row) { return model.data(model.index(row, 3), Qt::UserRole).toInt(); };
    idAt(2500); // the window somewhere else

    LoadLog log;
    QCOMPARE(idAt(position), all.at(position));
    QCOMPARE(log.positions, QList<int>{position});
    for (int row = first; row <= last; ++row)
        QCOMPARE(idAt(row), all.at(row));
    QCOMPARE(log.positions, QList<int>{position});

    QCOMPARE(idAt(last + 1), all.at(last + 1));
    QCOMPARE(log.positions, (QList<int>{position, last + 1}));
}

void TestSpotsModel::sameFilterAgainKeepsTheView_data()
{
    QTest::addColumn<QByteArray>("search");
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("subcategory");

    QTest::newRow("new-as-at-start") << QByteArray() << -1 << 0;
    QTest::newRow("all") << QByteArray() << 0 << 0;
    QTest::newRow("category") << QByteArray() << 2 << 0;
    QTest::newRow("subcategory") << QByteArray() << 0 << 204;
    QTest::newRow("search") << QByteArray("kiwi") << 0 << 0;
}

void TestSpotsModel::sameFilterAgainKeepsTheView()
{
    QFETCH(QByteArray, search);
    QFETCH(int, category);
    QFETCH(int, subcategory);

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    model.setFilter(search, category, subcategory);
    const int rows = model.rowCount();
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    LoadLog log;

    model.setFilter(search, category, subcategory);
    QCOMPARE(resets.size(), 0);
    QCOMPARE(log.positions, QList<int>());
    QCOMPARE(model.rowCount(), rows);
}

void TestSpotsModel::newSpotsInsertAtTheTopFewerReset_data()
{
    QTest::addColumn<int>("category");

    QTest::newRow("all-counted-by-statement") << 0;
    QTest::newRow("new-counted-by-controller") << -1;
}

void TestSpotsModel::newSpotsInsertAtTheTopFewerReset()
{
    QFETCH(int, category);

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, category, 0);
    const int before = model.rowCount();
    const int lastOld = lastId(SpotTable::Spots);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    // Nothing changed: nothing to announce.
    Q_EMIT source->newSpots();
    QCOMPARE(inserts.size(), 0);
    QCOMPARE(resets.size(), 0);

    QVERIFY(storeFreshSpots());
    Q_EMIT source->newSpots();
    QCOMPARE(resets.size(), 0);
    QCOMPARE(inserts.size(), 1);
    QCOMPARE(inserts.at(0), (QVariantList{QVariant::fromValue(QModelIndex()), 0, 34}));
    QCOMPARE(model.rowCount(), before + 35);
    for (int row = 0; row < 35; ++row) {
        QCOMPARE(model.data(model.index(row, 0), Qt::UserRole).toInt(), lastOld + 35 - row);
        QVERIFY(isDarkGreen(model.data(model.index(row, 0), Qt::ForegroundRole)));
    }
    if (before > 0) {
        QCOMPARE(model.data(model.index(35, 0), Qt::UserRole).toInt(), lastOld);
        QVERIFY(!model.data(model.index(35, 0), Qt::ForegroundRole).isValid());
    }

    // Expired, or deleted with the store: fewer rows than shown.
    QVERIFY(deleteSpotsAfter(lastOld));
    source->addedSpots = 0;
    Q_EMIT source->newSpots();
    QCOMPARE(inserts.size(), 1);
    QCOMPARE(resets.size(), 1);
    QCOMPARE(model.rowCount(), before);
}

void TestSpotsModel::rowsPastTheRealEndShowNothing()
{
    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const int lastOld = lastId(SpotTable::Spots);
    QVERIFY(storeFreshSpots());
    source->addedSpots = 250; // more than were stored
    Q_EMIT source->newSpots();

    QCOMPARE(model.rowCount(), 250);
    QCOMPARE(model.data(model.index(34, 2), Qt::UserRole).toInt(), lastOld + 1);
    for (const int row : {35, 120, 249}) {
        for (const int role : {int(Qt::DisplayRole), int(Qt::ForegroundRole), int(Qt::UserRole)})
            QVERIFY(!model.data(model.index(row, 2), role).isValid());
    }
    // Rows that exist still show.
    QCOMPARE(model.data(model.index(0, 2), Qt::UserRole).toInt(), lastOld + 35);
}

void TestSpotsModel::missingEroticTableShowsNothingUntilItIsBack_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("subcategory");

    QTest::newRow("erotic-category") << 9 << 0;
    QTest::newRow("erotic-subcategory") << 0 << 901;
}

void TestSpotsModel::missingEroticTableShowsNothingUntilItIsBack()
{
    QFETCH(int, category);
    QFETCH(int, subcategory);

    // As a failed migration leaves the file; renamed, so that the rows come back with the table.
    const QString away = QStringLiteral("ALTER TABLE erospots RENAME TO erospots_away");
    const QString back = QStringLiteral("ALTER TABLE erospots_away RENAME TO erospots");
    QVERIFY(QSqlQuery(spotStore->spotsDatabase()).exec(away));
    const auto restore = qScopeGuard([&] { QSqlQuery(spotStore->spotsDatabase()).exec(back); });

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFilter({}, category, subcategory);
    QCOMPARE(model.rowCount(), 0);
    Q_EMIT source->newSpots();
    QCOMPARE(model.rowCount(), 0);

    QVERIFY(QSqlQuery(spotStore->spotsDatabase()).exec(back));
    Q_EMIT source->newSpots();
    const QList<int> expected = expectedIds(
        SpotTable::EroticSpots, [&](const StoredSpot &spot) { return subcategory == 0 || spot.subcat == subcategory; });
    QVERIFY(!expected.isEmpty());
    QCOMPARE(model.rowCount(), expected.size());
    QCOMPARE(shownIds(model), expected);
}

TARNWICK_TEST_MAIN(TestSpotsModel)

#include "tst_spotsmodel.moc"
