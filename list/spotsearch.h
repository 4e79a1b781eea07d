#pragma once

#include "likepattern.h"

#include <QByteArray>

// What a search text finds in one title, spotter or tag. A value matches when the LIKE of
// the search text matches its stored bytes, exactly as SQLite's
//   CAST(value AS TEXT) LIKE '%'||search||'%'
// does, or when the same pattern, read as the value is shown (SpotText::shown), matches the
// shown text: so "Zoë" typed as UTF-8 also finds a title stored in Latin-1. Either way ASCII
// case is ignored and other letters are compared as they are; "%" and "_" are wildcards.
//
// Values come as SearchTexts keeps them: the shown text as UTF-8 with ASCII folded, and for
// a value whose stored bytes are not that text ("own bytes"), those bytes as well.
class SpotSearch
{
public:
    explicit SpotSearch(const QByteArray &search);

    // shown: size bytes, NUL-terminated; ownBytes: NUL-terminated, or null when they are the
    // shown bytes.
    bool matches(const char *shown, qsizetype size, const char *ownBytes) const;

    // A value whose LikePattern::bigramMask() lacks a bit of these cannot match, unless
    // SQLite's LIKE has to look at it (mayMatchAnyMask()).
    quint64 requiredBigrams() const { return shownPattern.requiredBigrams(); }
    bool mayMatchAnyMask(bool hasOwnBytes) const { return hasOwnBytes ? likeOnOwnBytes : likeOnShownBytes; }

    // Every matching value holds these pairs in its shown text (BytePairRows), unless
    // mayMatchAnyMask() says otherwise; pairsDecide(): holding them is matching.
    const std::vector<quint16> &requiredPairs() const { return shownPattern.requiredPairs(); }
    bool pairsDecide() const { return shownPattern.isOnePair() && !likeOnOwnBytes && !likeOnShownBytes; }

private:
    LikePattern shownPattern;
    // '%'||search||'%' as SQLite's LIKE reads it: up to the first NUL.
    QByteArray sqlitePattern;
    // Where the stored bytes can match without the shown text matching, SQLite's own LIKE
    // decides: for values with own bytes when the search has "_" or non-ASCII bytes (which
    // SQLite reads differently in Latin-1), for every value when the search is not plain UTF-8.
    bool likeOnOwnBytes = false;
    bool likeOnShownBytes = false;
};
