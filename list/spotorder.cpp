#include "spotorder.h"

#include "categoryscheme.h"

#include <QChar>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <thread>
#include <utility>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {

// Rows from which the title order is made on two threads.
constexpr size_t parallelFrom = 200'000;
// A list of fewer than one in this many of the table's rows is sorted by itself; a longer
// one is read off the title order, which costs a pass over all rows.
constexpr size_t ownSortBelowShare = 32;
// New rows are merged into the title order one by one up to one in this many of the rows it
// holds; more, and it is made anew.
constexpr size_t mergeUpToShare = 32;
// Held titles of which one is sampled to narrow down where new ones go.
constexpr size_t sampleEvery = 64;
// New rows from which their places in the title order are looked up by two threads.
constexpr size_t mergedByOneThreadBelow = 4096;
constexpr int digitBits = 8;

constexpr char32_t replacement = 0xFFFD;

bool isContinuation(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}

constexpr quint64 everyByte = 0x0101010101010101;

// Eight bytes at most, the first in the highest byte.
quint64 bigEndian(const char *bytes, qsizetype count)
{
    uchar word[8] = {};
    std::memcpy(word, bytes, size_t(count));
    return qFromBigEndian<quint64>(word);
}

bool isAscii(const char *bytes, qsizetype count)
{
    qsizetype i = 0;
    for (; i + 8 <= count; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, 8);
        if (word & everyByte * 0x80)
            return false;
    }
    return std::all_of(bytes + i, bytes + count, [](char c) { return uchar(c) < 0x80; });
}

// Eight ASCII bytes with their capitals in lower case, all at once: a byte from 'A' to 'Z' gains 0x20.
quint64 foldedAscii(quint64 word)
{
    const quint64 fromA = word + everyByte * (0x80 - 'A');
    const quint64 beyondZ = word + everyByte * (0x80 - 'Z' - 1);
    return word | ((fromA & ~beyondZ & everyByte * 0x80) >> 2);
}

