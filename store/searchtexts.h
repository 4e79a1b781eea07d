#pragma once

#include "spotsearch.h"

#include <QByteArrayView>

#include <vector>

// Titles, spotters or tags kept for searching, numbered from 0 in the order appended: each as
// its shown text in UTF-8 with ASCII folded, NUL-terminated, followed for a value whose stored
// bytes differ from that (Latin-1, or text that is not UTF-8) by those bytes. A NULL matches
// nothing, as in SQL.
class SearchTexts
{
public:
    void append(QByteArrayView bytes, bool isText, bool isNull);
    qsizetype size() const { return qsizetype(flags.size()); }
    // Keeps the values whose keep[] is true, in order.
    void retain(const std::vector<bool> &keep);
    void clear();

    bool matches(qsizetype item, const SpotSearch &search) const
    {
        const quint64 required = search.requiredBigrams();
        if ((masks[size_t(item)] & required) != required && !search.mayMatchAnyMask(flags[size_t(item)] & OwnBytes))
            return false;
        return compare(item, search);
    }
    // Gives back the memory that appending kept in reserve.
    void squeeze();
    qsizetype memoryBytes() const;

private:
    bool compare(qsizetype item, const SpotSearch &search) const;

    enum Flag : quint8 { Null = 1, OwnBytes = 2 };

    std::vector<char> text;
    std::vector<quint32> starts{0}; // one more than there are values
    std::vector<quint8> flags;
    std::vector<quint64> masks;
};
