#pragma once

#include "bytepairrows.h"
#include "spotsearch.h"

#include <QByteArrayView>

#include <vector>

// Titles, spotters or tags kept for searching, numbered from 0 in the order appended: each as
// its shown text in UTF-8 with ASCII folded, NUL-terminated, followed for a value whose stored
// bytes differ from that (Latin-1, or text that is not UTF-8) by those bytes. A NULL matches
// nothing, as in SQL. With Pairs::Indexed, the pairs of bytes of the shown texts are indexed
// too (BytePairRows), for findByPairs().
class SearchTexts
{
public:
    enum class Pairs { NotIndexed, Indexed };
    explicit SearchTexts(Pairs pairs = Pairs::NotIndexed);

    void append(QByteArrayView bytes, bool isText, bool isNull);
    qsizetype size() const { return qsizetype(flags.size()); }
    // Keeps the values whose keep[] is true, in order.
    void retain(const std::vector<bool> &keep);
    void clear();

    bool matches(qsizetype item, const SpotSearch &search) const
    {
        // With pairs indexed, matches() is only asked where the pairs cannot tell.
        if (!indexesPairs) {
            const quint64 required = search.requiredBigrams();
            if ((masks[size_t(item)] & required) != required && !search.mayMatchAnyMask(flags[size_t(item)] & OwnBytes))
                return false;
        }
        return compare(item, search);
    }
    // Sets the bit of every item of candidates (a bit per item) that matches search in hits
    // (as large) and returns true, reading only the candidates that hold the search's pairs
    // (and those with own bytes where SQLite's LIKE may find them); false, with nothing set,
    // where the pairs cannot tell: without an index of pairs, or for a search without pairs.
    bool findByPairs(const SpotSearch &search, const std::vector<quint64> &candidates,
                     std::vector<quint64> &hits) const;
    // The item's shown text in UTF-8, ASCII folded; empty for a NULL.
    QByteArrayView shownText(qsizetype item) const;
    // The same text as a string that ends at a NUL byte, at shownOffset(item) from shownBase():
    // for reading the texts of many items in an order of their own, where looking up each
    // one's length would cost more than the text.
    const char *shownBase() const { return text.data(); }
    quint32 shownOffset(qsizetype item) const { return starts[size_t(item)]; }

    // Gives back the memory that appending kept in reserve, but for room for that many more
    // values.
    void squeeze(qsizetype room);
    qsizetype memoryBytes() const;

private:
    bool compare(qsizetype item, const SpotSearch &search) const;

    enum Flag : quint8 { Null = 1, OwnBytes = 2 };

    std::vector<char> text;
    std::vector<quint32> starts{0}; // one more than there are values
    std::vector<quint8> flags;
    std::vector<quint64> masks; // without pairs indexed
    bool indexesPairs = false;
    BytePairRows pairRows;
};
