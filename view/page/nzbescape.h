#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace NzbEscape {

// The bytes that an NZB article body carries: the dot that dot-stuffing added at a line
// start removed, the line breaks dropped, "=A" (NUL), "=B" (CR), "=C" (LF) and "=D" ("=")
// decoded, and the "." of the terminating line dropped.
QByteArray decodeBody(QByteArrayView body);

} // namespace NzbEscape
