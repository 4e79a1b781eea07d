// Saved filters, hidden spotters, sorting, the watch list and the saved filters' new-spot counts:
// what the list shows, before its index is built (statements) and after (index), against a
// plain evaluation of every stored row.
#include "categoryscheme.h"
#include "savedfiltercounts.h"
#include "searchquery.h"
#include "spotindexbuilder.h"
#include "spotsmodel.h"
#include "spotstore.h"
#include "spottext.h"
#include "sqltransaction.h"
#include "standinsource.h"
#include "listtestsupport.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QIcon>
#include <QSignalSpy>
#include <QSqlQuery>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

using ListTest::asciiLower;
using ListTest::indexed;
using ListTest::shownIds;

constexpr int storedSpots = 1500;
constexpr int storedEroticSpots = 200;
const qint64 firstDate = 1300000000;

const char16_t *const phrases[] = {
    u"Zo\u00eb en de zee", u"Ren\u00e9 Caf\u00e9",
    u"J\u00d6RG live",     u"Kiwi plain",
    u"KIWI plain",         u"\u00c6r\u00f8 reis",
    u"cr\u00e8me hd",      u"zee",
    u"Zo\u00eb hd",        u"abc",
};
// Spotters as posters write them: UTF-8, Latin-1, wildcard characters, none.
const QList<QByteArray> spotters{
    "J\xc3\xb6rg", "J\xf6rg", "Pelikaan", "hd_man", "hd-man", QByteArray(), "Ren\xc3\xa9 Zo\xc3\xab", "J?rg"};

SpotRecord spot(int i, bool erotic)
{
    SpotRecord record;
    if (erotic) {
        record.cat = CategoryScheme::erotic;
        record.subcat = CategoryScheme::eroticSubcategory(i % CategoryScheme::eroticGenreCount);
    } else {
        record.subcat = QList<int>{100, 104, 201, 300, 404}.at(i % 5);
        record.cat = record.subcat / 100;
    }
    // Not in the order of the ids, and four spots a date.
    record.spotDate = firstDate + (i * 7 % (storedSpots / 4)) * 60;
    const QString title
        = QString::fromUtf16(phrases[i % std::size(phrases)]) + QLatin1Char(' ') + QString::number(i % 7);
    switch ((i / 3) % 3) {
    case 0:
        record.title = title.toUtf8();
        break;
    case 1:
        record.title = title.toLatin1();
        break;
    default:
        record.title = title;
    }
    record.spotter = spotters.at((i / 2) % spotters.size());
    record.tag = i % 11 == 0 ? QVariant(QByteArray("film")) : QVariant();
    record.msgid = (erotic ? "ero" : "spot") + QByteArray::number(i) + "@x";
    return record;
}

struct Value
{
    bool isNull = true;
    QByteArray bytes; // as CAST(value AS TEXT) reads them
    QString shown;
};

struct Row
{
    int id = 0;
    bool erotic = false;
    int cat = 0;
    int subcat = 0;
    qint64 date = 0;
    Value title;
    Value spotter;
    Value tag;
    QByteArray messageId;
};

// The search terms of the tests are ASCII without wildcards: the statements and the index agree.
bool termHolds(const SearchQuery::Term &term, const Row &row)
{
    const QString pattern = asciiLower(QString::fromLatin1(term.pattern));
    const auto in = [&](const Value &value) { return asciiLower(value.shown).contains(pattern); };
    bool found = false;
    switch (term.field) {
    case SearchQuery::Field::Any:
        found = in(row.title) || in(row.spotter) || in(row.tag);
        break;
    case SearchQuery::Field::Spotter:
        found = in(row.spotter);
        break;
    case SearchQuery::Field::Tag:
        found = in(row.tag);
        break;
    }
    return found != term.negated;
}

bool found(const QByteArray &search, const Row &row)
{
    const SearchQuery query(search);
    return std::all_of(query.groups().begin(), query.groups().end(), [&](const SearchQuery::Group &group) {
        return std::any_of(group.begin(), group.end(), [&](const auto &term) { return termHolds(term, row); });
    });
}

bool spotterIn(const QStringList &names, const Row &row)
{
    return std::any_of(names.begin(), names.end(), [&](const QString &name) {
        return !name.isEmpty() && asciiLower(name) == asciiLower(row.spotter.shown);
    });
}

