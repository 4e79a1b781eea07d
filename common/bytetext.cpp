#include "bytetext.h"

namespace ByteText {

QString toText(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? bytes : bytes.left(nul));
}

QByteArray toBytes(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (const QChar c : text)
        *out++ = c.unicode() > 0xff ? '?' : char(c.unicode());
    return bytes;
}

} // namespace ByteText
