#include "yencdecoder.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr uchar dataOffset = 42;
constexpr uchar escapeOffset = 106; // the data offset plus the escape's 64
// Real keyword lines stay well under 100 bytes; a broken server's must not grow without end.
constexpr qsizetype maxKeywordLine = 1024;

constexpr quint64 everyByte(uchar b)
{
    return 0x0101010101010101ull * b;
}

// The high bit of some byte is set when a byte of w is zero (exact as to "some").
constexpr quint64 zeroBytes(quint64 w)
{
    return (w - everyByte(1)) & ~w & everyByte(0x80);
}

// One of the eight bytes is "=", CR or LF: the bytes that need the scan states.
constexpr bool hasSpecialByte(quint64 w)
{
    return (zeroBytes(w ^ everyByte('=')) | zeroBytes(w ^ everyByte('\r')) | zeroBytes(w ^ everyByte('\n'))) != 0;
}

// Each byte minus 42, modulo 256, without borrows from one byte into the next.
constexpr quint64 minusDataOffset(quint64 w)
{
    constexpr quint64 high = everyByte(0x80);
    return ((w | high) - everyByte(dataOffset)) ^ (~w & high);
}

// Decodes ordinary data bytes up to the first "=", CR or LF or the end of the input,
// eight at a time while none of those is among them.
const uchar *decodePlainRun(const uchar *in, const uchar *end, uchar *&out)
{
    while (end - in >= 8) {
        quint64 word;
        std::memcpy(&word, in, sizeof word);
        if (hasSpecialByte(word))
            break;
        word = minusDataOffset(word);
        std::memcpy(out, &word, sizeof word);
        in += 8;
        out += 8;
    }
    while (in < end && *in != '=' && *in != '\r' && *in != '\n')
        *out++ = uchar(*in++ - dataOffset);
    return in;
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
    stream = Stream::WaitingForHeader;
    scan = Scan::LineStart;
    crcMatches = false;
}

void YencMemDecoder::decode(QByteArrayView chunk)
{
    if (stream == Stream::TrailerSeen || chunk.isEmpty())
        return;
    const qsizetype start = decoded.size();
    // One byte out per byte in, plus the "." that the previous chunk may have ended on.
    decoded.resize(start + chunk.size() + 1);
    uchar *const first = reinterpret_cast<uchar *>(decoded.data()) + start;
    uchar *out = first;
    const auto *in = reinterpret_cast<const uchar *>(chunk.data());
    const uchar *const end = in + chunk.size();

    while (in < end) {
        switch (scan) {
        case Scan::Data:
            in = decodePlainRun(in, end, out);
            if (in == end)
                break;
            if (*in == '\n')
                scan = Scan::LineStart;
            else if (*in == '=')
                scan = Scan::Escape;
            ++in; // a CR is skipped
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
    crcRegister = crc32Update(crcRegister, decoded.constData() + start, count);
    total += quint64(count);
}

void YencMemDecoder::checkTrailer()
{
    stream = Stream::TrailerSeen;
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
