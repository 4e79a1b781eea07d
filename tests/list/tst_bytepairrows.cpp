// The index of byte pairs against a plain scan of the same texts: over several blocks, with
// pairs held by few rows (lists) and by many (bitmaps), after rows were dropped and appended,
// among candidates that blocks starting anywhere in a word cut across.
#include "bytepairrows.h"
#include "testmain.h"

#include <QRandomGenerator>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Three blocks and a bit.
constexpr int initialRows = 140'000;
constexpr int appendedRows = 70'000;

QByteArray text(QRandomGenerator &random)
{
    // "ab" in most rows, "bc" in many, "xy" in one of a thousand; blanks are never indexed.
    static const char *const words[] = {"ab", "abc", "nl ", "q1", "zz", "b c", "kiwi", "bca"};
    QByteArray text;
    for (int i = random.bounded(0, 5); i > 0; --i)
        text += words[random.bounded(int(std::size(words)))];
    if (random.bounded(1000) == 0)
        text += " xy";
    return text;
}

BytePairRows::Pair pairOf(const char *two)
{
    return BytePairRows::pair(uchar(two[0]), uchar(two[1]));
}

} // namespace

class TestBytePairRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsHoldingAllAsAScan_data();
    void rowsHoldingAllAsAScan();
};

void TestBytePairRows::rowsHoldingAllAsAScan_data()
{
    QTest::addColumn<std::function<bool(int)>>("keep");

    QTest::newRow("none-dropped") << std::function<bool(int)>([](int) { return true; });
    QTest::newRow("oldest-dropped") << std::function<bool(int)>([](int row) { return row >= 5000; });
    QTest::newRow("first-block-dropped") << std::function<bool(int)>([](int row) { return row >= 65536; });
    QTest::newRow("middle-dropped") << std::function<bool(int)>([](int row) { return row < 70000 || row >= 71000; });
    QTest::newRow("newest-dropped") << std::function<bool(int)>([](int row) { return row < initialRows - 300; });
    QTest::newRow("every-third-dropped") << std::function<bool(int)>([](int row) { return row % 3 != 0; });
    QTest::newRow("all-dropped") << std::function<bool(int)>([](int) { return false; });
}

void TestBytePairRows::rowsHoldingAllAsAScan()
{
    QFETCH(std::function<bool(int)>, keep);

    QRandomGenerator random(7);
    BytePairRows index;
    std::vector<QByteArray> texts;
    for (int row = 0; row < initialRows; ++row) {
        texts.push_back(text(random));
        index.append(texts.back());
    }
    std::vector<bool> kept(texts.size());
    std::vector<QByteArray> remaining;
    for (int row = 0; row < initialRows; ++row) {
        kept[size_t(row)] = keep(row);
        if (kept[size_t(row)])
            remaining.push_back(texts[size_t(row)]);
    }
    texts = std::move(remaining);
    index.retain(kept, [&](qsizetype row) { return QByteArrayView(texts[size_t(row)]); });
    for (int row = 0; row < appendedRows; ++row) {
        texts.push_back(text(random));
        index.append(texts.back());
    }
    QCOMPARE(index.size(), qsizetype(texts.size()));

    // Candidates in runs and holes of whole words and within words; none beyond the last word.
    const auto isCandidate = [](size_t row) { return (row / 64) % 5 != 0 && row % 3 != 1; };
    std::vector<quint64> candidates((texts.size() + 63) / 64);
    for (size_t row = 0; row < texts.size(); ++row)
        candidates[row / 64] |= quint64(isCandidate(row)) << (row % 64);
    const std::vector<std::vector<const char *>> searches
        = {{"ab"}, {"ab", "bc"}, {"xy"}, {"ab", "xy"}, {"bc", "ca", "zz"}, {"zq"}};
    for (const std::vector<const char *> &search : searches) {
        std::vector<BytePairRows::Pair> pairs;
        for (const char *two : search)
            pairs.push_back(pairOf(two));
        std::vector<quint32> expected;
        for (size_t row = 0; row < texts.size(); ++row) {
            if (isCandidate(row)
                && std::all_of(search.begin(), search.end(), [&](const char *two) { return texts[row].contains(two); }))
                expected.push_back(quint32(row));
        }
        // Any split of the blocks gives the rows in the same order.
        std::vector<quint32> found;
        const qsizetype half = index.blockCount() / 2;
        index.rowsHoldingAll(pairs, candidates, 0, half, found);
        index.rowsHoldingAll(pairs, candidates, half, index.blockCount(), found);
        QCOMPARE(found, expected);
    }
}

TARNWICK_TEST_MAIN(TestBytePairRows)
#include "tst_bytepairrows.moc"