// The code point of the UTF-8 text at p, folded; p moves past it (past one byte for a byte
// that starts no code point).
char32_t nextFolded(const char *&p, const char *end)
{
    const uchar lead = uchar(*p++);
    if (lead < 0x80)
        return lead >= 'A' && lead <= 'Z' ? char32_t(lead - 'A' + 'a') : lead;
    int more = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1, point = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2, point = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3, point = lead & 0x07, least = 0x10000;
    } else {
        return replacement;
    }
    const char *next = p;
    for (int i = 0; i < more; ++i) {
        if (next == end || !isContinuation(*next))
            return replacement;
        point = point << 6 | (uchar(*next++) & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return replacement;
    p = next;
    return QChar::toCaseFolded(point);
}

int utf8(char32_t point, uchar *out)
{
    if (point < 0x80) {
        out[0] = uchar(point);
        return 1;
    }
    if (point < 0x800) {
        out[0] = uchar(0xC0 | point >> 6);
        out[1] = uchar(0x80 | (point & 0x3F));
        return 2;
    }
    if (point < 0x10000) {
        out[0] = uchar(0xE0 | point >> 12);
        out[1] = uchar(0x80 | (point >> 6 & 0x3F));
        out[2] = uchar(0x80 | (point & 0x3F));
        return 3;
    }
    out[0] = uchar(0xF0 | point >> 18);
    out[1] = uchar(0x80 | (point >> 12 & 0x3F));
    out[2] = uchar(0x80 | (point >> 6 & 0x3F));
    out[3] = uchar(0x80 | (point & 0x3F));
    return 4;
}

// A stable counting sort of values by bucket(value), buckets of them.
template<typename T, typename Bucket>
std::vector<T> countingSorted(const std::vector<T> &values, size_t buckets, Bucket bucket)
{
    std::vector<size_t> next(buckets + 1);
    for (const T value : values)
        ++next[bucket(value) + 1];
    std::partial_sum(next.begin(), next.end(), next.begin());
    std::vector<T> sorted(values.size());
    for (const T value : values)
        sorted[next[bucket(value)]++] = value;
    return sorted;
}

// Rows by a rank below ranks, ascending or descending; rows of one rank keep their order.
template<typename Rank>
std::vector<quint32> byRank(const std::vector<quint32> &rows, quint32 ranks, Qt::SortOrder order, Rank rank)
{
    if (order == Qt::AscendingOrder)
        return countingSorted(rows, ranks, rank);
    return countingSorted(rows, ranks, [&](quint32 row) { return ranks - 1 - rank(row); });
}

// A stable radix sort of values by the bits of their high half below 2^bits, a byte at a time.
void radixSortByHighHalf(std::vector<quint64> &values, int bits)
{
    constexpr size_t buckets = size_t(1) << digitBits;
    for (int shift = 32; shift < 32 + bits; shift += digitBits)
        values = countingSorted(values, buckets,
                                [shift](quint64 value) { return size_t(value >> shift) & (buckets - 1); });
}

// Rows newest first by date. Spots arrive about in date order: the rows are insertion sorted
// in the direction in which their dates mostly come, which costs a pass where each is a few
// places from its own; where they are further, they are radix sorted on the date's offset from
// the oldest (or newest).
std::vector<quint32> byDate(const std::vector<quint32> &dates, std::vector<quint32> rows, Qt::SortOrder order)
{
    if (rows.empty())
        return rows;
    const bool descending = order == Qt::DescendingOrder;
    const auto [oldest, newest]
        = std::minmax_element(rows.begin(), rows.end(), [&](quint32 a, quint32 b) { return dates[a] < dates[b]; });
    const quint32 low = dates[*oldest];
    const quint32 high = dates[*newest];
    // The key in the high half, the row in the low one; alike keys newest first.
    const auto keyed
        = [&](quint32 row) { return quint64(descending ? high - dates[row] : dates[row] - low) << 32 | row; };
    const auto before
        = [](quint64 a, quint64 b) { return (a >> 32) != (b >> 32) ? (a >> 32) < (b >> 32) : quint32(a) > quint32(b); };
    std::vector<quint64> sorted(rows.size());
    if (descending)
        std::transform(rows.begin(), rows.end(), sorted.begin(), keyed);
    else
        std::transform(rows.rbegin(), rows.rend(), sorted.begin(), keyed);
    size_t moves = 0;
    const size_t movesAtMost = 8 * rows.size();
    for (size_t i = 1; i < sorted.size() && moves <= movesAtMost; ++i) {
        const quint64 value = sorted[i];
        size_t place = i;
        for (; place > 0 && before(value, sorted[place - 1]); --place)
            sorted[place] = sorted[place - 1];
        sorted[place] = value;
        moves += i - place;
    }
    if (moves > movesAtMost) {
        // Newest first, for the stable sort to keep alike dates so.
        std::transform(rows.begin(), rows.end(), sorted.begin(), keyed);
        int bits = 0;
        while (bits < 32 && (high - low) >> bits != 0)
            ++bits;
        radixSortByHighHalf(sorted, bits);
    }
    std::transform(sorted.begin(), sorted.end(), rows.begin(), [](quint64 value) { return quint32(value); });
    return rows;
}

// The short names the list shows for sub-categories, numbered in their order.
struct CategoryRanks
{
    std::vector<quint32> ofCode; // by code from 0; codes beyond are unnamed
    quint32 unnamed = 0;
    quint32 count = 0;

    CategoryRanks()
    {
        std::vector<QByteArray> names{CategoryScheme::shortCategoryName(-1).toUtf8()};
        int highest = 0;
        for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
            names.push_back(CategoryScheme::shortCategoryName(entry.code).toUtf8());
            highest = std::max(highest, entry.code);
        }
        const auto before = [](const QByteArray &a, const QByteArray &b) { return ShownOrder::compare(a, b) < 0; };
        std::sort(names.begin(), names.end(), before);
        names.erase(
            std::unique(names.begin(), names.end(),
                        [](const QByteArray &a, const QByteArray &b) { return ShownOrder::compare(a, b) == 0; }),
            names.end());
        const auto rankOf = [&](int code) {
            const QByteArray name = CategoryScheme::shortCategoryName(code).toUtf8();
            return quint32(std::lower_bound(names.begin(), names.end(), name, before) - names.begin());
        };
        unnamed = rankOf(-1);
        count = quint32(names.size());
        ofCode.assign(size_t(highest) + 1, unnamed);
        for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
            if (entry.code >= 0)
                ofCode[size_t(entry.code)] = rankOf(entry.code);
        }
    }

    quint32 operator()(int code) const
    {
        return code >= 0 && size_t(code) < ofCode.size() ? ofCode[size_t(code)] : unnamed;
    }
};