// Whether the list of filter shows row; baseline: the highest id of the new list's table when
// the list started.
bool shows(const SpotFilter &filter, const Row &row, int baseline)
{
    const bool searches = !SearchQuery(filter.search).isEmpty();
    if (spotterIn(filter.hiddenSpotters, row))
        return false;
    if (filter.saved) {
        const QList<int> &codes = filter.saved->categories;
        const bool erotic
            = !codes.isEmpty() && std::all_of(codes.begin(), codes.end(), CategoryScheme::isEroticTreeCode);
        return row.erotic == erotic && (codes.isEmpty() || codes.contains(row.cat) || codes.contains(row.subcat))
            && row.date >= filter.saved->notBefore && !spotterIn(filter.saved->leftOutSpotters, row)
            && found(filter.search, row);
    }
    if (searches)
        return !row.erotic && found(filter.search, row);
    if (filter.category == CategoryScheme::newSpots || filter.category == CategoryScheme::newEroticSpots)
        return row.erotic == (filter.category == CategoryScheme::newEroticSpots) && row.id > baseline;
    if (filter.category == CategoryScheme::allSpots && filter.subcategory == 0)
        return !row.erotic;
    if (filter.subcategory != 0)
        return row.erotic == CategoryScheme::isEroticTreeCode(filter.subcategory) && row.subcat == filter.subcategory;
    return row.erotic == CategoryScheme::isEroticTreeCode(filter.category) && row.cat == filter.category;
}

// How a sort orders two rows: categories by their short names; texts as the index compares the
// shown texts, case-folded, or as the statements the stored bytes, ASCII case ignored, NULL first.
int compareRows(const Row &a, const Row &b, SortColumn column, bool indexed)
{
    const auto texts = [&](const Value &x, const Value &y) {
        if (indexed)
            return QString::compare(x.shown.toCaseFolded(), y.shown.toCaseFolded());
        if (x.isNull || y.isNull)
            return int(y.isNull) - int(x.isNull);
        const QByteArray left = SpotText::foldedAscii(x.bytes);
        const QByteArray right = SpotText::foldedAscii(y.bytes);
        return left < right ? -1 : right < left ? 1 : 0;
    };
    switch (column) {
    case SortColumn::Date:
        return a.date < b.date ? -1 : a.date > b.date;
    case SortColumn::Category:
        return int(ShownOrder::categoryRank(a.subcat)) - int(ShownOrder::categoryRank(b.subcat));
    case SortColumn::Title:
        return texts(a.title, b.title);
    case SortColumn::Spotter:
        return texts(a.spotter, b.spotter);
    }
    return 0;
}

int signedId(const Row &row)
{
    return row.erotic ? -row.id : row.id;
}

SpotFilter savedFilter(const QByteArray &search, const QList<int> &categories, qint64 notBefore,
                       const QStringList &leftOut, const QStringList &hidden)
{
    SpotFilter filter;
    filter.search = search;
    filter.saved = SpotFilter::Saved{categories, notBefore, leftOut};
    filter.hiddenSpotters = hidden;
    return filter;
}

void show(SpotsModel &model, const SpotFilter &filter)
{
    model.setHiddenSpotters(filter.hiddenSpotters);
    if (filter.saved)
        model.setSavedFilter(filter.search, *filter.saved);
    else
        model.setFilter(filter.search, filter.category, filter.subcategory);
}

} // namespace

Q_DECLARE_METATYPE(SpotFilter)

class TestSavedFilters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void listsShowWhatEveryRowSays_data();
    void listsShowWhatEveryRowSays();
    void sortsByEveryColumn_data();
    void sortsByEveryColumn();
    void sortedListsTakeNewRanges();
    void watchListShowsItsMarks();
    void starsMarkedRowsOfEveryList();
    void countsNewSpotsOfSavedFilters();
    void hostileSpottersHideAndShowAsWritten_data();
    void hostileSpottersHideAndShowAsWritten();

