#include "yencencoder.h"

#include "zlibstream.h"

#include <zlib.h>

namespace YencEncoder {
namespace {

constexpr qsizetype lineLength = 128;

bool mustEscape(uchar encoded)
{
    return encoded == 0 || encoded == '\n' || encoded == '\r' || encoded == '=';
}

QByteArray hex8(quint32 value)
{
    return QByteArray::number(value, 16).rightJustified(8, '0');
}

quint32 crcOf(QByteArrayView data)
{
    return quint32(crc32_z(0, reinterpret_cast<const Bytef *>(data.data()), z_size_t(data.size())));
}

enum class Form { Wire, Text };

// The data as yEnc lines of lineLength characters, each ended by CR LF and dot-stuffed
// (Wire) or ended by LF alone (Text).
void appendLines(QByteArray &text, QByteArrayView data, Form form)
{
    text.reserve(text.size() + data.size() * 105 / 100 + 256);
    QByteArray line;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const uchar encoded = uchar(data[i] + 42);
        if (mustEscape(encoded)) {
            line += '=';
            line += char(encoded + 64);
        } else {
            line += char(encoded);
        }
        if (line.size() >= lineLength || i + 1 == data.size()) {
            if (form == Form::Wire && line.startsWith('.'))
                text += '.';
            text += line + (form == Form::Wire ? "\r\n" : "\n");
            line.clear();
        }
    }
}

} // namespace

QByteArray encode(QByteArrayView data, Trailer trailer, QByteArrayView name)
{
    const QByteArray size = QByteArray::number(data.size());
    QByteArray text = "=ybegin line=128 size=" + size + " name=" + name.toByteArray() + "\r\n";
    appendLines(text, data, Form::Wire);
    quint32 crc = crcOf(data);
    if (trailer == Trailer::WrongCrc)
        crc ^= 1;
    text += "=yend size=" + size + " pcrc32=" + hex8(crc) + " crc32=" + hex8(crc) + "\r\n";
    return text;
}

QByteArray encodePart(QByteArrayView file, qsizetype begin, qsizetype end, int part, int total, QByteArrayView name)
{
    return encodePart(file.sliced(begin, end - begin), begin, file.size(), part == total ? crcOf(file) : 0, part, total,
                      name);
}

QByteArray encodePart(QByteArrayView data, qint64 begin, qint64 fileSize, quint32 fileCrc, int part, int total,
                      QByteArrayView name)
{
    QByteArray text = "=ybegin part=" + QByteArray::number(part) + " total=" + QByteArray::number(total)
        + " line=128 size=" + QByteArray::number(fileSize) + " name=" + name.toByteArray()
        + "\n=ypart begin=" + QByteArray::number(begin + 1) + " end=" + QByteArray::number(begin + data.size()) + '\n';
    appendLines(text, data, Form::Text);
    text += "=yend size=" + QByteArray::number(data.size()) + " part=" + QByteArray::number(part)
        + " pcrc32=" + hex8(crcOf(data));
    if (part == total)
        text += " crc32=" + hex8(fileCrc);
    return text + '\n';
}

QByteArray compressedReply(QByteArrayView plainLines, Trailer trailer)
{
    return encode(ZlibStream::deflateRaw(plainLines, Z_DEFAULT_COMPRESSION), trailer) + ".\r\n";
}

QList<QByteArrayView> splitLines(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype lineFeed = text.indexOf('\n', from);
        const qsizetype next = lineFeed < 0 ? text.size() : lineFeed + 1;
        lines.append(text.sliced(from, next - from));
        from = next;
    }
    return lines;
}

} // namespace YencEncoder
