// The search of SpotListIndex: each term of the query marks its rows in a bitset, a group the
// rows of any of its terms, and the query the rows of every group.
#include "searchquery.h"
#include "spotlistindex.h"
#include "spotsearch.h"

#include <algorithm>
#include <thread>

namespace {

using RowBits = SpotListIndex::RowBits;

// Rows from which a pass over them is split between two threads, as for the categories.
constexpr size_t parallelFrom = 200'000;

// The searched columns of the spots table.
struct Columns
{
    const SearchTexts &titles;
    const SearchTexts &spotters;
    const SearchTexts &tags;
    const std::vector<quint32> &spotterOf;
    const std::vector<quint32> &tagOf;
    size_t rows;
};

// Whether each distinct spotter or tag of the candidates matches (valueOf: each row's);
// none does where the term does not look. Fewer candidates than values (a range's new rows)
// have only their own values compared.
std::vector<quint8> matchingValues(const SearchTexts &texts, const SpotSearch &search, bool looked,
                                   const RowBits &candidates, size_t firstWord, size_t candidateCount,
                                   const std::vector<quint32> &valueOf)
{
    std::vector<quint8> matched(size_t(texts.size()));
    if (!looked)
        return matched;
    if (candidateCount >= matched.size()) {
        for (size_t i = 0; i < matched.size(); ++i)
            matched[i] = texts.matches(qsizetype(i), search);
        return matched;
    }
    std::vector<bool> compared(matched.size());
    for (size_t w = firstWord; w < candidates.size(); ++w) {
        for (quint64 left = candidates[w]; left; left &= left - 1) {
            const quint32 value = valueOf[w * 64 + size_t(__builtin_ctzll(left))];
            if (!compared[value]) {
                compared[value] = true;
                matched[value] = texts.matches(qsizetype(value), search);
            }
        }
    }
    return matched;
}

bool anyOf(const std::vector<quint8> &matched)
{
    return std::find(matched.begin(), matched.end(), 1) != matched.end();
}

// The first word of rows from firstWord on that holds a row; rows.size() when none does.
size_t firstHeld(const RowBits &rows, size_t firstWord)
{
    return size_t(std::find_if(rows.begin() + qsizetype(firstWord), rows.end(), [](quint64 word) { return word != 0; })
                  - rows.begin());
}

// Runs part(fromWord, toWord) over the words from the first that holds a candidate, the older
// half of them on a second thread when parallel: the candidates of a saved filter's new spots
// or of its age are all in the newest words.
template<typename Part>
void inHalves(const RowBits &candidates, size_t firstWord, bool parallel, Part part)
{
    const size_t first = firstHeld(candidates, firstWord);
    const size_t half = parallel ? first + (candidates.size() - first) / 2 : first;
    std::thread helper;
    if (half > first)
        helper = std::thread(part, first, half);
    part(half, candidates.size());
    if (helper.joinable())
        helper.join();
}

// From this many open rows in a word of 64, every row of the word is compared: cheaper than
// finding the open ones one by one.
constexpr int denseFrom = 16;

// Sets the bit of every row of candidates that is not set yet in rows and for which
// matches(row) holds; the older half of the words on a second thread when many rows lie from
// firstWord on (not for a range's new rows).
template<typename Matches>
void markRows(const RowBits &candidates, size_t firstWord, RowBits &rows, size_t rowCount, Matches matches)
{
    const auto part = [&](size_t fromWord, size_t toWord) {
        for (size_t w = fromWord; w < toWord; ++w) {
            const quint64 open = candidates[w] & ~rows[w];
            quint64 found = 0;
            if (__builtin_popcountll(open) > denseFrom) {
                const size_t first = w * 64;
                const int bits = int(std::min<size_t>(64, rowCount - first));
                for (int bit = 0; bit < bits; ++bit)
                    found |= quint64(matches(first + size_t(bit))) << bit;
                found &= open;
            } else {
                for (quint64 left = open; left; left &= left - 1) {
                    const int bit = __builtin_ctzll(left);
                    if (matches(w * 64 + size_t(bit)))
                        found |= quint64(1) << bit;
                }
            }
            rows[w] |= found;
        }
    };
    inHalves(candidates, firstWord, rowCount - std::min(rowCount, firstWord * 64) >= parallelFrom, part);
}

// Below this many candidates (the rows a rare earlier term left), each candidate is compared
// where it stands: cheaper than the pairs of every block and every distinct spotter and tag.
constexpr size_t fewCandidates = 4'096;
// From this many candidates compared one by one (a few milliseconds), two threads compare them.
constexpr size_t parallelCandidatesFrom = 8'192;

size_t countOf(const RowBits &rows, size_t firstWord)
{
    size_t count = 0;
    for (size_t w = firstWord; w < rows.size(); ++w)
        count += size_t(__builtin_popcountll(rows[w]));
    return count;
}

// The rows of candidates where the term, negated or not, holds. A few candidates are compared
// one by one; otherwise titles are read where they hold the pattern's pairs of bytes (in the
// blocks from the first candidate on: a range's new rows are one or two), and spotters and
// tags, which repeat, are compared once per distinct value. No candidate is below firstWord.
RowBits termRows(const Columns &columns, const SearchQuery::Term &term, const RowBits &candidates, size_t firstWord)
{
    const SpotSearch search(term.pattern);
    using Field = SearchQuery::Field;
    const bool any = term.field == Field::Any;
    const bool bySpotter = any || term.field == Field::Spotter;
    const bool byTag = any || term.field == Field::Tag;
    RowBits rows(candidates.size());
    const size_t candidateCount = countOf(candidates, firstWord);
    const bool few = candidateCount < fewCandidates;
    const bool titlesFound = any && !few && columns.titles.findByPairs(search, candidates, rows);
    const bool titlesLeft = any && !titlesFound;
    if (few || (titlesLeft && candidateCount * 32 < columns.rows)) {
        inHalves(candidates, firstWord, candidateCount >= parallelCandidatesFrom, [&](size_t fromWord, size_t toWord) {
            for (size_t w = fromWord; w < toWord; ++w) {
                for (quint64 left = candidates[w] & ~rows[w]; left; left &= left - 1) {
                    const size_t row = w * 64 + size_t(__builtin_ctzll(left));
                    if ((bySpotter && columns.spotters.matches(columns.spotterOf[row], search))
                        || (byTag && columns.tags.matches(columns.tagOf[row], search))
                        || (titlesLeft && columns.titles.matches(qsizetype(row), search)))
                        rows[w] |= quint64(1) << (row & 63);
                }
            }
        });
    } else {
        const std::vector<quint8> spotterFound = matchingValues(columns.spotters, search, bySpotter, candidates,
                                                                firstWord, candidateCount, columns.spotterOf);
        const std::vector<quint8> tagFound
            = matchingValues(columns.tags, search, byTag, candidates, firstWord, candidateCount, columns.tagOf);
        const auto otherMatches
            = [&](size_t row) { return spotterFound[columns.spotterOf[row]] || tagFound[columns.tagOf[row]]; };
        if (titlesLeft) {
            markRows(candidates, firstWord, rows, columns.rows,
                     [&](size_t row) { return otherMatches(row) || columns.titles.matches(qsizetype(row), search); });
        } else if (anyOf(spotterFound) || anyOf(tagFound)) {
            markRows(candidates, firstWord, rows, columns.rows, otherMatches);
        }
    }
    for (size_t w = firstWord; w < rows.size(); ++w)
        rows[w] = candidates[w] & (term.negated ? ~rows[w] : rows[w]);
    return rows;
}

} // namespace

// Each group narrows the rows that the next one looks at. Only the words from the first that
// holds a row are read: a saved filter's new spots are the last few hundred of them.
void SpotListIndex::search(const Table &table, const SearchQuery &query, RowBits &found)
{
    const Columns columns{table.titles, table.spotters, table.tags, table.spotterOf, table.tagOf, table.ids.size()};
    for (const SearchQuery::Group &group : query.groups()) {
        const size_t first = firstHeld(found, 0);
        if (first == found.size())
            break;
        RowBits inGroup(found.size());
        RowBits open = found;
        for (const SearchQuery::Term &term : group) {
            // A row that an alternative found already is not looked at again.
            const RowBits rows = termRows(columns, term, open, first);
            for (size_t w = first; w < inGroup.size(); ++w) {
                inGroup[w] |= rows[w];
                open[w] &= ~rows[w];
            }
        }
        found = std::move(inGroup);
    }
}
