#include "searchtexts.h"

#include "likepattern.h"
#include "sparevector.h"
#include "spottext.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// ASCII: its folded bytes are its shown text.
bool appendFoldedAscii(std::vector<char> &text, QByteArrayView value)
{
    for (const char c : value) {
        if (uchar(c) >= 0x80)
            return false;
    }
    const size_t begin = text.size();
    appendSparingly(text, value.begin(), value.end());
    for (auto c = text.begin() + qsizetype(begin); c != text.end(); ++c) {
        if (*c >= 'A' && *c <= 'Z')
            *c = char(*c - 'A' + 'a');
    }
    return true;
}

// Items from which the pairs' candidates are compared on two threads.
constexpr qsizetype parallelFrom = 200'000;

bool isSet(const std::vector<quint64> &bits, quint32 item)
{
    return bits[item >> 6] >> (item & 63) & 1;
}

void setBit(std::vector<quint64> &bits, quint32 item)
{
    bits[item >> 6] |= quint64(1) << (item & 63);
}

} // namespace

SearchTexts::SearchTexts(Pairs pairs)
    : indexesPairs(pairs == Pairs::Indexed)
{
}

void SearchTexts::append(QByteArrayView bytes, bool isText, bool isNull)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QByteArrayView value = nul < 0 ? bytes : bytes.first(nul);
    const size_t begin = text.size();
    quint8 flag = isNull ? Null : 0;
    if (!isNull && !appendFoldedAscii(text, value)) {
        const bool ownBytes = !SpotText::isUtf8(value);
        const QByteArray shown = SpotText::foldedAscii(ownBytes ? SpotText::shown(value, isText).toUtf8() : value);
        appendSparingly(text, shown.begin(), shown.end());
        if (ownBytes)
            flag |= OwnBytes;
    }
    const QByteArrayView shownBytes(text.data() + begin, qsizetype(text.size() - begin));
    if (indexesPairs)
        pairRows.append(shownBytes);
    else
        appendSparingly(masks, LikePattern::bigramMask(shownBytes.data(), shownBytes.size()));
    if (flag & OwnBytes) {
        appendSparingly(text, '\0');
        appendSparingly(text, value.begin(), value.end());
    }
    appendSparingly(text, '\0');
    appendSparingly(flags, flag);
    appendSparingly(starts, quint32(text.size()));
}

void SearchTexts::retain(const std::vector<bool> &keep)
{
    size_t kept = 0;
    size_t textEnd = 0;
    for (size_t item = 0; item < flags.size(); ++item) {
        if (!keep[item])
            continue;
        const size_t begin = starts[item];
        const size_t length = starts[item + 1] - begin;
        std::memmove(text.data() + textEnd, text.data() + begin, length);
        flags[kept] = flags[item];
        if (!indexesPairs)
            masks[kept] = masks[item];
        starts[kept] = quint32(textEnd);
        textEnd += length;
        ++kept;
    }
    starts[kept] = quint32(textEnd);
    text.resize(textEnd);
    flags.resize(kept);
    masks.resize(indexesPairs ? 0 : kept);
    starts.resize(kept + 1);
    if (indexesPairs)
        pairRows.retain(keep, [this](qsizetype item) { return shownText(item); });
}

void SearchTexts::clear()
{
    *this = SearchTexts(indexesPairs ? Pairs::Indexed : Pairs::NotIndexed);
}

QByteArrayView SearchTexts::shownText(qsizetype item) const
{
    const char *shown = text.data() + starts[size_t(item)];
    if (flags[size_t(item)] & OwnBytes)
        return QByteArrayView(shown, qsizetype(std::strlen(shown)));
    return QByteArrayView(shown, qsizetype(starts[size_t(item) + 1] - starts[size_t(item)] - 1));
}

