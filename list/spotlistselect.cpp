// How SpotListIndex chooses a filter's rows: by its kind, less the spots of hidden and
// left-out spotters, within a saved filter's categories and age, then by its search.
#include "categoryscheme.h"
#include "searchquery.h"
#include "spotlistindex.h"
#include "spottext.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <thread>
#include <unordered_set>

namespace {

// Rows from which a pass over them is split between two threads.
constexpr size_t parallelFrom = 200'000;

// For each distinct spotter of texts, whether it is one of names: compared as the search
// compares, ASCII case ignored. Empty when no spotter is.
std::vector<quint8> spottersNamed(const SearchTexts &texts, const QStringList &names)
{
    if (names.isEmpty())
        return {};
    std::vector<QByteArray> folded;
    for (const QString &name : names)
        folded.push_back(SpotText::foldedAscii(name.toUtf8()));
    std::unordered_set<std::string_view> named;
    for (const QByteArray &name : folded)
        named.emplace(name.constData(), size_t(name.size()));
    std::vector<quint8> found(size_t(texts.size()));
    bool any = false;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QByteArrayView shown = texts.shownText(i);
        found[size_t(i)] = named.count(std::string_view(shown.data(), size_t(shown.size()))) != 0;
        any = any || found[size_t(i)];
    }
    return any ? found : std::vector<quint8>();
}

// The first row whose id is above id; ids.size() when none is.
size_t firstRowAbove(const std::vector<int> &ids, int id)
{
    return size_t(std::upper_bound(ids.begin(), ids.end(), id) - ids.begin());
}

} // namespace

// The ids of the rows for which shown(row) holds, newest first: the older half is looked
// at on a second thread.
template<typename Shown>
std::vector<int> SpotListIndex::pick(const Table &table, Shown shown)
{
    const size_t rows = table.ids.size();
    // Forwards through memory, which the processor reads ahead best, and without a branch on
    // shown(), which would be mispredicted for every other row of a large category.
    std::vector<int> chosen(rows);
    const auto part = [&](size_t from, size_t to) {
        size_t next = from;
        for (size_t row = from; row < to; ++row) {
            chosen[next] = table.ids[row];
            next += shown(row) ? 1 : 0;
        }
        return next - from;
    };
    const size_t half = rows < parallelFrom ? 0 : rows / 2;
    size_t older = 0;
    std::thread helper;
    if (half > 0)
        helper = std::thread([&] { older = part(0, half); });
    const size_t newer = part(half, rows);
    if (helper.joinable())
        helper.join();
    std::vector<int> newestFirst(older + newer);
    const auto end = std::reverse_copy(chosen.begin() + qsizetype(half), chosen.begin() + qsizetype(half + newer),
                                       newestFirst.begin());
    std::reverse_copy(chosen.begin(), chosen.begin() + qsizetype(older), end);
    return newestFirst;
}

SpotListIndex::RowBits SpotListIndex::allowedRows(const Table &table, const SpotFilter &filter, size_t first)
{
    const size_t rows = table.ids.size();
    const std::vector<quint8> excluded = spottersNamed(table.spotters, filter.leftOutSpotters());
    // Categories by code: a lookup per row rather than a search of the list. The category of a
    // row is below 256, its sub-category any number.
    const bool anyCategory = !filter.saved || filter.saved->categories.isEmpty();
    std::vector<quint8> shownCodes;
    if (!anyCategory) {
        shownCodes.resize(size_t(CategoryScheme::firstEroticSubcategory + CategoryScheme::eroticGenreCount) * 2);
        for (const int code : filter.saved->categories) {
            if (code >= 0 && size_t(code) < shownCodes.size())
                shownCodes[size_t(code)] = 1;
        }
    }
    std::array<quint8, 256> shownCategory{};
    for (size_t code = 0; code < shownCategory.size(); ++code)
        shownCategory[code] = anyCategory || (code < shownCodes.size() && shownCodes[code]);
    const auto shownSubcategory
        = [&](int code) { return size_t(code) < shownCodes.size() && shownCodes[size_t(code)]; };
    const qint64 notBefore = filter.saved ? filter.saved->notBefore : 0;
    RowBits allowed((rows + 63) / 64);
    // A word at a time, and without a branch per row.
    const auto part = [&](size_t from, size_t to) {
        for (size_t base = from & ~size_t(63); base < to; base += 64) {
            quint64 word = 0;
            for (size_t row = std::max(base, from); row < std::min(base + 64, to); ++row) {
                const bool shown = (excluded.empty() || !excluded[table.spotterOf[row]])
                    & (shownCategory[table.cats[row]] | shownSubcategory(table.subcats[row]))
                    & (qint64(table.dates[row]) >= notBefore);
                word |= quint64(shown) << (row & 63);
            }
            allowed[base >> 6] = word;
        }
    };
    // The older half on a second thread, split at a word so that each thread writes its own.
    const size_t half = rows - first < parallelFrom ? first : (first + (rows - first) / 2) & ~size_t(63);
    std::thread helper;
    if (half > first)
        helper = std::thread(part, first, half);
    part(half, rows);
    if (helper.joinable())
        helper.join();
    return allowed;
}

