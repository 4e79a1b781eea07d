#include "nzbescape.h"

namespace NzbEscape {

// One pass that gives what replacing "\n.." and a leading "..", then LF, CR, "=C", "=B",
// "=A" and "=D" one after the other gives: "=X" pairs cannot overlap, so no replacement
// makes or breaks another ("=DC" is "=C"); the line breaks are gone before escapes are
// read, so an escape may be split over two lines. A CR after an LF ends the line start,
// as "\n\r.." holds no "\n..".
QByteArray decodeBody(QByteArrayView body)
{
    // Never longer than the body: written through a pointer, cut to size at the end.
    QByteArray out(body.size(), Qt::Uninitialized);
    char *next = out.data();
    bool lineStart = true;
    bool escape = false;
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
        if (escape) {
            escape = false;
            switch (c) {
            case 'A':
                *next++ = '\0';
                continue;
            case 'B':
                *next++ = '\r';
                continue;
            case 'C':
                *next++ = '\n';
                continue;
            case 'D':
                *next++ = '=';
                continue;
            default:
                *next++ = '=';
            }
        }
        if (c == '=')
            escape = true;
        else
            *next++ = c;
    }
    if (escape)
        *next++ = '=';
    // The last byte is the "." of the terminating line.
    out.truncate(qMax<qsizetype>(next - out.data() - 1, 0));
    return out;
}

} // namespace NzbEscape
