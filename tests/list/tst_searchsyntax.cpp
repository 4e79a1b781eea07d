// Search texts of every kind over a store of titles, spotters and tags in every encoding: the
// rows the index selects and the rows the list shows before it has an index, each against a
// plain evaluation of every row with SQLite's LIKE (and, for the index, the shown text too).
#include "searchquery.h"
#include "spotlistindex.h"
#include "spotsmodel.h"
#include "spotstore.h"
#include "spottext.h"
#include "sqlitestatement.h"
#include "sqltransaction.h"
#include "standinsource.h"
#include "listtestsupport.h"
#include "testmain.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <optional>

#include <sqlite3.h>

namespace {

using ListTest::asciiLower;
using ListTest::shownIds;

constexpr int storedSpots = 2000;

const char16_t *const words[] = {
    u"Zo\u00eb",     u"zee",           u"Ren\u00e9", u"Caf\u00e9", u"J\u00d6RG",  u"live",  u"fa\u00e7ade",
    u"100%",         u"k_wi",          u"a%b",       u"a|b",       u"Cr\u00e8me", u"hd",    u"br\u00fbl\u00e9e",
    u"Kiwi",         u"x-men",         u"12\"",      u"twee",      u"woorden",    u"1080p", u"twee woorden",
    u"\u65e5\u672c", u"\u00c6r\u00f8", u"\u20acuro",
};

enum class Stored { Utf8Bytes, Latin1Bytes, EncodedWordText, MixedBytes, Count };

QVariant storedAs(const QString &text, Stored kind)
{
    switch (kind) {
    case Stored::Utf8Bytes:
        return text.toUtf8();
    case Stored::Latin1Bytes:
        return text.toLatin1();
    case Stored::EncodedWordText:
        return text;
    case Stored::MixedBytes: // Latin-1 with a UTF-8 word in it
        return text.toLatin1() + " \xc3\xab";
    case Stored::Count:
        break;
    }
    return {};
}

SpotRecord spot(int i)
{
    const int wordCount = int(std::size(words));
    SpotRecord record;
    record.subcat = 100 + i % 5;
    record.cat = 1;
    record.spotDate = 1300000000 + i;
    const QString title = QString::fromUtf16(words[i % wordCount]) + QLatin1Char(' ')
        + QString::fromUtf16(words[(i * 7 + 3) % wordCount]) + QLatin1Char(' ')
        + QString::fromUtf16(words[(i / 3) % wordCount]);
    record.title = storedAs(title, Stored((i / wordCount) % int(Stored::Count)));
    const QList<QByteArray> spotters{"J\xc3\xb6rg", "J\xf6rg", "Pelikaan", QByteArray(), "Ren\xc3\xa9 Zo\xc3\xab",
                                     "hd-man"};
    record.spotter = spotters.at((i / 7) % spotters.size());
    const QList<QVariant> tags{QString::fromUtf16(u"caf\u00e9"),
                               QByteArray("film"),
                               QString(QLatin1String("")),
                               QVariant(),
                               QByteArray("Kiwi hd"),
                               QByteArray("zo\xeb")};
    record.tag = tags.at((i / 11) % tags.size());
    record.msgid = "syntax" + QByteArray::number(i) + "x";
    return record;
}

// One stored title, spotter or tag.
struct Value
{
    bool isNull = true;
    QByteArray bytes; // as CAST(value AS TEXT) reads them
    QString shownLower;
};

struct Row
{
    int id = 0;
    Value title;
    Value spotter;
    Value tag;
};

// A pattern as SQLite's LIKE and as LIKE over the ASCII-lowered shown text.
class Pattern
{
public:
    explicit Pattern(const QByteArray &pattern)
        : like('%' + pattern + '%')
    {
        QString expression;
        for (const QChar c : asciiLower(SpotText::shown(pattern, false))) {
            if (c == QLatin1Char('%'))
                expression += QLatin1String(".*");
            else if (c == QLatin1Char('_'))
                expression += QLatin1Char('.');
            else
                expression += QRegularExpression::escape(QString(c));
        }
        shown.setPattern(QRegularExpression::anchoredPattern(QLatin1String(".*") + expression + QLatin1String(".*")));
        shown.setPatternOptions(QRegularExpression::DotMatchesEverythingOption);
    }

