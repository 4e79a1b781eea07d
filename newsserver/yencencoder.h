#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Builds compressed replies the way servers that offer XZVER and XZHDR send them, and the
// yEnc text inside them, for tests and the benchmark.
namespace YencEncoder {

enum class Trailer { Correct, WrongCrc };

// The data as yEnc lines of 128 characters between "=ybegin line=128 size=N name=..." and
// "=yend size=N pcrc32=XXXXXXXX crc32=XXXXXXXX", CR LF after every line, dot-stuffed as on
// the wire; no terminating "." line.
QByteArray encode(QByteArrayView data, Trailer trailer = Trailer::Correct, QByteArrayView name = "overview");

// Everything after the status line of a compressed reply whose plain form is plainLines
// (complete CR LF lines, without the "." line): the raw-deflated lines in yEnc, and ".\r\n".
QByteArray compressedReply(QByteArrayView plainLines, Trailer trailer = Trailer::Correct);

// The text cut after every LF, as a client reads it line by line.
QList<QByteArrayView> splitLines(QByteArrayView text);

} // namespace YencEncoder