private:
    // Stores count spots; spotter, unless empty, is every one's spotter.
    bool insert(int count, bool erotic = false, const QByteArray &spotter = {});
    QList<MarkedSpot> marksOf(const QList<int> &positions) const;
    QList<Row> storedRows() const;
    // The filter's ids, newest first or sorted as the statements or the index sort them.
    QList<int> expectedIds(const SpotFilter &filter, int baseline, std::optional<SpotQuery::Sort> sort = {},
                           bool indexed = true) const;
    int maxId(bool erotic = false) const;

    std::optional<SpotStore> spotStore;
    std::unique_ptr<StandInSource> source;
    int stored = 0;
    int storedErotic = 0;
};

void TestSavedFilters::initTestCase()
{
    spotStore.emplace();
    source = std::make_unique<StandInSource>(*spotStore);
    QVERIFY(insert(storedSpots));
    QVERIFY(insert(storedEroticSpots, true));
    // Spotters that arrived as text.
    QSqlQuery query(spotStore->spotsDatabase());
    query.prepare(QStringLiteral("UPDATE spots SET spotter=CAST(spotter AS TEXT) WHERE id%3=0 AND spotter IN (?,?)"));
    query.addBindValue(spotters.at(0));
    query.addBindValue(spotters.at(2));
    QVERIFY(query.exec());
    QVERIFY(query.numRowsAffected() > 0);
}

void TestSavedFilters::cleanup()
{
    source->addedSpots = 0;
    source->addedEroticSpots = 0;
}

void TestSavedFilters::cleanupTestCase()
{
    source.reset();
    spotStore.reset();
}

bool TestSavedFilters::insert(int count, bool erotic, const QByteArray &spotter)
{
    SqlTransaction transaction(spotStore->spotsDatabase());
    int &next = erotic ? storedErotic : stored;
    for (int i = 0; i < count; ++i) {
        SpotRecord record = spot(next++, erotic);
        if (!spotter.isEmpty())
            record.spotter = spotter;
        if (spotStore->spots().insertSpot(erotic ? SpotTable::EroticSpots : SpotTable::Spots, record)
            != InsertResult::Inserted)
            return false;
    }
    return transaction.commit();
}

int TestSavedFilters::maxId(bool erotic) const
{
    QSqlQuery query(QStringLiteral("SELECT max(id) FROM ")
                        + (erotic ? QLatin1String("erospots") : QLatin1String("spots")),
                    spotStore->spotsDatabase());
    return query.next() ? query.value(0).toInt() : 0;
}

QList<Row> TestSavedFilters::storedRows() const
{
    QList<Row> rows;
    for (const bool erotic : {false, true}) {
        QSqlQuery query(spotStore->spotsDatabase());
        query.exec(QStringLiteral("SELECT id,cat,subcat,spotdate,title,spotter,tag,typeof(title),typeof(spotter),"
                                  "typeof(tag),msgid FROM %1 ORDER BY id DESC")
                       .arg(erotic ? QLatin1String("erospots") : QLatin1String("spots")));
        while (query.next()) {
            Row row;
            row.id = query.value(0).toInt();
            row.erotic = erotic;
            row.cat = query.value(1).toInt();
            row.subcat = query.value(2).toInt();
            row.date = query.value(3).toLongLong();
            for (const auto &[column, value] : {std::pair{4, &row.title}, {5, &row.spotter}, {6, &row.tag}}) {
                const bool isText = query.value(column + 3).toString() == QLatin1String("text");
                value->isNull = query.value(column).isNull();
                value->bytes = isText ? query.value(column).toString().toUtf8() : query.value(column).toByteArray();
                value->shown = SpotText::shown(value->bytes, isText);
            }
            row.messageId = query.value(10).toByteArray();
            rows << row;
        }
    }
    return rows;
}

QList<int> TestSavedFilters::expectedIds(const SpotFilter &filter, int baseline, std::optional<SpotQuery::Sort> sort,
                                         bool indexed) const
{
    QList<Row> rows = storedRows();
    rows.removeIf([&](const Row &row) { return !shows(filter, row, baseline); });
    if (sort) {
        std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
            const int order = compareRows(a, b, sort->column, indexed);
            return sort->order == Qt::AscendingOrder ? order < 0 : order > 0;
        });
    }
    QList<int> ids;
    for (const Row &row : rows)
        ids << signedId(row);
    return ids;
}

