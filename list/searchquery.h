#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <vector>

// A search text of the spot list read as terms (Latin-1 bytes, as the search box gives them):
//
//   woord             every term must match; a term matches a spot when its pattern is found
//                     in the title, the spotter or the tag (SpotSearch: SQLite's LIKE of
//                     '%'||pattern||'%', ASCII case ignored, "%" and "_" wildcards)
//   -woord            the spot is left out when the pattern is found there
//   "twee woorden"    a phrase: the bytes between the quotes are one pattern, spaces and all
//   a | b             "|" joins the terms right before and after it into one group of which
//                     at least one must match: "hd a | b" is hd AND (a OR b)
//   spotter:naam      the pattern is looked for in that field alone; also tag:x,
//                     spotter:"twee woorden", -tag:x
//
// Exactly: terms are separated by spaces and tabs. A term is an optional "-", an optional
// field "spotter:" or "tag:" (ASCII case ignored), then a phrase or a word. A phrase starts
// with a quote there and runs to the next quote, or to the end of the text when no quote
// follows; what comes right after its closing quote starts the next term. A word runs to the
// next space, tab or "|"; a quote or "-" inside a word is an ordinary byte, so "x-men" and
// 12" are words. "|" outside a phrase is always the operator, with or without spaces.
// Terms with an empty pattern (a lone "-", "spotter:", "" or a lone quote) are dropped as if
// they were not there; a "|" with no term on one side then joins nothing. A text that leaves
// no term is empty, and the list treats it as no search at all (SpotFilter). A single word is
// one term whose pattern is the whole text: it finds what the search box always found.
class SearchQuery
{
public:
    enum class Field { Any, Spotter, Tag }; // Any: title, spotter or tag

    struct Term
    {
        Field field = Field::Any;
        QByteArray pattern; // never empty
        bool negated = false;
        bool operator==(const Term &other) const
        {
            return field == other.field && pattern == other.pattern && negated == other.negated;
        }
    };
    // Alternatives: a spot is in the group when any of them matches.
    using Group = std::vector<Term>;

    explicit SearchQuery(const QByteArray &text);

    // A spot is found when it is in every group; each group holds one term or more.
    const std::vector<Group> &groups() const { return termGroups; }
    bool isEmpty() const { return termGroups.empty(); }

    // The same search as a WHERE condition on the spots table, for SQLite's LIKE alone
    // (stored bytes; without the shown text that SpotSearch also reads): "?" placeholders and
    // the patterns to bind to them in order, as bytes. A field that is NULL holds no pattern,
    // so "-x" keeps the spots without a tag. An empty query gives "1", true for every row.
    struct Sql
    {
        QString condition;
        QVariantList values;
    };
    Sql sqlCondition() const;

    // The syntax in a few lines, for the tooltip of the search box.
    static QString syntaxHelp();

private:
    std::vector<Group> termGroups;
};