const CategoryRanks &categoryRanks()
{
    static const CategoryRanks ranks;
    return ranks;
}

struct TitleEntry
{
    quint64 key;
    quint32 row;
    quint32 offset; // of the title in SearchTexts::shownBase()
};

QByteArrayView textAt(const char *base, const TitleEntry &entry)
{
    return QByteArrayView(base + entry.offset);
}

bool byKeyNewestFirst(const TitleEntry &a, const TitleEntry &b)
{
    return a.key != b.key ? a.key < b.key : a.row > b.row;
}

// Sorts entries whose keys hold chunk of their titles (ShownOrder::key()) by title, alike
// titles newest first, and sets starts[i] for the entry at first + i whose title differs from
// the one before it (where starts is given). Alike keys are told apart by the next chunk.
void sortTitles(const char *base, TitleEntry *first, TitleEntry *last, int chunk, quint8 *starts)
{
    std::sort(first, last, byKeyNewestFirst);
    for (TitleEntry *run = first; run != last;) {
        TitleEntry *end = run + 1;
        while (end != last && end->key == run->key)
            ++end;
        quint8 *runStarts = starts ? starts + (run - first) : nullptr;
        // A key that ends in 0 holds the end of its title: alike keys, alike titles.
        if (end - run > 1 && (run->key & 0xFF) != 0) {
            // The titles are read in an order of their own: each is asked from memory early.
            constexpr qsizetype ahead = 8;
            for (TitleEntry *entry = run; entry != end; ++entry) {
                if (end - entry > ahead)
                    __builtin_prefetch(base + entry[ahead].offset);
                entry->key = ShownOrder::key(textAt(base, *entry), chunk + 1);
            }
            sortTitles(base, run, end, chunk + 1, runStarts);
        } else if (runStarts) {
            std::fill(runStarts, runStarts + (end - run), 0);
            runStarts[0] = 1;
        }
        run = end;
    }
}

std::vector<TitleEntry> titleEntries(const SearchTexts &titles, quint32 from, quint32 to)
{
    std::vector<TitleEntry> entries(to - from);
    const auto part = [&](quint32 begin, quint32 end) {
        for (quint32 row = begin; row < end; ++row)
            entries[row - from] = {ShownOrder::key(titles.shownText(row)), row, titles.shownOffset(row)};
    };
    if (to - from < parallelFrom) {
        part(from, to);
    } else {
        std::thread helper(part, from, from + (to - from) / 2);
        part(from + (to - from) / 2, to);
        helper.join();
    }
    return entries;
}

bool isSet(const std::vector<quint64> &bits, size_t i)
{
    return bits[i >> 6] >> (i & 63) & 1;
}

void setBit(std::vector<quint64> &bits, size_t i)
{
    bits[i >> 6] |= quint64(1) << (i & 63);
}

// Appends the rows of ordered (ascending, alike titles newest first; a set bit in groupStarts
// where a title differs from the one before) for which chosen(row) holds, in order: descending
// from the last group, each group newest first.
template<typename Chosen>
void appendInOrder(const std::vector<quint32> &ordered, const std::vector<quint64> &groupStarts, Qt::SortOrder order,
                   Chosen chosen, std::vector<quint32> &sorted)
{
    const auto appendGroup = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            if (chosen(ordered[i]))
                sorted.push_back(ordered[i]);
        }
    };
    if (order == Qt::AscendingOrder)
        return appendGroup(0, ordered.size());
    for (size_t end = ordered.size(); end > 0;) {
        size_t start = end - 1;
        while (!isSet(groupStarts, start))
            --start;
        appendGroup(start, end);
        end = start;
    }
}

} // namespace

