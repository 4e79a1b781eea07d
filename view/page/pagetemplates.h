#pragma once

#include <QByteArray>
#include <QString>

// The spot page and the comment fragment, filled by plain substitution of their
// placeholders: "{description}", "{website}", "{size}", "{numfiles}", "{firstfile}",
// "{lastfile}", "{newsgroup}", "{comments}" in the spot template; "{name}", "{comment}" in
// the comment template.
struct PageTemplates
{
    QByteArray spot;
    QByteArray comment;

    // Both from directory when it holds a "spot.tpl" (a missing "comment.tpl" there is an
    // empty comment template), else both embedded ones. A file that cannot be read is empty.
    static PageTemplates load(const QString &directory);
    // Loaded from the executable's directory on first use, and again while the spot
    // template is empty; never re-read once loaded.
    static const PageTemplates &shared();
};
