#include "searchtexts.h"

#include "likepattern.h"
#include "sparevector.h"
#include "spottext.h"

#include <cstring>

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

} // namespace

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
    appendSparingly(masks, LikePattern::bigramMask(text.data() + begin, qsizetype(text.size() - begin)));
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
        masks[kept] = masks[item];
        starts[kept] = quint32(textEnd);
        textEnd += length;
        ++kept;
    }
    starts[kept] = quint32(textEnd);
    text.resize(textEnd);
    flags.resize(kept);
    masks.resize(kept);
    starts.resize(kept + 1);
}

void SearchTexts::clear()
{
    *this = SearchTexts();
}

bool SearchTexts::compare(qsizetype item, const SpotSearch &search) const
{
    const quint8 flag = flags[size_t(item)];
    if (flag & Null)
        return false;
    const char *shown = text.data() + starts[size_t(item)];
    if (!(flag & OwnBytes))
        return search.matches(shown, qsizetype(starts[size_t(item) + 1] - starts[size_t(item)] - 1), nullptr);
    const qsizetype size = qsizetype(std::strlen(shown));
    return search.matches(shown, size, shown + size + 1);
}

void SearchTexts::squeeze()
{
    text.shrink_to_fit();
    starts.shrink_to_fit();
    flags.shrink_to_fit();
    masks.shrink_to_fit();
}

qsizetype SearchTexts::memoryBytes() const
{
    return qsizetype(text.capacity() + starts.capacity() * sizeof(quint32) + flags.capacity()
                     + masks.capacity() * sizeof(quint64));
}
