#include "spotsearch.h"

#include "spottext.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

QByteArray shownForm(const QByteArray &search)
{
    return SpotText::foldedAscii(SpotText::shown(search, false).toUtf8());
}

// Search texts whose bytes SQLite reads as the same characters as shownForm() does: valid
// UTF-8 without NUL and without U+FFFD to U+FFFF, which SQLite's LIKE takes as one character.
bool isPlainUtf8(const QByteArray &search)
{
    return !search.contains('\0') && SpotText::isUtf8(search) && !search.contains("\xef\xbf\xbd")
        && !search.contains("\xef\xbf\xbe") && !search.contains("\xef\xbf\xbf");
}

} // namespace

SpotSearch::SpotSearch(const QByteArray &search)
    : shownPattern(shownForm(search))
    , sqlitePattern('%' + search + '%')
{
    const qsizetype nul = sqlitePattern.indexOf('\0');
    if (nul >= 0)
        sqlitePattern.truncate(nul);
    const bool plain = isPlainUtf8(search);
    likeOnShownBytes = !plain;
    likeOnOwnBytes = !plain || search.contains('_')
        || std::any_of(search.begin(), search.end(), [](char c) { return uchar(c) >= 0x80; });
}

bool SpotSearch::matches(const char *shown, qsizetype size, const char *ownBytes) const
{
    if (shownPattern.matches(shown, size))
        return true;
    const char *stored = ownBytes ? (likeOnOwnBytes ? ownBytes : nullptr) : (likeOnShownBytes ? shown : nullptr);
    // Folded ASCII changes nothing for LIKE, which ignores ASCII case itself.
    return stored && sqlite3_strlike(sqlitePattern.constData(), stored, 0) == 0;
}
