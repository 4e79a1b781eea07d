#pragma once

#include <QByteArray>
#include <QString>

// The bracket markup of descriptions and comments ("[b]", "[br]", ...) and the line breaks
// and character references that posters escape once or twice, turned into HTML for a spot
// page. Every "<" and ">" of the text is shown as text: the only tags in the result are
// those the bracket codes make. The text is taken byte per character (ISO 8859-1).
QByteArray convertMarkup(const QString &text);
