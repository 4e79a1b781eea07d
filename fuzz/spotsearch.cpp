// A search through the titles' pairs of bytes finds exactly the candidate titles that comparing
// each one finds, for any titles (bytes in any encoding, text or NULL) and any search text, and again
// after some titles were dropped. The search text read as terms binds a value to every
// placeholder of its SQL condition, and holds no term without a pattern.
#include "fuzzinput.h"
#include "searchquery.h"
#include "searchtexts.h"
#include "spotsearch.h"

#include <vector>

namespace {

// Among the candidates: the items whose number modulo 8 is a set bit of chosen.
void checkSameMatches(const SearchTexts &indexed, const SearchTexts &compared, const SpotSearch &search, quint8 chosen)
{
    std::vector<quint64> candidates(size_t(indexed.size() / 64 + 1));
    for (qsizetype item = 0; item < indexed.size(); ++item)
        candidates[size_t(item / 64)] |= quint64(chosen >> (item % 8) & 1) << (item % 64);
    std::vector<quint64> hits(candidates.size());
    if (!indexed.findByPairs(search, candidates, hits))
        return;
    for (qsizetype item = 0; item < indexed.size(); ++item) {
        const bool candidate = chosen >> (item % 8) & 1;
        FUZZ_CHECK(bool(hits[size_t(item / 64)] >> (item % 64) & 1) == (candidate && compared.matches(item, search)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const quint8 kept = input.byte();
    const QList<QByteArrayView> pieces = cut(input.rest(), input.lengths());
    if (pieces.isEmpty())
        return 0;
    const SpotSearch search(pieces.first().toByteArray());
    const SearchQuery query(pieces.first().toByteArray());
    for (const SearchQuery::Group &group : query.groups()) {
        FUZZ_CHECK(!group.empty());
        for (const SearchQuery::Term &term : group)
            FUZZ_CHECK(!term.pattern.isEmpty());
    }
    const SearchQuery::Sql sql = query.sqlCondition();
    FUZZ_CHECK(sql.condition.count(QLatin1Char('?')) == sql.values.size());
    SearchTexts indexed(SearchTexts::Pairs::Indexed);
    SearchTexts compared;
    // Each value's first byte says how it is stored: as bytes, as text or NULL.
    for (const QByteArrayView piece : pieces.mid(1)) {
        const int kind = piece.isEmpty() ? 0 : uchar(piece.front()) % 3;
        const QByteArrayView value = piece.isEmpty() ? piece : piece.sliced(1);
        indexed.append(value, kind == 1, kind == 2);
        compared.append(value, kind == 1, kind == 2);
    }
    checkSameMatches(indexed, compared, search, 0xFF);

    std::vector<bool> keep(size_t(indexed.size()));
    for (size_t item = 0; item < keep.size(); ++item)
        keep[item] = kept >> (item % 8) & 1;
    indexed.retain(keep);
    compared.retain(keep);
    checkSameMatches(indexed, compared, search, quint8(kept ^ 0x5A));
    return 0;
}
