#include "htmlescape.h"

QByteArray escapeHtml(QByteArrayView bytes)
{
    QByteArray escaped;
    escaped.reserve(bytes.size());
    for (const char c : bytes) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QString unescapeXmlText(QString text)
{
    // "&amp;" last, so that "&amp;lt;" gives "&lt;" as written.
    text.replace(QLatin1StringView("&lt;"), QLatin1StringView("<"));
    text.replace(QLatin1StringView("&gt;"), QLatin1StringView(">"));
    text.replace(QLatin1StringView("&amp;"), QLatin1StringView("&"));
    return text;
}
