// Texts appended through a SearchTextsFeed against the same texts appended directly: over
// several batches and a last part batch, with every kind of value, also when the feed is
// destroyed without finish(), and through a feed that appends on the caller's thread.
#include "searchtextsfeed.h"
#include "testmain.h"

#include <vector>

namespace {

struct Value
{
    QByteArray bytes;
    bool isText;
    bool isNull;
};

// Plain ASCII, UTF-8, Latin-1 stored as text and as a blob, a NUL inside, empty and NULL.
std::vector<Value> values(int count)
{
    static const Value kinds[] = {
        {"Zomer Nacht 1080p", true, false}, {"Caf\xc3\xa9 Zo\xc3\xab", true, false},    {"Caf\xe9 Zo\xeb", true, false},
        {"Caf\xe9 blob", false, false},     {QByteArray("NUL\0after", 9), true, false}, {"", true, false},
        {QByteArray(), false, true},
    };
    std::vector<Value> made;
    for (int i = 0; i < count; ++i) {
        Value value = kinds[i % int(std::size(kinds))];
        if (!value.isNull)
            value.bytes += QByteArray::number(i);
        made.push_back(value);
    }
    return made;
}

} // namespace

class TestSearchTextsFeed : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void asAppendedDirectly_data();
    void asAppendedDirectly();
};

void TestSearchTextsFeed::asAppendedDirectly_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("finished");

    // clang-format off
    QTest::newRow("none")                 << 0      << true  << true;
    QTest::newRow("fewer-than-a-batch")   << 7      << true  << true;
    QTest::newRow("many-batches")         << 50'001 << true  << true;
    QTest::newRow("destroyed-unfinished") << 20'000 << true  << false;
    QTest::newRow("appended-here")        << 5'000  << false << true;
    // clang-format on
}

void TestSearchTextsFeed::asAppendedDirectly()
{
    QFETCH(int, count);
    QFETCH(bool, beside);
    QFETCH(bool, finished);

    const std::vector<Value> given = values(count);
    SearchTexts direct(SearchTexts::Pairs::Indexed);
    for (const Value &value : given)
        direct.append(value.bytes, value.isText, value.isNull);
    SearchTexts fed(SearchTexts::Pairs::Indexed);
    {
        SearchTextsFeed feed(fed,
                             beside ? SearchTextsFeed::Appending::OnItsThread : SearchTextsFeed::Appending::AtOnce);
        for (const Value &value : given)
            feed.append(value.bytes, value.isText, value.isNull);
        if (finished)
            feed.finish();
    }

    QCOMPARE(fed.size(), direct.size());
    for (qsizetype i = 0; i < direct.size(); ++i)
        QCOMPARE(fed.shownText(i), direct.shownText(i));
    // The pairs and the own bytes, as a search reads them.
    std::vector<quint64> every((size_t(count) + 63) / 64, ~quint64(0));
    for (const QByteArray &pattern : {QByteArray("caf"), QByteArray("\xe9"), QByteArray("zo\xc3\xab 1")}) {
        const SpotSearch search(pattern);
        std::vector<quint64> directHits(every.size());
        std::vector<quint64> fedHits(every.size());
        QCOMPARE(fed.findByPairs(search, every, fedHits), direct.findByPairs(search, every, directHits));
        QCOMPARE(fedHits, directHits);
        for (qsizetype i = 0; i < direct.size(); ++i)
            QCOMPARE(fed.matches(i, search), direct.matches(i, search));
    }
}

TARNWICK_TEST_MAIN(TestSearchTextsFeed)
#include "tst_searchtextsfeed.moc"
