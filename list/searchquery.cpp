#include "searchquery.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

// name: lower-case ASCII.
bool startsWithIgnoringCase(QByteArrayView text, QByteArrayView name)
{
    if (text.size() < name.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != name[i])
            return false;
    }
    return true;
}

// One term or one "|" of the text, in order.
struct Piece
{
    SearchQuery::Term term;
    bool isBar = false;
};

// Reads the term that starts at at (no space there, no "|") and moves at past it.
SearchQuery::Term readTerm(const QByteArray &text, qsizetype &at)
{
    SearchQuery::Term term;
    if (text[at] == '-') {
        term.negated = true;
        ++at;
    }
    const QByteArrayView rest = QByteArrayView(text).sliced(at);
    for (const auto &[name, field] :
         {std::pair<QByteArrayView, SearchQuery::Field>{"spotter:", SearchQuery::Field::Spotter},
          {"tag:", SearchQuery::Field::Tag}}) {
        if (startsWithIgnoringCase(rest, name)) {
            term.field = field;
            at += name.size();
            break;
        }
    }
    if (at < text.size() && text[at] == '"') {
        const qsizetype close = text.indexOf('"', at + 1);
        const qsizetype end = close < 0 ? text.size() : close;
        term.pattern = text.mid(at + 1, end - at - 1);
        at = close < 0 ? end : close + 1;
        return term;
    }
    const qsizetype begin = at;
    while (at < text.size() && !isSpace(text[at]) && text[at] != '|')
        ++at;
    term.pattern = text.mid(begin, at - begin);
    return term;
}

std::vector<Piece> pieces(const QByteArray &text)
{
    std::vector<Piece> read;
    qsizetype at = 0;
    while (at < text.size()) {
        if (isSpace(text[at])) {
            ++at;
        } else if (text[at] == '|') {
            read.push_back({{}, true});
            ++at;
        } else {
            SearchQuery::Term term = readTerm(text, at);
            if (!term.pattern.isEmpty())
                read.push_back({std::move(term), false});
        }
    }
    return read;
}

QStringList columnsOf(SearchQuery::Field field)
{
    switch (field) {
    case SearchQuery::Field::Spotter:
        return {QStringLiteral("spotter")};
    case SearchQuery::Field::Tag:
        return {QStringLiteral("tag")};
    case SearchQuery::Field::Any:
        break;
    }
    return {QStringLiteral("title"), QStringLiteral("spotter"), QStringLiteral("tag")};
}

} // namespace

SearchQuery::SearchQuery(const QByteArray &text)
{
    bool joinsNext = false;
    for (Piece &piece : pieces(text)) {
        if (piece.isBar) {
            joinsNext = !termGroups.empty();
        } else if (joinsNext) {
            termGroups.back().push_back(std::move(piece.term));
            joinsNext = false;
        } else {
            termGroups.push_back({std::move(piece.term)});
        }
    }
}

SearchQuery::Sql SearchQuery::sqlCondition() const
{
    if (termGroups.empty())
        return {QStringLiteral("1"), {}};
    Sql sql;
    QStringList groupConditions;
    for (const Group &group : termGroups) {
        QStringList alternatives;
        for (const Term &term : group) {
            QStringList found;
            for (const QString &column : columnsOf(term.field)) {
                // Titles, spotters and tags are mostly stored as BLOB, which LIKE never matches.
                found << QStringLiteral("CAST(%1 AS TEXT) LIKE '%'||?||'%'").arg(column);
                sql.values << term.pattern;
            }
            const QString anyField = QLatin1Char('(') + found.join(QLatin1String(" OR ")) + QLatin1Char(')');
            // LIKE on a NULL is NULL, and NOT NULL would leave the spot out.
            alternatives << (term.negated ? QStringLiteral("NOT coalesce(%1,0)").arg(anyField) : anyField);
        }
        groupConditions << (alternatives.size() == 1
                                ? alternatives.front()
                                : QLatin1Char('(') + alternatives.join(QLatin1String(" OR ")) + QLatin1Char(')'));
    }
    sql.condition = groupConditions.join(QLatin1String(" AND "));
    return sql;
}

QString SearchQuery::syntaxHelp()
{
    return QCoreApplication::translate("SearchQuery",
                                       "Zoekt in titel, spotter en tag; alle woorden moeten voorkomen.\n"
                                       "-woord: zonder dit woord\n"
                                       "\"twee woorden\": precies deze tekst\n"
                                       "a | b: a of b\n"
                                       "spotter:naam, tag:x: alleen in dat veld\n"
                                       "%: willekeurige tekens, _: precies een teken");
}
