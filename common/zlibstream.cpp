#include "zlibstream.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>

namespace ZlibStream {
namespace {

constexpr int rawDeflateWindowBits = -MAX_WBITS;
constexpr int zlibWindowBits = MAX_WBITS;
// zlib counts in uInt; feed and drain it in steps that always fit.
constexpr qsizetype maxStep = qsizetype(1) << 30;
// Enough text to know how often each byte occurs in pieces alike.
constexpr qsizetype codeSampleSize = 64 * 1024;

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

QList<QByteArray> deflateZlibEach(const QList<QByteArray> &pieces)
{
    // Codes for the bytes of a sample of the pieces, made once: building codes for each piece
    // of a kilobyte costs several times the compressing itself.
    isal_huff_histogram histogram{};
    qsizetype sampled = 0;
    for (const QByteArray &piece : pieces) {
        if (sampled >= codeSampleSize)
            break;
        const qsizetype take = std::min(piece.size(), codeSampleSize - sampled);
        if (take > 0)
            isal_update_histogram(reinterpret_cast<uint8_t *>(const_cast<char *>(piece.constData())), int(take),
                                  &histogram);
        sampled += take;
    }
    isal_hufftables codes;
    const bool ready = isal_create_hufftables(&codes, &histogram) == 0;

    QList<QByteArray> out;
    out.reserve(pieces.size());
    for (const QByteArray &piece : pieces) {
        QByteArray packed;
        if (ready && piece.size() < maxStep) {
            // A piece that does not shrink is written as stored blocks, with their headers.
            packed.resize(piece.size() + piece.size() / 1024 + ISAL_DEF_MAX_HDR_SIZE + 64);
            isal_zstream stream;
            isal_deflate_stateless_init(&stream);
            stream.level = 0;
            stream.hufftables = &codes;
            stream.gzip_flag = IGZIP_ZLIB;
            stream.end_of_stream = 1;
            stream.next_in = reinterpret_cast<uint8_t *>(const_cast<char *>(piece.constData()));
            stream.avail_in = uint32_t(piece.size());
            stream.next_out = reinterpret_cast<uint8_t *>(packed.data());
            stream.avail_out = uint32_t(packed.size());
            const bool done = isal_deflate_stateless(&stream) == COMP_OK;
            packed.truncate(done ? qsizetype(stream.total_out) : 0);
        }
        out.append(packed);
    }
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
