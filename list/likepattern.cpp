#include "likepattern.h"

#include "bytepairrows.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Pairs with a blank are left out: titles are full of them, and with them in, the 64 bits of
// a title would be mostly set and tell little.
quint64 bigramBit(uchar first, uchar second)
{
    if (first == ' ' || second == ' ')
        return 0;
    const quint32 hash = (quint32(first) << 8 | second) * 0x9E3779B1u;
    return quint64(1) << (hash >> 26);
}

// The length of the UTF-8 sequence that starts with this byte.
qsizetype sequenceLength(uchar lead)
{
    return lead < 0xc0 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
}

// Search words are short: a loop beats a call of memcmp.
bool startsWith(const char *text, const char *word, qsizetype length)
{
    for (qsizetype i = 0; i < length; ++i) {
        if (text[i] != word[i])
            return false;
    }
    return true;
}

// Where the literal first occurs at or after from, or -1. Titles are short and their letters
// common: comparing the literal's first and last byte at sixteen places at once beats
// stopping at every occurrence of its first letter.
qsizetype findLiteral(const char *text, qsizetype size, qsizetype from, const QByteArray &literal)
{
    const qsizetype length = literal.size();
    const char first = literal.front();
    const char last = literal.back();
    qsizetype at = from;
#ifdef __SSE2__
    const __m128i firsts = _mm_set1_epi8(first);
    const __m128i lasts = _mm_set1_epi8(last);
    // Where the literal starts among the sixteen places from start, leaving out those before
    // notBefore; -1 where it starts at none.
    const auto findFrom = [&](qsizetype start, qsizetype notBefore) -> qsizetype {
        const __m128i starting = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + start));
        const __m128i ending = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + start + length - 1));
        unsigned candidates = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starting, firsts), _mm_cmpeq_epi8(ending, lasts))));
        candidates &= ~0u << (notBefore - start);
        for (; candidates; candidates &= candidates - 1) {
            const qsizetype hit = start + __builtin_ctz(candidates);
            if (startsWith(text + hit + 1, literal.constData() + 1, length - 2))
                return hit;
        }
        return -1;
    };
    const qsizetype places = size - length + 1; // where the literal can start
    if (places >= 16) {
        for (; at + 16 <= places; at += 16) {
            if (const qsizetype hit = findFrom(at, at); hit >= 0)
                return hit;
        }
        // The last places, in sixteen that end where the text does.
        return at < places ? findFrom(places - 16, at) : -1;
    }
#endif
    for (; at + length <= size; ++at) {
        if (text[at] == first && text[at + length - 1] == last
            && startsWith(text + at + 1, literal.constData() + 1, length - 2))
            return at;
    }
    return -1;
}

} // namespace

LikePattern::LikePattern(QByteArrayView foldedText)
{
    Group group;
    const auto endGroup = [&] {
        if (!group.empty())
            groups.push_back(std::move(group));
        group.clear();
    };
    for (const char c : foldedText) {
        if (c == '%') {
            endGroup();
        } else if (c == '_') {
            if (group.empty() || !group.back().literal.isEmpty())
                group.push_back({});
            ++group.back().anyCharacters;
        } else {
            if (group.empty() || group.back().anyCharacters > 0)
                group.push_back({});
            group.back().literal += c;
        }
    }
    endGroup();
    for (const Group &each : groups) {
        for (const Token &token : each) {
            const QByteArray &literal = token.literal;
            for (qsizetype i = 1; i < literal.size(); ++i) {
                const uchar first = uchar(literal[i - 1]);
                const uchar second = uchar(literal[i]);
                bigrams |= bigramBit(first, second);
                if (BytePairRows::isIndexed(first, second))
                    pairs.push_back(BytePairRows::pair(first, second));
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    onePair = groups.size() == 1 && groups.front().size() == 1 && groups.front().front().literal.size() == 2
        && pairs.size() == 1;
}

quint64 LikePattern::bigramMask(const char *text, qsizetype size)
{
    quint64 mask = 0;
    for (qsizetype i = 1; i < size; ++i)
        mask |= bigramBit(uchar(text[i - 1]), uchar(text[i]));
    return mask;
}

bool LikePattern::matches(const char *text, qsizetype size) const
{
    qsizetype at = 0;
    for (const Group &group : groups) {
        at = find(group, text, size, at);
        if (at < 0)
            return false;
    }
    return true;
}

// Where the group ends when it starts at `at`, or -1.
qsizetype LikePattern::matchAt(const Group &group, const char *text, qsizetype size, qsizetype at)
{
    for (const Token &token : group) {
        if (token.anyCharacters == 0) {
            const qsizetype length = token.literal.size();
            if (size - at < length || std::memcmp(text + at, token.literal.constData(), size_t(length)) != 0)
                return -1;
            at += length;
            continue;
        }
        for (int i = 0; i < token.anyCharacters; ++i) {
            if (at >= size)
                return -1;
            at += sequenceLength(uchar(text[at]));
        }
        if (at > size)
            return -1;
    }
    return at;
}

// The end of the leftmost place at or after `from` where the group matches, or -1. A literal
// of valid UTF-8 found in valid UTF-8 always starts at a character: only groups that begin
// with "_" step from character to character.
qsizetype LikePattern::find(const Group &group, const char *text, qsizetype size, qsizetype from)
{
    const QByteArray &first = group.front().literal;
    if (first.isEmpty()) {
        for (qsizetype at = from; at <= size; at += sequenceLength(uchar(text[at]))) {
            const qsizetype end = matchAt(group, text, size, at);
            if (end >= 0 || at == size)
                return end;
        }
        return -1;
    }
    const qsizetype length = first.size();
    for (qsizetype at = from; (at = findLiteral(text, size, at, first)) >= 0; ++at) {
        const qsizetype end = group.size() == 1 ? at + length : matchAt(group, text, size, at);
        if (end >= 0)
            return end;
    }
    return -1;
}