void TestSavedFilters::listsShowWhatEveryRowSays_data()
{
    QTest::addColumn<SpotFilter>("filter");

    const auto list
        = [](const char *name, const QByteArray &search, int category, int subcategory, const QStringList &hidden) {
              SpotFilter filter{search, category, subcategory};
              filter.hiddenSpotters = hidden;
              QTest::newRow(name) << filter;
          };
    const auto saved = [](const char *name, const QByteArray &search, const QList<int> &categories, qint64 notBefore,
                          const QStringList &leftOut, const QStringList &hidden) {
        QTest::newRow(name) << savedFilter(search, categories, notBefore, leftOut, hidden);
    };
    const QString jorg = QString::fromUtf8("j\xc3\xb6rg");
    const QString rene = QString::fromUtf8("REN\xc3\xa9 zo\xc3\xab");
    const qint64 late = firstDate + 300 * 60;
    // clang-format off
    list("all", {}, 0, 0, {});
    list("all-hidden", {}, 0, 0, {QStringLiteral("PELIKAAN")});
    list("category", {}, 1, 0, {});
    list("category-hidden-utf8-and-latin1", {}, 1, 0, {jorg});
    list("category-hidden-non-ascii-case-differs", {}, 2, 0, {QString::fromUtf8("J\xc3\x96RG")});
    list("category-hidden-empty-name-names-no-one", {}, 1, 0, {QString()});
    list("category-hidden-beyond-latin1", {}, 1, 0, {QString::fromUtf8("j\xc5\x91rg")});
    list("subcategory-hidden-wildcard-is-a-character", {}, 0, 104, {QStringLiteral("hd_man")});
    list("subcategory-hidden-percent-is-no-wildcard", {}, 0, 300, {QStringLiteral("hd%man")});
    list("erotic-category-hidden", {}, CategoryScheme::erotic, 0, {QStringLiteral("pelikaan")});
    list("erotic-genre", {}, CategoryScheme::erotic, CategoryScheme::eroticSubcategory(2), {});
    list("new", {}, CategoryScheme::newSpots, 0, {});
    list("new-hidden", {}, CategoryScheme::newSpots, 0, {QStringLiteral("Pelikaan"), rene});
    list("erotic-new", {}, CategoryScheme::newEroticSpots, 0, {});
    list("erotic-new-hidden", {}, CategoryScheme::newEroticSpots, 0, {jorg});
    list("search-hidden", "kiwi", 0, 0, {QStringLiteral("pelikaan")});
    list("search-of-the-hidden", "spotter:pelik | zee", 0, 0, {QStringLiteral("pelikaan")});
    list("search-hidden-prefix-hides-nothing", "hd", 0, 0, {QStringLiteral("hd")});
    saved("saved-everything", {}, {}, 0, {}, {});
    saved("saved-search-only", "zee -de", {}, 0, {}, {});
    saved("saved-categories-and-subcategories", "plain", {2, 104}, 0, {}, {});
    saved("saved-age", {}, {}, late, {}, {});
    saved("saved-left-out", "hd", {1, 3}, 0, {QStringLiteral("HD-MAN"), jorg}, {});
    saved("saved-left-out-empty-name", "e", {}, 0, {QString()}, {});
    saved("saved-left-out-and-hidden", "e", {4}, late, {rene}, {QStringLiteral("hd_man")});
    saved("saved-erotic-categories", {}, {CategoryScheme::erotic}, 0, {}, {});
    saved("saved-erotic-genres-and-age", "plain", {CategoryScheme::eroticSubcategory(0), CategoryScheme::eroticSubcategory(3)}, late, {}, {jorg});
    saved("saved-erotic-and-other-reads-spots", {}, {CategoryScheme::erotic, 3}, 0, {}, {});
    saved("saved-finds-nothing", "xyzzy", {1}, 0, {}, {});
    saved("saved-no-term-is-no-search", "-", {201}, 0, {}, {});
    // clang-format on
}

