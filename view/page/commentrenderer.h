#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>

// The comments of one spot page: signed comment articles rendered with the comment
// template, each poster name and text shown once per page. The text is shown as the poster
// wrote it: without the dot-stuffing and the final "." line of its transfer.
class CommentRenderer
{
public:
    // The fragment for one comment article on the spot with that message-id (without angle
    // brackets); empty when it is not to be shown (no end of headers, no "X-User-Signature: "
    // line, a References header that does not name the spot, or the same name and text shown
    // already). Comments are fetched by article number, which a renumbered group or another
    // server gives to other articles. The template's "{name}" and "{comment}" are filled in one
    // pass: neither value is searched.
    QByteArray render(QByteArrayView article, const QByteArray &commentTemplate, QByteArrayView spotMessageId);

private:
    QSet<QString> seen; // poster name + LF + comment text
};