    bool foundIn(const Value &value, bool readsShownText) const
    {
        if (value.isNull)
            return false;
        return sqlite3_strlike(like.constData(), value.bytes.constData(), 0) == 0
            || (readsShownText && shown.match(value.shownLower).hasMatch());
    }

private:
    QByteArray like;
    QRegularExpression shown;
};

bool termHolds(const SearchQuery::Term &term, const Row &row, bool readsShownText)
{
    const Pattern pattern(term.pattern);
    bool found = false;
    switch (term.field) {
    case SearchQuery::Field::Any:
        found = pattern.foundIn(row.title, readsShownText) || pattern.foundIn(row.spotter, readsShownText)
            || pattern.foundIn(row.tag, readsShownText);
        break;
    case SearchQuery::Field::Spotter:
        found = pattern.foundIn(row.spotter, readsShownText);
        break;
    case SearchQuery::Field::Tag:
        found = pattern.foundIn(row.tag, readsShownText);
        break;
    }
    return found != term.negated;
}

} // namespace

class TestSearchSyntax : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void findsWhatEveryRowSays_data();
    void findsWhatEveryRowSays();

private:
    QList<int> expectedIds(const SearchQuery &query, bool readsShownText) const;

    std::optional<SpotStore> spotStore;
    std::unique_ptr<StandInSource> source;
    SpotListIndex index;
    QList<Row> rows; // newest first
};

void TestSearchSyntax::initTestCase()
{
    spotStore.emplace();
    source = std::make_unique<StandInSource>(*spotStore);
    {
        SqlTransaction transaction(spotStore->spotsDatabase());
        for (int i = 0; i < storedSpots; ++i)
            QCOMPARE(spotStore->spots().insertSpot(SpotTable::Spots, spot(i)), InsertResult::Inserted);
        QVERIFY(transaction.commit());
    }
    QCOMPARE(index.update(sqliteHandle(spotStore->spotsDatabase())), SpotListIndex::Update::Done);

    QSqlQuery query(spotStore->spotsDatabase());
    QVERIFY(query.exec(QStringLiteral("SELECT id,title,spotter,tag,typeof(title),typeof(spotter),typeof(tag) "
                                      "FROM spots ORDER BY id DESC")));
    while (query.next()) {
        Row row;
        row.id = query.value(0).toInt();
        for (const auto &[column, value] : {std::pair{1, &row.title}, {2, &row.spotter}, {3, &row.tag}}) {
            const bool isText = query.value(column + 3).toString() == QLatin1String("text");
            value->isNull = query.value(column).isNull();
            // CAST(blob AS TEXT) is the blob's bytes, whatever they are.
            value->bytes = isText ? query.value(column).toString().toUtf8() : query.value(column).toByteArray();
            value->shownLower = asciiLower(SpotText::shown(value->bytes, isText));
        }
        rows << row;
    }
    QCOMPARE(rows.size(), storedSpots);
}

void TestSearchSyntax::cleanupTestCase()
{
    source.reset();
    spotStore.reset();
}

QList<int> TestSearchSyntax::expectedIds(const SearchQuery &query, bool readsShownText) const
{
    QList<int> found;
    for (const Row &row : rows) {
        const bool inEveryGroup = std::all_of(query.groups().begin(), query.groups().end(), [&](const auto &group) {
            return std::any_of(group.begin(), group.end(),
                               [&](const SearchQuery::Term &term) { return termHolds(term, row, readsShownText); });
        });
        if (inEveryGroup)
            found << row.id;
    }
    return found;
}

