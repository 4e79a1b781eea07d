#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

// The pattern '%'||text||'%' of LIKE, matched against UTF-8 text whose ASCII letters are in
// lower case, as the pattern's are: "%" matches any run of characters, "_" one character,
// every other byte itself.
class LikePattern
{
public:
    explicit LikePattern(QByteArrayView foldedText);

    // text holds size bytes of valid UTF-8.
    bool matches(const char *text, qsizetype size) const;

    // A cheap first test: a text can only match when its bigramMask() holds all these bits.
    quint64 requiredBigrams() const { return bigrams; }
    static quint64 bigramMask(const char *text, qsizetype size);

    // The distinct pairs of adjacent bytes (BytePairRows::isIndexed) that every matching text
    // holds, and whether holding them is already a match: the pattern is those two bytes.
    const std::vector<quint16> &requiredPairs() const { return pairs; }
    bool isOnePair() const { return onePair; }

private:
    // A literal run of bytes, or a number of "_" in a row.
    struct Token
    {
        QByteArray literal;
        int anyCharacters = 0;
    };
    // Tokens between two "%": each group is found at its leftmost place after the previous one.
    using Group = std::vector<Token>;

    static qsizetype matchAt(const Group &group, const char *text, qsizetype size, qsizetype at);
    static qsizetype find(const Group &group, const char *text, qsizetype size, qsizetype from);

    std::vector<Group> groups;
    quint64 bigrams = 0;
    std::vector<quint16> pairs;
    bool onePair = false;
};
