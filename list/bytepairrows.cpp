#include "bytepairrows.h"

#include <algorithm>

namespace {

constexpr quint32 blockRows = 1 << 16;
constexpr int bitmapWords = blockRows / 64;
// From this many rows on, a bitmap takes no more room than the list.
constexpr size_t listLimit = bitmapWords * sizeof(quint64) / sizeof(quint16);

} // namespace

struct BytePairRows::Block
{
    // The rows of one block that hold one pair.
    struct Rows
    {
        std::vector<quint16> offsets; // while there are fewer than listLimit
        std::vector<quint64> bits; // from then on
        quint32 count = 0;

        bool holds(quint16 offset) const
        {
            if (bits.empty())
                return std::binary_search(offsets.begin(), offsets.end(), offset);
            return bits[offset >> 6] >> (offset & 63) & 1;
        }

        // Offsets come in ascending order, a row's pairs one after another.
        void add(quint16 offset)
        {
            if (bits.empty()) {
                if (!offsets.empty() && offsets.back() == offset)
                    return;
                offsets.push_back(offset);
                ++count;
                if (offsets.size() == listLimit) {
                    bits.assign(bitmapWords, 0);
                    for (const quint16 each : offsets)
                        bits[each >> 6] |= quint64(1) << (each & 63);
                    std::vector<quint16>().swap(offsets);
                }
                return;
            }
            quint64 &word = bits[offset >> 6];
            const quint64 bit = quint64(1) << (offset & 63);
            if (!(word & bit)) {
                word |= bit;
                ++count;
            }
        }
    };

    quint32 first = 0; // the number of the block's first row
    quint32 size = 0;
    std::vector<quint16> slot = std::vector<quint16>(1 << 16); // per pair: its index in sets + 1, or 0
    std::vector<Rows> sets;
};

BytePairRows::BytePairRows() = default;
BytePairRows::~BytePairRows() = default;
BytePairRows::BytePairRows(BytePairRows &&) noexcept = default;
BytePairRows &BytePairRows::operator=(BytePairRows &&) noexcept = default;

void BytePairRows::append(QByteArrayView text)
{
    if (blocks.empty() || blocks.back().size == blockRows) {
        blocks.emplace_back();
        blocks.back().first = quint32(rows);
    }
    appendTo(blocks.back(), text);
    ++rows;
}

void BytePairRows::appendTo(Block &block, QByteArrayView text)
{
    const quint16 offset = quint16(block.size++);
    for (qsizetype i = 1; i < text.size(); ++i) {
        const uchar first = uchar(text[i - 1]);
        const uchar second = uchar(text[i]);
        if (!isIndexed(first, second))
            continue;
        quint16 &slot = block.slot[pair(first, second)];
        if (slot == 0) {
            block.sets.emplace_back();
            slot = quint16(block.sets.size());
        }
        block.sets[slot - 1].add(offset);
    }
}

void BytePairRows::retain(const std::vector<bool> &keep, const std::function<QByteArrayView(qsizetype)> &textOf)
{
    std::vector<Block> kept;
    quint32 next = 0;
    for (Block &block : blocks) {
        const auto begin = keep.begin() + block.first;
        const quint32 keptRows = quint32(std::count(begin, begin + block.size, true));
        if (keptRows == block.size) {
            block.first = next;
            kept.push_back(std::move(block));
        } else if (keptRows > 0) {
            Block rebuilt;
            rebuilt.first = next;
            for (quint32 row = next; row < next + keptRows; ++row)
                appendTo(rebuilt, textOf(row));
            kept.push_back(std::move(rebuilt));
        }
        next += keptRows;
    }
    blocks = std::move(kept);
    rows = next;
}

qsizetype BytePairRows::blockCount() const
{
    return qsizetype(blocks.size());
}

qsizetype BytePairRows::blockOf(quint32 row) const
{
    const auto after = std::upper_bound(blocks.begin(), blocks.end(), row,
                                        [](quint32 wanted, const Block &block) { return wanted < block.first; });
    return qsizetype(after - blocks.begin()) - 1;
}

void BytePairRows::rowsHoldingAll(const std::vector<Pair> &pairs, const std::vector<quint64> &candidates,
                                  qsizetype firstBlock, qsizetype endBlock, std::vector<quint32> &found) const
{
    const auto isCandidate
        = [&](quint32 row) { return (row >> 6) < candidates.size() && (candidates[row >> 6] >> (row & 63) & 1); };
    // The candidate bits of the 64 rows from row first on: a block that follows dropped rows
    // starts anywhere in a word.
    const auto candidateWord = [&](quint32 first) {
        const size_t word = first >> 6;
        const int shift = int(first & 63);
        quint64 bits = word < candidates.size() ? candidates[word] >> shift : 0;
        if (shift > 0 && word + 1 < candidates.size())
            bits |= candidates[word + 1] << (64 - shift);
        return bits;
    };
    std::vector<const Block::Rows *> sets;
    for (qsizetype b = firstBlock; b < endBlock; ++b) {
        const Block &block = blocks[size_t(b)];
        sets.clear();
        for (const Pair each : pairs) {
            const quint16 slot = block.slot[each];
            if (slot == 0)
                break;
            sets.push_back(&block.sets[slot - 1]);
        }
        if (sets.size() < pairs.size())
            continue;
        std::sort(sets.begin(), sets.end(),
                  [](const Block::Rows *a, const Block::Rows *b) { return a->count < b->count; });
        const Block::Rows &fewest = *sets.front();
        if (fewest.bits.empty()) {
            for (const quint16 offset : fewest.offsets) {
                if (isCandidate(block.first + offset)
                    && std::all_of(sets.begin() + 1, sets.end(),
                                   [&](const Block::Rows *other) { return other->holds(offset); }))
                    found.push_back(block.first + offset);
            }
            continue;
        }
        // Every set is a bitmap: none has fewer rows than the fewest.
        for (int w = 0; w < bitmapWords; ++w) {
            quint64 word = fewest.bits[size_t(w)];
            if (word)
                word &= candidateWord(block.first + quint32(w * 64));
            for (size_t other = 1; word && other < sets.size(); ++other)
                word &= sets[other]->bits[size_t(w)];
            for (; word; word &= word - 1)
                found.push_back(block.first + quint32(w * 64 + __builtin_ctzll(word)));
        }
    }
}

void BytePairRows::squeeze()
{
    for (Block &block : blocks) {
        for (Block::Rows &set : block.sets)
            set.offsets.shrink_to_fit();
        block.sets.shrink_to_fit();
    }
}

qsizetype BytePairRows::memoryBytes() const
{
    qsizetype bytes = qsizetype(blocks.capacity() * sizeof(Block));
    for (const Block &block : blocks) {
        bytes += qsizetype(block.slot.capacity() * sizeof(quint16) + block.sets.capacity() * sizeof(Block::Rows));
        for (const Block::Rows &set : block.sets)
            bytes += qsizetype(set.offsets.capacity() * sizeof(quint16) + set.bits.capacity() * sizeof(quint64));
    }
    return bytes;
}
