#include "nzbescape.h"

namespace NzbEscape {
namespace {

// Writes what the "=X" escapes among the bytes put into it stand for; an "=" before any
// other byte, or at the end, stands for itself.
class Unescaper
{
public:
    explicit Unescaper(char *out)
        : next(out)
    {
    }

    void put(char c)
    {
        if (escape) {
            escape = false;
            switch (c) {
            case 'A':
                *next++ = '\0';
                return;
            case 'B':
                *next++ = '\r';
                return;
            case 'C':
                *next++ = '\n';
                return;
            case 'D':
                *next++ = '=';
                return;
            default:
                *next++ = '=';
            }
        }
        if (c == '=')
            escape = true;
        else
            *next++ = c;
    }

    char *finish()
    {
        if (escape)
            *next++ = '=';
        escape = false;
        return next;
    }

private:
    char *next;
    bool escape = false;
};

// Hands each data byte of a body to put: the dot that dot-stuffing added at a line start
// skipped, the line breaks dropped. A CR after an LF ends the line start, as "\n\r.."
// holds no "\n..".
template<typename Put>
void forEachDataByte(QByteArrayView body, Put put)
{
    bool lineStart = true;
    const char *const end = body.data() + body.size();
    for (const char *at = body.data(); at != end; ++at) {
        const char c = *at;
        if (c == '\n' || c == '\r') {
            lineStart = c == '\n';
            continue;
        }
        if (lineStart && c == '.' && at + 1 != end && at[1] == '.') {
            lineStart = false;
            continue;
        }
        lineStart = false;
        put(c);
    }
}

} // namespace

// One pass that gives what replacing "\n.." and a leading "..", then LF, CR, "=C", "=B",
// "=A" and "=D" one after the other gives: "=X" pairs cannot overlap, so no replacement
// makes or breaks another ("=DC" is "=C"); the line breaks are gone before escapes are
// read, so an escape may be split over two lines.
QByteArray decodeBody(QByteArrayView body)
{
    // Never longer than the body: written through a pointer, cut to size at the end.
    QByteArray out(body.size(), Qt::Uninitialized);
    Unescaper unescaper(out.data());
    forEachDataByte(body, [&unescaper](char c) { unescaper.put(c); });
    // The last byte is the "." of the terminating line.
    out.truncate(qMax<qsizetype>(unescaper.finish() - out.data() - 1, 0));
    return out;
}

QByteArray decodeBodies(const QList<QByteArrayView> &bodies)
{
    qsizetype size = 0;
    for (const QByteArrayView body : bodies)
        size += body.size();
    QByteArray out(size, Qt::Uninitialized);
    Unescaper unescaper(out.data());
    for (const QByteArrayView body : bodies) {
        // Each byte goes on once the next one shows it is not the body's last.
        bool holding = false;
        char held = 0;
        forEachDataByte(body, [&](char c) {
            if (holding)
                unescaper.put(held);
            held = c;
            holding = true;
        });
    }
    out.truncate(unescaper.finish() - out.data());
    return out;
}

} // namespace NzbEscape