namespace ShownOrder {

int compare(QByteArrayView a, QByteArrayView b)
{
    // Alike bytes are alike code points: they are skipped, back to where a code point starts.
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype same = 0;
    while (same < shorter && a[same] == b[same])
        ++same;
    const auto inCodePoint = [&](qsizetype at) {
        return (at < a.size() && isContinuation(a[at])) || (at < b.size() && isContinuation(b[at]));
    };
    while (same > 0 && inCodePoint(same))
        --same;
    const char *pa = a.data() + same;
    const char *pb = b.data() + same;
    const char *endA = a.data() + a.size();
    const char *endB = b.data() + b.size();
    while (pa != endA && pb != endB) {
        const char32_t fromA = nextFolded(pa, endA);
        const char32_t fromB = nextFolded(pb, endB);
        if (fromA != fromB)
            return fromA < fromB ? -1 : 1;
    }
    return int(pa != endA) - int(pb != endB);
}

quint64 key(QByteArrayView text, int chunk)
{
    const qsizetype from = qsizetype(chunk) * 8;
    const qsizetype to = std::min(text.size(), from + 8);
    // Up to the chunk's end in ASCII, the folded bytes are the bytes, folded.
    if (isAscii(text.data(), to))
        return from < to ? foldedAscii(bigEndian(text.data() + from, to - from)) : 0;
    quint64 key = 0;
    qsizetype at = 0; // in the folded text
    const char *p = text.data();
    const char *end = p + text.size();
    while (p != end && at < from + 8) {
        uchar bytes[4];
        const int count = utf8(nextFolded(p, end), bytes);
        for (int i = 0; i < count; ++i, ++at) {
            if (at >= from && at < from + 8)
                key |= quint64(bytes[i]) << (8 * (from + 7 - at));
        }
    }
    return key;
}

quint32 categoryRank(int subcategory)
{
    return categoryRanks()(subcategory);
}

} // namespace ShownOrder

std::vector<quint32> SpotOrder::sorted(const SpotColumns &columns, std::vector<quint32> rows, SortColumn column,
                                       Qt::SortOrder order)
{
    switch (column) {
    case SortColumn::Date:
        return byDate(columns.dates, std::move(rows), order);
    case SortColumn::Category: {
        const CategoryRanks &ranks = categoryRanks();
        return byRank(rows, ranks.count, order, [&](quint32 row) { return ranks(columns.subcats[row]); });
    }
    case SortColumn::Title:
        return byTitle(columns.titles, std::move(rows), order);
    case SortColumn::Spotter:
        break;
    }
    return bySpotter(columns, rows, order);
}

std::vector<quint32> SpotOrder::byTitle(const SearchTexts &titles, std::vector<quint32> rows, Qt::SortOrder order)
{
    const size_t held = size_t(titles.size());
    std::vector<quint32> sorted;
    sorted.reserve(rows.size());
    if (rows.size() * ownSortBelowShare < held) {
        std::vector<TitleEntry> entries(rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            entries[i] = {ShownOrder::key(titles.shownText(rows[i])), rows[i], titles.shownOffset(rows[i])};
        std::vector<quint8> starts(rows.size());
        sortTitles(titles.shownBase(), entries.data(), entries.data() + entries.size(), 0, starts.data());
        std::vector<quint64> groupStarts((rows.size() + 63) / 64);
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i] = entries[i].row;
            if (starts[i])
                setBit(groupStarts, i);
        }
        appendInOrder(
            rows, groupStarts, order, [](quint32) { return true; }, sorted);
        return sorted;
    }
    makeTitleOrder(titles);
    if (rows.size() == held) { // every row: the order as it is
        appendInOrder(
            titleRows, titleGroupStarts, order, [](quint32) { return true; }, sorted);
        return sorted;
    }
    std::vector<quint64> chosen((held + 63) / 64);
    for (const quint32 row : rows)
        setBit(chosen, row);
    appendInOrder(
        titleRows, titleGroupStarts, order, [&](quint32 row) { return isSet(chosen, row); }, sorted);
    return sorted;
}

struct SpotOrder::TitleOrder
{
    std::vector<quint32> rows;
    std::vector<quint64> groupStarts;
};

struct SpotOrder::Pending
{
    TitleOrder made;
    std::thread worker;

    ~Pending()
    {
        if (worker.joinable())
            worker.join();
    }
};

SpotOrder::SpotOrder() = default;
SpotOrder::~SpotOrder() = default;
SpotOrder::SpotOrder(SpotOrder &&) noexcept = default;
SpotOrder &SpotOrder::operator=(SpotOrder &&) noexcept = default;

