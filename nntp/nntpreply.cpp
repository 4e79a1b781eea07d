#include "nntpreply.h"

#include <algorithm>
#include <cstring>

namespace NntpReply {
namespace {

QByteArrayView withoutLineEnd(QByteArrayView text)
{
    if (text.endsWith('\n'))
        text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    return text;
}

qint64 decimal(QByteArrayView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value : 0;
}

} // namespace

int code(QByteArrayView statusLine)
{
    bool ok = false;
    const int value = statusLine.first(std::min<qsizetype>(3, statusLine.size())).toInt(&ok);
    return ok ? value : 0;
}

bool isSuccess(int code)
{
    return code >= 200 && code <= 399;
}

bool isTerminator(QByteArrayView line)
{
    return line == ".\r\n";
}

Group parseGroup(QByteArrayView statusLine)
{
    QByteArrayView parts[5];
    qsizetype start = 0;
    for (int i = 0; i < 5; ++i) {
        if (start > statusLine.size())
            return {};
        const qsizetype blank = statusLine.indexOf(' ', start);
        const qsizetype end = blank < 0 ? statusLine.size() : blank;
        parts[i] = statusLine.sliced(start, end - start);
        start = end + 1;
    }
    return {withoutLineEnd(parts[4]).toByteArray(), decimal(parts[2]), decimal(parts[3])};
}

std::optional<References> parseReferences(QByteArrayView line)
{
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0 || line.indexOf(' ', blank + 1) >= 0)
        return std::nullopt;
    const qint64 number = decimal(line.first(blank));
    // -1 marks the end of a reply for the receiver: no line may pass as that.
    if (number < 0)
        return std::nullopt;
    return References{number, withoutLineEnd(line.sliced(blank + 1)).toByteArray()};
}

std::optional<qint64> overviewNumber(QByteArrayView line)
{
    // Every overview line passes here: plain digits, as servers send them, are read
    // directly; anything else as toLongLong() reads it.
    constexpr qsizetype safeDigits = 18; // below 2^63 whatever they are
    const char *const begin = line.data();
    const char *const end = begin + std::min(line.size(), safeDigits);
    qint64 number = 0;
    const char *at = begin;
    for (; at != end && unsigned(*at - '0') < 10; ++at)
        number = number * 10 + (*at - '0');
    // A nineteenth digit is not read here: the tab test fails on it.
    if (at != begin && at != line.end() && *at == '\t')
        return number;
    const qsizetype tab = line.indexOf('\t');
    bool ok = false;
    number = (tab < 0 ? withoutLineEnd(line) : line.first(tab)).toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

qsizetype articleEnd(QByteArrayView data, qsizetype searchFrom)
{
    // The status line's own CR LF precedes an article that is nothing but the terminator.
    if (data.startsWith(".\r\n"))
        return 3;
    const qsizetype from = std::clamp<qsizetype>(searchFrom, 0, data.size());
    if (data.size() - from < 5)
        return -1;
    // glibc's memmem: several times faster on a reply of a few kilobytes than a hashing search.
    const auto *at = static_cast<const char *>(memmem(data.data() + from, size_t(data.size() - from), "\r\n.\r\n", 5));
    return at ? at - data.data() + 5 : -1;
}

QByteArray unstuffedLines(QByteArrayView data)
{
    data.chop(3); // ".\r\n"
    // Most replies hold no stuffed line: one copy.
    const bool stuffed
        = data.startsWith("..") || (data.size() >= 3 && memmem(data.data(), size_t(data.size()), "\n..", 3));
    if (!stuffed)
        return data.toByteArray();
    QByteArray lines;
    lines.reserve(data.size());
    while (!data.isEmpty()) {
        const qsizetype lineFeed = data.indexOf('\n');
        const QByteArrayView line = lineFeed < 0 ? data : data.first(lineFeed + 1);
        lines += line.startsWith("..") ? line.sliced(1) : line;
        data = data.sliced(line.size());
    }
    return lines;
}

} // namespace NntpReply
