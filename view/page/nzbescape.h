#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace NzbEscape {

// The bytes that an NZB article body carries: the dot that dot-stuffing added at a line
// start removed, the line breaks dropped, "=A" (NUL), "=B" (CR), "=C" (LF) and "=D" ("=")
// decoded, and the "." of the terminating line dropped.
QByteArray decodeBody(QByteArrayView body);

// The bytes that several article bodies carry together, as one escaped stream: each body's
// dot-stuffing, line breaks and last data byte (the "." of its terminating line) are removed
// before the escapes are read, so an escape may be split between two articles.
QByteArray decodeBodies(const QList<QByteArrayView> &bodies);

} // namespace NzbEscape