void TestSearchSyntax::findsWhatEveryRowSays_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("finds"); // of the index: "none", "some" or "all" rows

    const QString none = QStringLiteral("none");
    const QString some = QStringLiteral("some");
    const QString all = QStringLiteral("all");
    // clang-format off
    QTest::newRow("single-word") << QByteArray("kiwi") << some;
    QTest::newRow("single-utf8-word") << QByteArray("zo\xc3\xab") << some;
    QTest::newRow("single-latin1-word") << QByteArray("zo\xeb") << some;
    QTest::newRow("beyond-latin1") << QByteArray("\xe6\x97\xa5") << some;
    QTest::newRow("percent-is-a-wildcard") << QByteArray("100%") << some;
    QTest::newRow("underscore-is-a-wildcard") << QByteArray("k_wi") << some;
    QTest::newRow("percent-alone") << QByteArray("%") << all;
    QTest::newRow("one-letter") << QByteArray("e") << some;
    QTest::newRow("nothing") << QByteArray("xyzzy") << none;
    QTest::newRow("two-words") << QByteArray("zo\xc3\xab kiwi") << some;
    QTest::newRow("three-words-and-a-wildcard") << QByteArray("hd twee w_orden") << some;
    QTest::newRow("word-and-nothing") << QByteArray("kiwi xyzzy") << none;
    QTest::newRow("without") << QByteArray("kiwi -hd") << some;
    QTest::newRow("without-only") << QByteArray("-kiwi") << some;
    QTest::newRow("without-nothing") << QByteArray("-xyzzy") << all;
    QTest::newRow("without-utf8") << QByteArray("j -j\xc3\xb6rg") << some;
    QTest::newRow("phrase") << QByteArray("\"twee woorden\"") << some;
    QTest::newRow("words-of-the-phrase") << QByteArray("twee woorden") << some;
    QTest::newRow("phrase-without") << QByteArray("twee -\"twee woorden\"") << some;
    QTest::newRow("either") << QByteArray("hd kiwi | zee") << some;
    QTest::newRow("either-of-three") << QByteArray("zee|x-men|1080p") << some;
    QTest::newRow("either-or-without") << QByteArray("kiwi | -hd") << some;
    QTest::newRow("either-field") << QByteArray("spotter:pelikaan | tag:film live") << some;
    QTest::newRow("bar-inside-a-phrase") << QByteArray("\"a|b\"") << some;
    QTest::newRow("spotter-utf8") << QByteArray("spotter:j\xc3\xb6rg") << some;
    QTest::newRow("spotter-latin1") << QByteArray("spotter:j\xf6rg") << some;
    QTest::newRow("spotter-phrase") << QByteArray("spotter:\"ren\xc3\xa9 zo\"") << some;
    QTest::newRow("spotter-not-title") << QByteArray("spotter:kiwi") << none;
    QTest::newRow("tag") << QByteArray("tag:caf") << some;
    QTest::newRow("tag-latin1-shown") << QByteArray("tag:zo\xc3\xab") << some;
    QTest::newRow("without-tag-keeps-null-tags") << QByteArray("-tag:film") << some;
    QTest::newRow("without-spotter-keeps-null-spotters") << QByteArray("hd -spotter:j") << some;
    QTest::newRow("hyphen-inside-a-word") << QByteArray("x-men") << some;
    QTest::newRow("quote-inside-a-word") << QByteArray("12\"") << some;
    QTest::newRow("unclosed-phrase") << QByteArray("kiwi \"twee woo") << some;
    QTest::newRow("lone-quote") << QByteArray("\"") << all;
    QTest::newRow("trailing-bar") << QByteArray("kiwi |") << some;
    QTest::newRow("trailing-hyphen") << QByteArray("kiwi -") << some;
    QTest::newRow("bar-alone") << QByteArray("|") << all;
    QTest::newRow("hyphen-alone") << QByteArray("-") << all;
    QTest::newRow("field-alone") << QByteArray("spotter:") << all;
    QTest::newRow("spaces") << QByteArray("   ") << all;
    // clang-format on
}

void TestSearchSyntax::findsWhatEveryRowSays()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, finds);

    const SearchQuery query(text);
    const QList<int> expected = expectedIds(query, true);
    QCOMPARE(expected.isEmpty()                   ? QStringLiteral("none")
                 : expected.size() == rows.size() ? QStringLiteral("all")
                                                  : QStringLiteral("some"),
             finds);
    const std::vector<int> selected = index.select(SpotFilter{text, 0, 0}, 0, 0);
    QCOMPARE(QList<int>(selected.begin(), selected.end()), expected);

    // Before its index is built the list reads windows of the search statement, and counts.
    if (query.isEmpty())
        return; // the category, as for an empty text
    SpotsModel model(source.get(), nullptr);
    model.setFilter(text, 0, 0);
    QVERIFY(!model.isIndexed());
    QCOMPARE(shownIds(model), expectedIds(query, false));
}

TARNWICK_TEST_MAIN(TestSearchSyntax)
#include "tst_searchsyntax.moc"