void TestSavedFilters::listsShowWhatEveryRowSays()
{
    QFETCH(SpotFilter, filter);

    const bool eroticNew = filter.category == CategoryScheme::newEroticSpots;
    const int baseline = maxId(eroticNew);
    SpotsModel model(source.get(), nullptr);
    show(model, filter);
    QCOMPARE(model.currentFilter(), filter);
    if (filter.category == CategoryScheme::newSpots || eroticNew) {
        QVERIFY(insert(60, eroticNew));
        (eroticNew ? source->addedEroticSpots : source->addedSpots) = 60;
        Q_EMIT source->newSpots();
    }
    QVERIFY(!model.isIndexed());
    const QList<int> expected = expectedIds(filter, baseline);
    const QList<int> shown = shownIds(model);
    if (filter.kind() == SpotFilter::Kind::All) // its first window alone, until the index counted it
        QCOMPARE(shown, expected.first(qMin(200, expected.size())));
    else
        QCOMPARE(shown, expected);
    QVERIFY(indexed(model));
    QCOMPARE(shownIds(model), expected);
}

void TestSavedFilters::sortsByEveryColumn_data()
{
    QTest::addColumn<SpotFilter>("filter");
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");

    SpotFilter category{{}, 1, 0};
    SpotFilter search{"e", 0, 0};
    search.hiddenSpotters = QStringList{QStringLiteral("hd_man")};
    const SpotFilter saved = savedFilter("-kiwi", {2, 100, 404}, firstDate + 100 * 60, {QStringLiteral("pelikaan")},
                                         {QStringLiteral("hd-man")});
    const SpotFilter erotic{{}, CategoryScheme::erotic, 0};
    const char *const columns[] = {"date", "category", "title", "spotter"};
    for (const auto &[name, filter] :
         {std::pair{"category", category}, {"search", search}, {"saved", saved}, {"erotic", erotic}}) {
        // The size column sorts by the details file (tst_spotsizes).
        for (int column = 0; column < SpotsModel::SizeColumn; ++column) {
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                QTest::addRow("%s-%s-%s", name, columns[column], order == Qt::AscendingOrder ? "up" : "down")
                    << filter << column << order;
            }
        }
    }
}

void TestSavedFilters::sortsByEveryColumn()
{
    QFETCH(SpotFilter, filter);
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);

    const SpotQuery::Sort sort{SortColumn(column), order};
    SpotsModel model(source.get(), nullptr);
    show(model, filter);
    model.sort(column, order);
    QVERIFY(!model.isIndexed());
    const QList<int> statementOrder = shownIds(model);
    QCOMPARE(statementOrder, expectedIds(filter, 0, sort, false));
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QVERIFY(indexed(model));
    const QList<int> indexOrder = expectedIds(filter, 0, sort, true);
    QCOMPARE(shownIds(model), indexOrder);
    // Rows that the index places elsewhere are announced.
    if (indexOrder != statementOrder)
        QVERIFY(!changes.isEmpty() || !resets.isEmpty());
    model.sort(-1);
    QCOMPARE(shownIds(model), expectedIds(filter, 0));
}

