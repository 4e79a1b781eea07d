#include "yencdecoder.h"

#include <QDebug>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr uchar dataOffset = 42;
constexpr uchar escapeOffset = 106; // the data offset plus the escape's 64
// Real keyword lines stay well under 100 bytes; a broken server's must not grow without end.
constexpr qsizetype maxKeywordLine = 1024;
// The CRC runs over blocks of this many decoded bytes while they are still in cache: several
// times faster than line by line.
constexpr qsizetype crcBlock = 32 * 1024;

constexpr quint64 everyByte(uchar b)
{
    return 0x0101010101010101ull * b;
}

// Sets the high bit of each zero byte of w. Bytes above the lowest zero byte may be flagged
// wrongly, but the lowest flag is always right, and that is the only one used.
constexpr quint64 zeroBytes(quint64 w)
{
    return (w - everyByte(1)) & ~w & everyByte(0x80);
}

// Flags "=", CR and LF: the bytes that are not plain data.
constexpr quint64 specialBytes(quint64 w)
{
    return zeroBytes(w ^ everyByte('=')) | zeroBytes(w ^ everyByte('\r')) | zeroBytes(w ^ everyByte('\n'));
}

// Each byte minus 42, modulo 256, without borrows from one byte into the next.
constexpr quint64 minusDataOffset(quint64 w)
{
    constexpr quint64 high = everyByte(0x80);
    return ((w | high) - everyByte(dataOffset)) ^ (~w & high);
}

// Decodes data bytes, escapes and CRs up to the next LF, an escape without its second byte,
// or the end of the input; eight bytes at a time, stopping only at the bytes that are not plain.
// out may receive up to eight bytes more than it advances over.
const uchar *decodeData(const uchar *in, const uchar *end, uchar *&out)
{
    for (;;) {
        if (end - in >= 8) {
            const quint64 word = qFromLittleEndian<quint64>(in);
            qToLittleEndian(minusDataOffset(word), out);
            const quint64 special = specialBytes(word);
            if (special == 0) {
                in += 8;
                out += 8;
                continue;
            }
            const int plain = qCountTrailingZeroBits(special) / 8;
            in += plain;
            out += plain;
        } else if (in == end) {
            return in;
        } else if (*in != '=' && *in != '\r' && *in != '\n') {
            *out++ = uchar(*in++ - dataOffset);
            continue;
        }
        if (*in == '\r') {
            ++in;
        } else if (*in == '=' && end - in >= 2) {
            *out++ = uchar(in[1] - escapeOffset);
            in += 2;
        } else {
            return in;
        }
    }
}

// The CRC that a trailer announces; the part's CRC wins over the whole file's.
std::optional<quint32> announcedCrc(QByteArrayView trailer)
{
    qsizetype field = trailer.indexOf("pcrc32=");
    if (field < 0)
        field = trailer.indexOf(" crc32=");
    if (field < 0)
        return std::nullopt;
    QByteArrayView value = trailer.sliced(field + 7);
    const qsizetype blank = value.indexOf(' ');
    if (blank >= 0)
        value.truncate(blank);
    return value.trimmed().toUInt(nullptr, 16); // unreadable reads as 0
}

} // namespace

YencMemDecoder::YencMemDecoder(QObject *parent)
    : QObject(parent)
{
}

void YencMemDecoder::reset()
{
    decoded.clear();
    keywordLine.clear();
    total = 0;
    crcRegister = crc32Init();
    checksummed = 0;
    stream = Stream::WaitingForHeader;
    scan = Scan::LineStart;
    crcMatches = false;
}

void YencMemDecoder::decode(QByteArrayView chunk)
{
    if (stream == Stream::TrailerSeen || chunk.isEmpty())
        return;
    const qsizetype start = decoded.size();
    // One byte out per byte in, plus the "." that the previous chunk may have ended on;
    // decodeData()'s eight-byte stores stay within that too.
    decoded.resize(start + chunk.size() + 1);
    uchar *const first = reinterpret_cast<uchar *>(decoded.data()) + start;
    uchar *out = first;
    const auto *in = reinterpret_cast<const uchar *>(chunk.data());
    const uchar *const end = in + chunk.size();

    while (in < end) {
        switch (scan) {
        case Scan::Data:
            in = decodeData(in, end, out);
            if (in == end)
                break;
            scan = *in == '\n' ? Scan::LineStart : Scan::Escape; // "=" as the last byte
            ++in;
            break;
        case Scan::Escape:
            *out++ = uchar(*in++ - escapeOffset);
            scan = Scan::Data;
            break;
        case Scan::LineStart:
            if (*in == '.') {
                ++in;
                scan = Scan::LineStartDot;
            } else if (*in == '=') {
                ++in;
                scan = Scan::LineStartEquals;
            } else {
                scan = Scan::Data;
            }
            break;
        case Scan::LineStartDot:
            // A line starting ".." is NNTP's dot-stuffing of a single ".".
            if (*in == '.')
                ++in;
            *out++ = uchar('.' - dataOffset);
            scan = Scan::Data;
            break;
        case Scan::LineStartEquals:
            if (*in == 'y') {
                ++in;
                keywordLine = QByteArrayLiteral("=y");
                scan = Scan::KeywordLine;
            } else {
                scan = Scan::Escape;
            }
            break;
        case Scan::KeywordLine: {
            const auto *lineFeed = static_cast<const uchar *>(std::memchr(in, '\n', size_t(end - in)));
            const uchar *lineEnd = lineFeed ? lineFeed : end;
            keywordLine.append(reinterpret_cast<const char *>(in),
                               std::min<qsizetype>(lineEnd - in, maxKeywordLine - keywordLine.size()));
            in = lineEnd;
            if (!lineFeed)
                break;
            ++in;
            scan = Scan::LineStart;
            if (keywordLine.startsWith("=ybegin ")) {
                if (stream == Stream::WaitingForHeader) {
                    stream = Stream::InData;
                    out = first;
                }
            } else if (keywordLine.startsWith("=yend") && stream == Stream::InData) {
                keepDecoded(start, out - first);
                checkTrailer();
                return;
            }
            break; // "=ypart " and other keyword lines carry nothing we need
        }
        }
    }
    if (stream == Stream::InData)
        keepDecoded(start, out - first);
    else
        decoded.truncate(start);
}

const QByteArray &YencMemDecoder::decodedData() const
{
    return decoded;
}

bool YencMemDecoder::crcOk() const
{
    return crcMatches;
}

void YencMemDecoder::keepDecoded(qsizetype start, qsizetype count)
{
    decoded.truncate(start + count);
    total += quint64(count);
    if (decoded.size() - checksummed >= crcBlock)
        updateCrc();
}

void YencMemDecoder::updateCrc()
{
    crcRegister = crc32Update(crcRegister, decoded.constData() + checksummed, decoded.size() - checksummed);
    checksummed = decoded.size();
}

void YencMemDecoder::checkTrailer()
{
    stream = Stream::TrailerSeen;
    updateCrc();
    crcRegister = crc32Final(crcRegister);
    const std::optional<quint32> expected = announcedCrc(keywordLine);
    crcMatches = expected == crcRegister;
    if (crcMatches)
        return;
    qDebug("CRC onjuist :-(");
    qDebug() << total << decoded.size();
    if (expected)
        qDebug() << "CRC volgens header" << *expected << "Berekende CRC" << crcRegister;
}