void SpotOrder::startTitleOrder(const SearchTexts &titles)
{
    // The titles stay as they are while an order is made: that one holds them all.
    if (pending || titleRows.size() == size_t(titles.size()))
        return;
    pending = std::make_unique<Pending>();
    pending->worker = std::thread([this, &titles, made = &pending->made] {
#ifdef Q_OS_LINUX
        // Behind the list's own work (showing the rows, counting the filters), which is waited
        // for now; the order only by a later sort. A thread's nice value is its own on Linux.
        setpriority(PRIO_PROCESS, 0, 10);
#endif
        *made = orderedTitles(titles);
    });
}

void SpotOrder::settle()
{
    if (!pending)
        return;
    pending->worker.join();
    titleRows = std::move(pending->made.rows);
    titleGroupStarts = std::move(pending->made.groupStarts);
    pending.reset();
}

void SpotOrder::makeTitleOrder(const SearchTexts &titles)
{
    settle();
    if (titleRows.size() == size_t(titles.size()))
        return;
    TitleOrder made = orderedTitles(titles);
    titleRows = std::move(made.rows);
    titleGroupStarts = std::move(made.groupStarts);
}

SpotOrder::TitleOrder SpotOrder::orderedTitles(const SearchTexts &titles) const
{
    const size_t held = size_t(titles.size());
    const size_t covered = titleRows.size();
    if (covered > 0 && (held - covered) * mergeUpToShare <= covered)
        return mergedNewTitles(titles);
    return allTitlesOrdered(titles);
}

SpotOrder::TitleOrder SpotOrder::allTitlesOrdered(const SearchTexts &titles) const
{
    const size_t held = size_t(titles.size());
    std::vector<TitleEntry> entries = titleEntries(titles, 0, quint32(held));
    // The two threads take the keys below and from a middle one of a sample: alike keys, and
    // so alike titles, stay on one side.
    size_t half = 0;
    if (held >= parallelFrom) {
        std::vector<quint64> sample(255);
        for (size_t i = 0; i < sample.size(); ++i)
            sample[i] = entries[i * held / sample.size()].key;
        std::nth_element(sample.begin(), sample.begin() + 127, sample.end());
        const quint64 middle = sample[127];
        half = size_t(
            std::partition(entries.begin(), entries.end(), [&](const TitleEntry &entry) { return entry.key < middle; })
            - entries.begin());
    }
    std::vector<quint8> starts(held);
    const auto sortPart = [&](size_t from, size_t to) {
        sortTitles(titles.shownBase(), entries.data() + from, entries.data() + to, 0, starts.data() + from);
    };
    std::thread helper;
    if (half > 0)
        helper = std::thread(sortPart, 0, half);
    sortPart(half, held);
    if (helper.joinable())
        helper.join();

    TitleOrder made{std::vector<quint32>(held), std::vector<quint64>((held + 63) / 64)};
    for (size_t i = 0; i < held; ++i) {
        made.rows[i] = entries[i].row;
        if (starts[i])
            setBit(made.groupStarts, i);
    }
    return made;
}