// Sorted lists of every kind under the model tester while the filter, the sort and the hidden
// spotters change and ranges of new rows arrive.
void TestSavedFilters::sortedListsTakeNewRanges()
{
    SpotsModel model(source.get(), nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::optional<SpotQuery::Sort> sort = SpotQuery::Sort{SortColumn::Title, Qt::DescendingOrder};
    SpotFilter filter = savedFilter("plain | zee", {1, 201}, firstDate + 50 * 60, {}, {QStringLiteral("pelikaan")});
    show(model, filter);
    model.sort(SpotsModel::TitleColumn, Qt::DescendingOrder);
    // Before the index: read with the statements.
    QVERIFY(insert(7));
    Q_EMIT source->newSpots();
    QVERIFY(!model.isIndexed());
    QCOMPARE(shownIds(model), expectedIds(filter, 0, sort, false));
    QVERIFY(indexed(model));
    QCOMPARE(shownIds(model), expectedIds(filter, 0, sort));
    for (const int count : {5, 40, 300}) {
        QVERIFY(insert(count));
        Q_EMIT source->newSpots();
        QTRY_COMPARE(shownIds(model), expectedIds(filter, 0, sort));
    }

    filter = SpotFilter{{}, 2, 0};
    filter.hiddenSpotters = QStringList{QStringLiteral("pelikaan")};
    show(model, filter);
    QCOMPARE(shownIds(model), expectedIds(filter, 0, sort));
    sort = SpotQuery::Sort{SortColumn::Spotter, Qt::AscendingOrder};
    model.sort(SpotsModel::SpotterColumn, Qt::AscendingOrder);
    QCOMPARE(shownIds(model), expectedIds(filter, 0, sort));
    filter.hiddenSpotters.clear();
    model.setHiddenSpotters({});
    QCOMPARE(shownIds(model), expectedIds(filter, 0, sort));
    QVERIFY(insert(20));
    Q_EMIT source->newSpots();
    QTRY_COMPARE(shownIds(model), expectedIds(filter, 0, sort));

    filter = SpotFilter{"hd", 0, 0};
    show(model, filter);
    QCOMPARE(shownIds(model), expectedIds(filter, 0, sort));
    model.sort(-1);
    QCOMPARE(shownIds(model), expectedIds(filter, 0));
}

QList<MarkedSpot> TestSavedFilters::marksOf(const QList<int> &positions) const
{
    const QList<Row> rows = storedRows();
    QList<MarkedSpot> marks;
    for (const int position : positions) {
        const Row &row = rows.at(position);
        marks << MarkedSpot{
            {row.messageId, row.cat, row.subcat, row.date, row.title.shown, row.spotter.shown, row.erotic},
            qint64(position)};
    }
    return marks;
}

// The watch list shows its marks as given or sorted, also those of hidden spotters and of
// spots no longer stored.
void TestSavedFilters::watchListShowsItsMarks()
{
    QList<MarkedSpot> marks = marksOf({7, 400, 3, 1, 1200, storedSpots + 10, 8, 2, 90});
    MarkedSpot expired = marks.at(4);
    expired.spot.messageId = "expired@x";
    expired.spot.title = QStringLiteral("Verlopen");
    marks.insert(2, expired);
    const auto shownMarks = [](const SpotsModel &model) {
        QList<QByteArray> found;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex title = model.index(row, SpotsModel::TitleColumn);
            found << model.data(title, SpotsModel::MessageIdRole).toByteArray();
            if (model.data(title).toString().isEmpty() || model.data(title, SpotsModel::SpotIdRole).toInt() != 0)
                return QList<QByteArray>{"wrong row " + QByteArray::number(row)};
        }
        return found;
    };
    const auto idsOf = [](const QList<MarkedSpot> &shown) {
        QList<QByteArray> ids;
        for (const MarkedSpot &mark : shown)
            ids << mark.spot.messageId;
        return ids;
    };

    SpotsModel model(source.get(), nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHiddenSpotters({marks.at(0).spot.spotter, marks.at(1).spot.spotter});
    model.showMarks(marks);
    QCOMPARE(shownMarks(model), idsOf(marks));
    QVERIFY(indexed(model));
    QCOMPARE(shownMarks(model), idsOf(marks));

    for (int column = 0; column < SpotsModel::SizeColumn; ++column) {
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            QList<MarkedSpot> sorted = marks;
            const auto key = [column](const MarkedSpot &mark) {
                switch (column) {
                case SpotsModel::DateColumn:
                    return QVariant(mark.spot.spotDate);
                case SpotsModel::CategoryColumn:
                    return QVariant(ShownOrder::categoryRank(mark.spot.subcategory));
                case SpotsModel::TitleColumn:
                    return QVariant(mark.spot.title.toCaseFolded());
                default:
                    return QVariant(mark.spot.spotter.toCaseFolded());
                }
            };
            std::stable_sort(sorted.begin(), sorted.end(), [&](const MarkedSpot &a, const MarkedSpot &b) {
                const QPartialOrdering ordering = QVariant::compare(key(a), key(b));
                return order == Qt::AscendingOrder ? ordering == QPartialOrdering::Less
                                                   : ordering == QPartialOrdering::Greater;
            });
            model.sort(column, order);
            QCOMPARE(shownMarks(model), idsOf(sorted));
        }
    }
    model.sort(-1);
    QCOMPARE(shownMarks(model), idsOf(marks));
    marks.removeAt(1);
    model.showMarks(marks);
    QCOMPARE(shownMarks(model), idsOf(marks));
    QVERIFY(insert(10));
    Q_EMIT source->newSpots();
    QCOMPARE(shownMarks(model), idsOf(marks));
}

