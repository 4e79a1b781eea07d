#include "nzbescape.h"

namespace NzbEscape {

// One pass that gives what replacing "\n.." and a leading "..", then LF, CR, "=C", "=B",
// "=A" and "=D" one after the other gives: "=X" pairs cannot overlap, so no replacement
// makes or breaks another ("=DC" is "=C"); the line breaks are gone before escapes are
// read, so an escape may be split over two lines. A CR after an LF ends the line start,
// as "\n\r.." holds no "\n..".
QByteArray decodeBody(QByteArrayView body)
{
    QByteArray out;
    out.reserve(body.size());
    bool lineStart = true;
    bool escape = false;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\n' || c == '\r') {
            lineStart = c == '\n';
            continue;
        }
        if (lineStart && c == '.' && i + 1 < body.size() && body[i + 1] == '.') {
            lineStart = false;
            continue;
        }
        lineStart = false;
        if (escape) {
            escape = false;
            switch (c) {
            case 'A':
                out += '\0';
                continue;
            case 'B':
                out += '\r';
                continue;
            case 'C':
                out += '\n';
                continue;
            case 'D':
                out += '=';
                continue;
            default:
                out += '=';
            }
        }
        if (c == '=')
            escape = true;
        else
            out += c;
    }
    if (escape)
        out += '=';
    out.chop(1);
    return out;
}

} // namespace NzbEscape
