#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Deflate streams through zlib. Data from a server must never be able to exhaust memory,
// so every inflate takes an output bound and fails (nullopt) past it, on corrupt input,
// or on a stream that ends early.
namespace ZlibStream {

// The default bound for one inflated object: far above any real article or overview batch.
inline constexpr qsizetype defaultOutputLimit = qsizetype(256) * 1024 * 1024;

// Raw deflate (no zlib or gzip header), as in compressed overview replies and NZB articles.
std::optional<QByteArray> inflateRaw(QByteArrayView data, qsizetype outputLimit = defaultOutputLimit);
// The same form written, at a level from 0 (stored blocks) to 9, or zlib's default (-1);
// empty if zlib fails.
QByteArray deflateRaw(QByteArrayView data, int level = 9);

// zlib streams (header and Adler-32 trailer), as the article cache stores them; written as
// deflateRaw() writes, empty if zlib fails.
QByteArray deflateZlib(QByteArrayView data, int level = 6);
// A zlib stream of each piece, for many small pieces alike (the header blocks of spots): the
// Huffman codes are made once from a sample of the pieces and every piece is compressed with
// them by ISA-L's fastest level, about five times as fast as zlib or libdeflate at their
// fastest on pieces of a kilobyte, for output about 5 % larger. An empty result for a piece
// that could not be compressed.
QList<QByteArray> deflateZlibEach(const QList<QByteArray> &pieces);
std::optional<QByteArray> inflateZlib(QByteArrayView data, qsizetype outputLimit = defaultOutputLimit);

} // namespace ZlibStream