bool SearchTexts::compare(qsizetype item, const SpotSearch &search) const
{
    const quint8 flag = flags[size_t(item)];
    if (flag & Null)
        return false;
    const QByteArrayView shown = shownText(item);
    return search.matches(shown.data(), shown.size(), flag & OwnBytes ? shown.data() + shown.size() + 1 : nullptr);
}

bool SearchTexts::findByPairs(const SpotSearch &search, const std::vector<quint64> &candidates,
                              std::vector<quint64> &hits) const
{
    const std::vector<quint16> &pairs = search.requiredPairs();
    if (!indexesPairs || pairs.empty() || search.mayMatchAnyMask(false))
        return false;
    // Only the blocks from the first candidate on are read: a saved filter's new spots are
    // the newest rows.
    const auto firstWord = std::find_if(candidates.begin(), candidates.end(), [](quint64 word) { return word != 0; });
    if (firstWord == candidates.end())
        return true;
    const quint32 firstItem = quint32(firstWord - candidates.begin()) * 64;
    const bool decided = search.pairsDecide();
    const auto part = [&](qsizetype firstBlock, qsizetype endBlock, std::vector<quint32> &matched) {
        if (decided) {
            pairRows.rowsHoldingAll(pairs, candidates, firstBlock, endBlock, matched);
            return;
        }
        std::vector<quint32> holding;
        pairRows.rowsHoldingAll(pairs, candidates, firstBlock, endBlock, holding);
        // The texts compared are far apart in memory: each is asked for some items early,
        // its place and flags earlier still.
        constexpr size_t placeAhead = 16;
        constexpr size_t textAhead = 8;
        for (size_t i = 0; i < holding.size(); ++i) {
            if (i + placeAhead < holding.size()) {
                __builtin_prefetch(&starts[holding[i + placeAhead]]);
                __builtin_prefetch(&flags[holding[i + placeAhead]]);
            }
            if (i + textAhead < holding.size())
                __builtin_prefetch(text.data() + starts[holding[i + textAhead]]);
            const quint32 item = holding[i];
            if (compare(item, search))
                matched.push_back(item);
        }
    };
    const qsizetype firstBlock = pairRows.blockOf(firstItem);
    const qsizetype blocks = pairRows.blockCount();
    std::vector<quint32> older;
    std::vector<quint32> newer;
    if (size() - firstItem < parallelFrom) {
        part(firstBlock, blocks, newer);
    } else {
        const qsizetype half = firstBlock + (blocks - firstBlock) / 2;
        std::thread helper(part, firstBlock, half, std::ref(older));
        part(half, blocks, newer);
        helper.join();
    }
    for (const std::vector<quint32> *matched : {&older, &newer}) {
        for (const quint32 item : *matched)
            setBit(hits, item);
    }
    // SQLite's LIKE reads own bytes differently where the search has "_" or other than ASCII.
    if (search.mayMatchAnyMask(true)) {
        for (qsizetype item = firstItem; item < size(); ++item) {
            if ((flags[size_t(item)] & OwnBytes) && isSet(candidates, quint32(item)) && compare(item, search))
                setBit(hits, quint32(item));
        }
    }
    return true;
}

void SearchTexts::squeeze(qsizetype room)
{
    // The texts to come as long as the newest as many, and a little more.
    const size_t newest = std::min(flags.size(), size_t(room));
    const size_t newestBytes = text.size() - starts[flags.size() - newest];
    const size_t textRoom = newestBytes + newestBytes / 32;
    squeezeKeeping(text, textRoom);
    squeezeKeeping(starts, size_t(room));
    squeezeKeeping(flags, size_t(room));
    squeezeKeeping(masks, indexesPairs ? 0 : size_t(room));
    pairRows.squeeze();
}

qsizetype SearchTexts::memoryBytes() const
{
    return qsizetype(text.capacity() + starts.capacity() * sizeof(quint32) + flags.capacity()
                     + masks.capacity() * sizeof(quint64))
        + pairRows.memoryBytes();
}