// The new rows, sorted among themselves, each go before the first held title not before
// theirs: they are newer than every row held. Their places are looked up by two threads for
// many.
SpotOrder::TitleOrder SpotOrder::mergedNewTitles(const SearchTexts &titles) const
{
    const size_t held = size_t(titles.size());
    const size_t covered = titleRows.size();
    const char *base = titles.shownBase();
    const auto shown = [&](quint32 row) { return QByteArrayView(base + titles.shownOffset(row)); };
    std::vector<TitleEntry> added = titleEntries(titles, quint32(covered), quint32(held));
    sortTitles(base, added.data(), added.data() + added.size(), 0, nullptr);

    // The first 16 bytes of every sampleEvery-th held title: a new title's place is narrowed
    // down in them before any held title is read.
    using Prefix = std::pair<quint64, quint64>;
    const auto prefix = [](QByteArrayView text) { return Prefix(ShownOrder::key(text, 0), ShownOrder::key(text, 1)); };
    std::vector<Prefix> samples((covered + sampleEvery - 1) / sampleEvery);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = prefix(shown(titleRows[i * sampleEvery]));
    std::vector<size_t> places(added.size());
    const auto findPlaces = [&](size_t from, size_t to) {
        size_t after = 0;
        for (size_t i = from; i < to; ++i) {
            const QByteArrayView title = textAt(base, added[i]);
            const Prefix own = prefix(title);
            // Samples of a lower prefix are before the title, of a higher one after it.
            const size_t lower = size_t(std::lower_bound(samples.begin(), samples.end(), own) - samples.begin());
            const size_t higher = size_t(std::upper_bound(samples.begin(), samples.end(), own) - samples.begin());
            const auto first
                = titleRows.begin() + qsizetype(std::max(after, lower == 0 ? 0 : (lower - 1) * sampleEvery + 1));
            const auto last = titleRows.begin() + qsizetype(std::min(covered, higher * sampleEvery));
            const auto place = std::partition_point(
                first, std::max(first, last), [&](quint32 row) { return ShownOrder::compare(shown(row), title) < 0; });
            after = places[i] = size_t(place - titleRows.begin());
        }
    };
    if (added.size() < mergedByOneThreadBelow) {
        findPlaces(0, added.size());
    } else {
        std::thread helper(findPlaces, 0, added.size() / 2);
        findPlaces(added.size() / 2, added.size());
        helper.join();
    }

    std::vector<quint32> merged;
    merged.reserve(held);
    std::vector<quint64> starts((held + 63) / 64);
    bool lastAdded = false;
    const auto append = [&](quint32 row, bool isAdded, bool heldStart) {
        const bool start = merged.empty()
            || ((isAdded || lastAdded) ? ShownOrder::compare(shown(merged.back()), shown(row)) != 0 : heldStart);
        if (start)
            setBit(starts, merged.size());
        merged.push_back(row);
        lastAdded = isAdded;
    };
    const auto appendHeld = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            append(titleRows[i], false, isSet(titleGroupStarts, i));
    };
    size_t next = 0;
    for (size_t i = 0; i < added.size(); ++i) {
        appendHeld(next, places[i]);
        append(added[i].row, true, false);
        next = places[i];
    }
    appendHeld(next, covered);
    return {std::move(merged), std::move(starts)};
}

std::vector<quint32> SpotOrder::bySpotter(const SpotColumns &columns, const std::vector<quint32> &rows,
                                          Qt::SortOrder order)
{
    const SearchTexts &spotters = columns.spotters;
    if (spotterRanks.size() != size_t(spotters.size())) {
        spotterRankCount = 0;
        std::vector<quint32> byName(size_t(spotters.size()));
        std::iota(byName.begin(), byName.end(), 0);
        std::sort(byName.begin(), byName.end(), [&](quint32 a, quint32 b) {
            return ShownOrder::compare(spotters.shownText(a), spotters.shownText(b)) < 0;
        });
        spotterRanks.assign(byName.size(), 0);
        for (size_t i = 0; i < byName.size(); ++i) {
            if (i == 0 || ShownOrder::compare(spotters.shownText(byName[i - 1]), spotters.shownText(byName[i])) != 0)
                ++spotterRankCount;
            spotterRanks[byName[i]] = spotterRankCount - 1;
        }
    }
    return byRank(rows, spotterRankCount, order, [&](quint32 row) { return spotterRanks[columns.spotterOf[row]]; });
}

void SpotOrder::retain(const std::vector<bool> &keep)
{
    settle();
    if (titleRows.empty())
        return;
    std::vector<quint32> renumbered(titleRows.size());
    quint32 kept = 0;
    for (size_t row = 0; row < renumbered.size(); ++row) {
        renumbered[row] = kept;
        kept += keep[row] ? 1 : 0;
    }
    std::vector<quint64> starts((kept + 63) / 64);
    size_t next = 0;
    bool groupStarts = false;
    for (size_t i = 0; i < titleRows.size(); ++i) {
        groupStarts = groupStarts || isSet(titleGroupStarts, i);
        const quint32 row = titleRows[i];
        if (!keep[row])
            continue;
        if (groupStarts)
            setBit(starts, next);
        groupStarts = false;
        titleRows[next++] = renumbered[row];
    }
    titleRows.resize(next);
    titleGroupStarts = std::move(starts);
}

qsizetype SpotOrder::memoryBytes() const
{
    return qsizetype((titleRows.capacity() + spotterRanks.capacity()) * sizeof(quint32)
                     + titleGroupStarts.capacity() * sizeof(quint64));
}
