#include "commentrenderer.h"

#include "bytetext.h"
#include "markup.h"
#include "placeholders.h"

#include <QDebug>

#include <limits>

namespace {

// The body as the poster wrote it: without the line that ends the transfer and without the
// dots that dot-stuffing put before lines starting with ".".
QByteArray asWritten(QByteArrayView body)
{
    if (body == QByteArrayView(".\r\n"))
        return {};
    if (body.endsWith(QByteArrayView("\r\n.\r\n")))
        body.chop(3);
    QByteArray text;
    text.reserve(body.size());
    for (qsizetype lineStart = 0; lineStart < body.size();) {
        qsizetype lineEnd = body.indexOf('\n', lineStart);
        lineEnd = lineEnd < 0 ? body.size() : lineEnd + 1;
        const QByteArrayView line = body.sliced(lineStart, lineEnd - lineStart);
        text += line.startsWith(QByteArrayView("..")) ? line.sliced(1) : line;
        lineStart = lineEnd;
    }
    return text;
}

// Whether a References value (unfolded) holds "<messageId>" among its message-ids.
bool namesArticle(QByteArrayView references, QByteArrayView messageId)
{
    if (messageId.isEmpty())
        return false;
    const QByteArray wanted = '<' + messageId.toByteArray() + '>';
    for (qsizetype at = references.indexOf(wanted); at >= 0; at = references.indexOf(wanted, at + 1)) {
        const qsizetype end = at + wanted.size();
        const auto separated = [&](qsizetype position) {
            return position < 0 || position >= references.size() || QChar::isSpace(uchar(references.at(position)));
        };
        if (separated(at - 1) && separated(end))
            return true;
    }
    return false;
}

} // namespace

QByteArray CommentRenderer::render(QByteArrayView article, const QByteArray &commentTemplate,
                                   QByteArrayView spotMessageId)
{
    const qsizetype headerEnd = article.indexOf(QByteArrayView("\r\n\r\n"));
    if (headerEnd < 0)
        return {};

    QByteArrayView name("-");
    bool isSigned = false;
    QByteArray references;
    bool inReferences = false; // continuation lines belong to the References header
    const QByteArrayView headers = article.first(headerEnd);
    qsizetype lineStart = 0;
    while (lineStart <= headers.size()) {
        qsizetype lineEnd = headers.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = headers.size();
        const QByteArrayView line = headers.sliced(lineStart, lineEnd - lineStart);
        const bool continued = line.startsWith(' ') || line.startsWith('\t');
        inReferences = inReferences && continued;
        if (inReferences) {
            references += line;
        } else if (line.startsWith(QByteArrayView("From: "))) {
            // "Name <address>": a bare address leaves the name as it was.
            const qsizetype angle = line.indexOf(QByteArrayView(" <"), 6);
            if (angle >= 0)
                name = line.sliced(6, angle - 6);
        } else if (line.startsWith(QByteArrayView("X-User-Signature: "))) {
            isSigned = true;
        } else if (line.startsWith(QByteArrayView("References: "))) {
            references = line.sliced(12).toByteArray();
            inReferences = true;
        }
        lineStart = lineEnd + 1;
    }
    if (!isSigned || !namesArticle(references, spotMessageId))
        return {};

    const QByteArray nameBytes = name.toByteArray();
    const QByteArray textBytes = asWritten(article.sliced(headerEnd + 4));
    const QString key = ByteText::toText(nameBytes + '\n' + textBytes);
    if (seen.contains(key)) {
        qDebug("Dubbele reactie verwijderd");
        return {};
    }
    seen.insert(key);

    // One pass: a name that reads "{comment}" shows as written.
    const QByteArray nameHtml = convertMarkup(ByteText::toText(nameBytes));
    const QByteArray textHtml = convertMarkup(ByteText::toText(textBytes));
    return fillPlaceholders(commentTemplate, {{"{name}", nameHtml}, {"{comment}", textHtml}},
                            std::numeric_limits<qsizetype>::max())
        .value_or(QByteArray());
}