std::vector<int> SpotListIndex::idsOf(const RowBits &rows, const std::vector<int> &ids)
{
    size_t count = 0;
    for (const quint64 word : rows)
        count += size_t(__builtin_popcountll(word));
    std::vector<int> chosen;
    chosen.reserve(count);
    for (size_t w = rows.size(); w-- > 0;) {
        if (rows[w] == ~quint64(0)) {
            chosen.insert(chosen.end(), std::make_reverse_iterator(ids.begin() + qsizetype(w * 64 + 64)),
                          std::make_reverse_iterator(ids.begin() + qsizetype(w * 64)));
            continue;
        }
        for (quint64 word = rows[w]; word; word &= ~(quint64(1) << (63 - __builtin_clzll(word))))
            chosen.push_back(ids[w * 64 + size_t(63 - __builtin_clzll(word))]);
    }
    return chosen;
}

std::vector<int> SpotListIndex::select(const SpotFilter &filter, int baselineSpotId, int baselineEroticId) const
{
    const SpotFilter::Kind kind = filter.kind();
    const Table &table = tableOf(filter);
    switch (kind) {
    case SpotFilter::Kind::Marked:
        return {};
    case SpotFilter::Kind::Search:
    case SpotFilter::Kind::Saved: {
        RowBits rows = allowedRows(table, filter, 0);
        search(table, SearchQuery(filter.search), rows);
        return idsOf(rows, table.ids);
    }
    case SpotFilter::Kind::New:
    case SpotFilter::Kind::EroticNew:
        return idsOf(
            allowedRows(table, filter,
                        firstRowAbove(table.ids, kind == SpotFilter::Kind::New ? baselineSpotId : baselineEroticId)),
            table.ids);
    case SpotFilter::Kind::All:
        if (filter.leftOutSpotters().isEmpty())
            return {table.ids.rbegin(), table.ids.rend()};
        return idsOf(allowedRows(table, filter, 0), table.ids);
    case SpotFilter::Kind::Subcategory:
    case SpotFilter::Kind::Category:
        break;
    }
    const std::vector<quint8> hidden = spottersNamed(table.spotters, filter.leftOutSpotters());
    const bool bySubcategory = kind == SpotFilter::Kind::Subcategory;
    // No code of the tree is held as unlistedCategory.
    const bool listed = filter.category >= 0 && filter.category < unlistedCategory;
    return pick(table, [&](size_t row) {
        return (bySubcategory ? table.subcats[row] == filter.subcategory : listed && table.cats[row] == filter.category)
            && (hidden.empty() || !hidden[table.spotterOf[row]]);
    });
}

SpotListIndex::RowBits SpotListIndex::rowsAbove(const SpotFilter &filter, int after) const
{
    const Table &table = tableOf(filter);
    RowBits rows = allowedRows(table, filter, firstRowAbove(table.ids, after));
    search(table, SearchQuery(filter.search), rows);
    return rows;
}

std::vector<int> SpotListIndex::idsAbove(const SpotFilter &filter, int after) const
{
    if (filter.kind() == SpotFilter::Kind::Marked)
        return {};
    return idsOf(rowsAbove(filter, after), tableOf(filter).ids);
}

int SpotListIndex::countAbove(const SpotFilter &filter, int after) const
{
    if (filter.kind() == SpotFilter::Kind::Marked)
        return 0;
    const RowBits rows = rowsAbove(filter, after);
    int count = 0;
    // No row below the first above after is set.
    for (size_t w = firstRowAbove(tableOf(filter).ids, after) / 64; w < rows.size(); ++w)
        count += __builtin_popcountll(rows[w]);
    return count;
}

int SpotListIndex::newestId(const SpotFilter &filter) const
{
    const Table &table = tableOf(filter);
    return table.ids.empty() ? 0 : table.ids.back();
}
