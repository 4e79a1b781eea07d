#pragma once

#include <QByteArray>
#include <QString>

// Article contents, titles, search text and templates travel one byte per character:
// byte n is the character of code n (ISO 8859-1). These two helpers are the only
// place where that rule is applied, so UTF-8 in an article reaches the page untouched.
namespace ByteText {

// Bytes to text, one character per byte, stopping at the first NUL byte.
QString toText(const QByteArray &bytes);

// Text to bytes, one byte per character; a character above 255 becomes "?".
QByteArray toBytes(const QString &text);

} // namespace ByteText