void TestSavedFilters::starsMarkedRowsOfEveryList()
{
    const QList<MarkedSpot> marks = marksOf({0, 5, 6, 33});
    QSet<QByteArray> marked;
    for (const MarkedSpot &mark : marks)
        marked << mark.spot.messageId;
    marked << "expired@x";
    const auto starred = [](const SpotsModel &model) {
        QSet<QByteArray> found;
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int column = 0; column < SpotsModel::ColumnCount; ++column) {
                const QVariant decoration = model.data(model.index(row, column), Qt::DecorationRole);
                if (decoration.isValid() && (column != SpotsModel::TitleColumn || decoration.value<QIcon>().isNull()))
                    return QSet<QByteArray>{"wrong star"};
                if (decoration.isValid())
                    found << model.data(model.index(row, column), SpotsModel::MessageIdRole).toByteArray();
            }
        }
        return found;
    };

    SpotsModel model(source.get(), nullptr);
    QVERIFY(indexed(model));
    model.setFilter({}, 0, 0);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setMarkedIds(marked);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(starred(model), QSet<QByteArray>(marked).subtract({"expired@x"}));
    model.setFilter({}, marks.at(1).spot.category, 0);
    QVERIFY(starred(model).contains(marks.at(1).spot.messageId));
    QVERIFY(!starred(model).contains(marks.at(0).spot.messageId)
            || marks.at(0).spot.category == marks.at(1).spot.category);
    model.sort(SpotsModel::SpotterColumn);
    QVERIFY(starred(model).contains(marks.at(1).spot.messageId));
    model.showMarks(marks);
    QCOMPARE(starred(model).size(), marks.size());
    model.setMarkedIds({});
    QCOMPARE(starred(model), QSet<QByteArray>());
}

// New spots of saved filters while ranges arrive: exact counts, and a signal per pass that
// changed one.
void TestSavedFilters::countsNewSpotsOfSavedFilters()
{
    SpotsModel model(source.get(), nullptr);
    SavedFilterCounts counts(&model, nullptr);
    QSignalSpy changes(&counts, &SavedFilterCounts::countsChanged);
    const int seen = maxId();
    const QString jorg = QString::fromUtf8("j\xc3\xb6rg");
    QList<SavedFilterCounts::Entry> entries{
        {1, savedFilter("plain", {}, 0, {}, {QStringLiteral("pelikaan")}), seen},
        {2, savedFilter({}, {1, 2}, 0, {jorg}, {}), seen - 100},
        {3, savedFilter("zee", {}, 0, {}, {}), std::nullopt},
        {4, savedFilter({}, {CategoryScheme::erotic}, 0, {QStringLiteral("Pelikaan")}, {}), maxId(true) - 10},
        {5, savedFilter("-zee", {3}, firstDate + 200 * 60, {}, {QStringLiteral("hd_man")}), 0},
    };
    const auto expectedCount = [&](const SavedFilterCounts::Entry &entry) {
        if (!entry.seenId)
            return 0;
        const QList<int> ids = expectedIds(entry.filter, 0);
        return int(std::count_if(ids.begin(), ids.end(), [&](int id) { return std::abs(id) > *entry.seenId; }));
    };
    const auto countsExact = [&] {
        for (const SavedFilterCounts::Entry &entry : entries) {
            if (counts.count(entry.id) != expectedCount(entry)) {
                qWarning() << "filter" << entry.id << counts.count(entry.id) << expectedCount(entry);
                return false;
            }
        }
        return true;
    };
    // Counted once the index is there.
    counts.setFilters(entries);
    QVERIFY(indexed(model));
    QTRY_VERIFY(counts.isCounted());
    QVERIFY(countsExact());
    QCOMPARE(changes.size(), 1);
    QVERIFY(counts.count(5) > 0);

    // Rows of every filter, rows of no filter (hidden or outside), erotic rows, and a range
    // that the index reads on the builder's thread.
    struct Range
    {
        int count;
        bool erotic;
        QByteArray spotter; // empty: as generated
        bool changes;
    };
    for (const Range &range : {Range{30, false, {}, true}, Range{12, false, "PELIKAAN", true},
                               Range{25, true, {}, true}, Range{8, true, "pelikaan", false}, Range{1, false, {}, true},
                               Range{int(SpotIndexBuilder::fewRows) + 100, false, {}, true}}) {
        const int before = int(changes.size());
        QSignalSpy updated(&model, &SpotsModel::indexUpdated);
        QVERIFY(insert(range.count, range.erotic, range.spotter));
        Q_EMIT source->newSpots();
        QTRY_VERIFY(!updated.isEmpty());
        QTRY_VERIFY(counts.isCounted());
        QVERIFY(countsExact());
        QCOMPARE(changes.size(), before + (range.changes ? 1 : 0));
    }

    // Filters changed while the builder counts with the ones before: counted again here.
    for (SavedFilterCounts::Entry &entry : entries) {
        if (entry.seenId)
            entry.seenId = *entry.seenId - 3;
    }
    QSignalSpy updated(&model, &SpotsModel::indexUpdated);
    QVERIFY(insert(int(SpotIndexBuilder::fewRows) + 100, false, {}));
    Q_EMIT source->newSpots();
    QCOMPARE(model.indexKeeper().state(), SpotIndexKeeper::State::CatchingUp);
    counts.setFilters(entries);
    QTRY_VERIFY(!updated.isEmpty());
    QTRY_VERIFY(counts.isCounted());
    QVERIFY(countsExact());

    // Seen up to the newest: nothing new, in one more signal.
    for (SavedFilterCounts::Entry &entry : entries) {
        QCOMPARE(counts.newestId(entry.filter), maxId(entry.filter.readsEroticTable()));
        entry.seenId = counts.newestId(entry.filter);
    }
    const int before = int(changes.size());
    counts.setFilters(entries);
    QTRY_VERIFY(counts.isCounted());
    QVERIFY(countsExact());
    QCOMPARE(counts.count(1) + counts.count(2) + counts.count(4) + counts.count(5), 0);
    QCOMPARE(changes.size(), before + 1);
}

