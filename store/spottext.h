#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How a title, spotter or tag read from the spot tables is shown and searched. The stored
// bytes are never changed: most posters write UTF-8, older spots Latin-1, and titles that
// arrived as encoded words are stored as text.
namespace SpotText {

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or code points
// above U+10FFFF).
bool isUtf8(QByteArrayView bytes);

// The value as shown, up to its first NUL byte: a text value as the text it is, bytes as
// UTF-8 when they are valid UTF-8 and as one Latin-1 character per byte otherwise.
QString shown(QByteArrayView bytes, bool isText);

// The bytes with the ASCII letters in lower case, as LIKE compares them; others unchanged.
QByteArray foldedAscii(QByteArrayView bytes);

} // namespace SpotText
