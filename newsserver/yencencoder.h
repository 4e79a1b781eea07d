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

// The bytes begin to end (0-based, end excluded) of a file as part of total (1-based) of a
// multi-part yEnc post: "=ybegin part= total= line=128 size= name=", "=ypart begin= end="
// (1-based, inclusive), the lines, "=yend size= part= pcrc32=" with the file's crc32 on the
// last part. LF after every line, not dot-stuffed: an article body as NewsServer::addArticle
// and a news feed take it.
QByteArray encodePart(QByteArrayView file, qsizetype begin, qsizetype end, int part, int total, QByteArrayView name);
// The same from the part's bytes alone: data is the file's bytes from begin (0-based) on, and
// fileCrc the crc32 of the whole file, written on the last part only.
QByteArray encodePart(QByteArrayView data, qint64 begin, qint64 fileSize, quint32 fileCrc, int part, int total,
                      QByteArrayView name);

// Everything after the status line of a compressed reply whose plain form is plainLines
// (complete CR LF lines, without the "." line): the raw-deflated lines in yEnc, and ".\r\n".
QByteArray compressedReply(QByteArrayView plainLines, Trailer trailer = Trailer::Correct);

// The text cut after every LF, as a client reads it line by line.
QList<QByteArrayView> splitLines(QByteArrayView text);

} // namespace YencEncoder
