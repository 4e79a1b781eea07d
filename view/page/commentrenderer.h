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
    // The fragment for one comment article; empty when it is not to be shown (no end of
    // headers, no "X-User-Signature: " line, or the same name and text shown already). The
    // template's "{name}" and "{comment}" are filled in one pass: neither value is searched.
    QByteArray render(QByteArrayView article, const QByteArray &commentTemplate);

private:
    QSet<QString> seen; // poster name + LF + comment text
};
