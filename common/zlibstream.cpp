#include "zlibstream.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

namespace ZlibStream {
namespace {

constexpr int rawDeflateWindowBits = -MAX_WBITS;
constexpr int zlibWindowBits = MAX_WBITS;
// zlib counts in uInt; feed and drain it in steps that always fit.
constexpr qsizetype maxStep = qsizetype(1) << 30;

// The output is exactly at the bound: the stream may still end there without another byte.
bool endsWithoutMoreOutput(z_stream &stream, const Bytef *in, qsizetype inLeft)
{
    Bytef probe;
    stream.next_in = const_cast<Bytef *>(in);
    stream.avail_in = uInt(std::min(inLeft, maxStep));
    stream.next_out = &probe;
    stream.avail_out = 1;
    return inflate(&stream, Z_NO_FLUSH) == Z_STREAM_END && stream.avail_out == 1;
}

std::optional<QByteArray> inflateWith(QByteArrayView data, int windowBits, qsizetype outputLimit)
{
    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return std::nullopt;

    QByteArray out;
    // Start near the usual ratio for text, but never past the bound.
    out.resize(std::clamp<qsizetype>(data.size() * 4, 64, std::max<qsizetype>(outputLimit, 1)));
    const auto *in = reinterpret_cast<const Bytef *>(data.data());
    qsizetype inLeft = data.size();
    qsizetype produced = 0;
    int status = Z_OK;

    while (status != Z_STREAM_END) {
        if (produced == out.size()) {
            if (out.size() >= outputLimit) {
                status = endsWithoutMoreOutput(stream, in, inLeft) ? Z_STREAM_END : Z_MEM_ERROR;
                break;
            }
            out.resize(std::min(outputLimit, out.size() * 2));
        }
        const qsizetype inStep = std::min(inLeft, maxStep);
        const qsizetype outStep = std::min(out.size() - produced, maxStep);
        stream.next_in = const_cast<Bytef *>(in);
        stream.avail_in = uInt(inStep);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        stream.avail_out = uInt(outStep);

        status = inflate(&stream, Z_NO_FLUSH);
        const qsizetype consumed = inStep - stream.avail_in;
        const qsizetype written = outStep - stream.avail_out;
        in += consumed;
        inLeft -= consumed;
        produced += written;

        if (status == Z_BUF_ERROR && inLeft == 0 && produced < out.size())
            break; // input ended before the stream did
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            break;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    out.truncate(produced);
    return out;
}

// One piece through a deflater set up for it or reset since the last one.
QByteArray deflateInto(z_stream &stream, QByteArrayView data)
{
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = const_cast<Bytef *>(reinterpret_cast<const Bytef *>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const bool finished = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.truncate(qsizetype(stream.total_out));
    return finished ? out : QByteArray();
}

// One deflate call over the whole input: deflateBound() leaves room for the whole stream.
QByteArray deflateWith(QByteArrayView data, int windowBits, int level)
{
    // A hash no larger than the data need, and for raw deflate the window too: setting up the
    // full ones (a quarter of a megabyte) costs more than compressing a few kilobytes. Any
    // inflater reads the result; a zlib header keeps naming the full window.
    int bits = 9;
    while (bits < 15 && (qsizetype(1) << bits) < data.size() + 262)
        ++bits;
    const int memLevel = std::clamp(bits - 6, 1, 8);
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, windowBits < 0 ? -bits : windowBits, memLevel, Z_DEFAULT_STRATEGY)
        != Z_OK)
        return {};
    QByteArray out = deflateInto(stream, data);
    deflateEnd(&stream);
    return out;
}

} // namespace

QList<QByteArray> deflateZlibEach(const QList<QByteArray> &pieces, int level)
{
    QList<QByteArray> out;
    out.reserve(pieces.size());
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(std::clamp(level, 0, 12));
    for (const QByteArray &piece : pieces) {
        QByteArray packed;
        if (compressor) {
            packed.resize(qsizetype(libdeflate_zlib_compress_bound(compressor, size_t(piece.size()))));
            packed.truncate(qsizetype(libdeflate_zlib_compress(compressor, piece.constData(), size_t(piece.size()),
                                                               packed.data(), size_t(packed.size()))));
        }
        out.append(packed);
    }
    libdeflate_free_compressor(compressor);
    return out;
}

std::optional<QByteArray> inflateRaw(QByteArrayView data, qsizetype outputLimit)
{
    return inflateWith(data, rawDeflateWindowBits, outputLimit);
}

std::optional<QByteArray> inflateZlib(QByteArrayView data, qsizetype outputLimit)
{
    return inflateWith(data, zlibWindowBits, outputLimit);
}

QByteArray deflateRaw(QByteArrayView data, int level)
{
    return deflateWith(data, rawDeflateWindowBits, level);
}

QByteArray deflateZlib(QByteArrayView data, int level)
{
    return deflateWith(data, zlibWindowBits, level);
}

} // namespace ZlibStream
