#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <vector>

// Which rows of a list of texts hold each pair of adjacent bytes, so that a search reads only
// the rows that hold every pair of its words instead of every row. Pairs with a blank are left
// out: nearly every title holds them, and a search learns nothing from them.
//
// Rows are numbered from 0 in the order appended, and kept in blocks of 65,536: per block and
// pair a sorted list of row offsets while few rows hold the pair, a bitmap once many do (each
// at most 8 KiB). Dropping rows renumbers the rest; only the blocks that lost rows are read
// again, so that dropping the oldest rows (expiry) costs one block.
class BytePairRows
{
public:
    using Pair = quint16;
    static constexpr bool isIndexed(uchar first, uchar second) { return first != ' ' && second != ' '; }
    static constexpr Pair pair(uchar first, uchar second) { return Pair(first << 8 | second); }

    BytePairRows();
    ~BytePairRows();
    BytePairRows(BytePairRows &&) noexcept;
    BytePairRows &operator=(BytePairRows &&) noexcept;

    void append(QByteArrayView text);
    qsizetype size() const { return rows; }
    // Keeps the rows whose keep[] is true, in order; textOf(row) gives a kept row's text by its
    // new number.
    void retain(const std::vector<bool> &keep, const std::function<QByteArrayView(qsizetype)> &textOf);

    qsizetype blockCount() const;
    // The block that holds row (below size()).
    qsizetype blockOf(quint32 row) const;
    // Appends, in ascending order, the rows of blocks [firstBlock, endBlock) that hold every
    // one of pairs (distinct, at least one) and whose bit is set in candidates (a bit per row,
    // row r in word r / 64; rows beyond it are no candidates): a saved filter's new spots are
    // a part of the newest block or two, whose other rows are not looked at.
    void rowsHoldingAll(const std::vector<Pair> &pairs, const std::vector<quint64> &candidates, qsizetype firstBlock,
                        qsizetype endBlock, std::vector<quint32> &found) const;

    // Gives back the memory that appending kept in reserve.
    void squeeze();
    qsizetype memoryBytes() const;

private:
    struct Block;
    void appendTo(Block &block, QByteArrayView text);

    std::vector<Block> blocks;
    qsizetype rows = 0;
};
