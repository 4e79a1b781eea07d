#include "spottext.h"

#include <QStringDecoder>

#include <algorithm>

namespace SpotText {
namespace {

QByteArrayView beforeNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

} // namespace

bool isUtf8(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

QString shown(QByteArrayView bytes, bool isText)
{
    const QByteArrayView value = beforeNul(bytes);
    if (isAscii(value))
        return QString::fromLatin1(value);
    // A byte order mark stays a character: it is part of what was stored.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(value);
    if (isText || !decoder.hasError())
        return text;
    return QString::fromLatin1(value);
}

QByteArray foldedAscii(QByteArrayView bytes)
{
    QByteArray folded = bytes.toByteArray();
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return folded;
}

} // namespace SpotText
