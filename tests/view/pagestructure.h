#pragma once

// Shared by the spot page's tests and its fuzz target: whether a rendered page holds only
// the elements and attributes of its templates and of the program, with every value of a
// poster inside its attribute or in text.

#include "pagetemplates.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QRegularExpression>
#include <QSet>

#include <utility>

namespace PageStructure {

// Every tag of html, from a "<" to the next ">", in order.
inline QList<QByteArray> tagsOf(QByteArrayView html)
{
    QList<QByteArray> tags;
    for (qsizetype open = html.indexOf('<'); open >= 0; open = html.indexOf('<', open + 1)) {
        const qsizetype close = html.indexOf('>', open);
        tags += html.sliced(open, (close < 0 ? html.size() - 1 : close) - open + 1).toByteArray();
    }
    return tags;
}

// The first tag of page that neither template, nor the markup, nor the page's own link and
// picture (a link without quotes or brackets in its attribute, a picture of our own scheme
// with its address percent-encoded) account for, or an
// element of the spot template that the page holds more or fewer times than the template;
// empty when there is none.
inline QByteArray foreignTag(const QByteArray &page, const PageTemplates &templates)
{
    static const QRegularExpression ownTag(QStringLiteral(
        "^(<a href=\"[^\"'<>]*\">|<img class=\"spotimage\" style=\"float:left; margin-right: 10px; margin-bottom:15px; "
        "max-width: 500px; max-height: 500px;\" alt=\"Plaatje\" src=\"tarnwick-page:image\\?[%0-9A-Za-z._~-]*\">)$"));
    QSet<QByteArray> shared{"<br>", "<b>", "<i>", "<u>", "</b>", "</i>", "</u>", "</a>"};
    for (const QByteArray &tag : tagsOf(templates.comment))
        shared.insert(tag);
    const QList<QByteArray> templateTags = tagsOf(templates.spot);
    QList<QByteArray> pageTags = tagsOf(page);
    for (const QByteArray &tag : std::as_const(pageTags)) {
        if (!shared.contains(tag) && !templateTags.contains(tag) && !ownTag.match(QString::fromLatin1(tag)).hasMatch())
            return tag;
    }
    for (const QByteArray &tag : templateTags) {
        if (!shared.contains(tag) && pageTags.count(tag) != templateTags.count(tag))
            return tag;
    }
    return {};
}

} // namespace PageStructure