// clang-format off
void TestSavedFilters::hostileSpottersHideAndShowAsWritten_data()
{
    QTest::addColumn<QByteArray>("spotter");
    QTest::newRow("quotes") << QByteArray("Jan \"de\" O'Brien");
    QTest::newRow("cr-lf") << QByteArray("Jan\r\nX-Header: y");
    QTest::newRow("nul") << QByteArray("nul\0byte", 8);
    QTest::newRow("placeholder") << QByteArray("{title}");
    QTest::newRow("like-and-sql") << QByteArray("%'); DROP TABLE spots; --_");
    QTest::newRow("a-thousand-times-too-long") << QByteArray(100'000, 'x');
}
// clang-format on

// A poster's name, whatever it holds, is hidden exactly (before the index and with it) and is
// shown as written; the store is as it was.
void TestSavedFilters::hostileSpottersHideAndShowAsWritten()
{
    QFETCH(QByteArray, spotter);
    QVERIFY(insert(3, false, spotter));
    const int newest = maxId();
    const QString name = SpotText::shown(spotter, false);
    for (const bool withIndex : {false, true}) {
        SpotsModel model(source.get(), nullptr);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (withIndex)
            QVERIFY(indexed(model));
        model.setFilter({}, CategoryScheme::allSpots, 0);
        QCOMPARE(model.index(0, SpotsModel::SpotterColumn).data().toString(), name);
        QCOMPARE(shownIds(model).mid(0, 3), (QList<int>{newest, newest - 1, newest - 2}));
        const int all = model.rowCount();
        model.setHiddenSpotters({name});
        // Before the index "Alles" shows its first window, uncounted.
        if (withIndex)
            QCOMPARE(model.rowCount(), all - 3);
        const QList<int> shown = shownIds(model);
        QVERIFY2(!shown.contains(newest) && !shown.contains(newest - 1) && !shown.contains(newest - 2),
                 withIndex ? "with the index" : "before the index");
        QVERIFY(shown.contains(newest - 3));
        model.setHiddenSpotters({});
        QCOMPARE(model.rowCount(), all);
    }
    QSqlQuery count(QStringLiteral("SELECT count(*) FROM spots"), spotStore->spotsDatabase());
    QVERIFY(count.next());
    QCOMPARE(count.value(0).toInt(), stored);
}

TARNWICK_TEST_MAIN(TestSavedFilters)
#include "tst_savedfilters.moc"
