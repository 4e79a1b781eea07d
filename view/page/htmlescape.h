#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Bytes that may stand in HTML text and inside a quoted attribute value alike: "&", "<",
// ">", '"' and "'" are written as character references.
QByteArray escapeHtml(QByteArrayView bytes);

// The string value of a single spot XML field, which comes written as XML text ("&amp;",
// "&lt;", "&gt;"), as the poster wrote it.
QString unescapeXmlText(QString text);
