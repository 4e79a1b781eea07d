#pragma once

#include "spotstore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVariant>

// One overview line of the spot group, read into the fields of a spot record.
//
// The spot header encoding lives in the From field: "Poster <key@BLOCK.x.y.DATE.z.w>",
// where the category block carries the main category, a layout digit, the sub-category
// number and further category codes. Parsing is pure and allocation-free: the views point
// into the line.
struct SpotHeader
{
    enum class Outcome {
        Malformed, // fewer than 8 fields: the line is no overview line at all
        Rejected, // an overview line, but no spot (the article number is still valid)
        Spot,
    };

    Outcome outcome = Outcome::Malformed;
    qint64 articleNumber = 0;
    int cat = 0;
    int subcat = 0;
    qint64 spotDate = 0;
    QByteArrayView titlePiece; // untrimmed and undecoded, as the subject carries it
    QByteArrayView tagPiece; // untrimmed
    bool hasTag = false;
    QByteArrayView spotter;
    QByteArrayView spotKey;
    QByteArrayView otherCats;

    static SpotHeader parse(QByteArrayView line);

    bool isErotic() const;

    // The title as the spot tables store it: decoded text when it carries encoded words,
    // else the trimmed bytes.
    QVariant storedTitle() const;
    // The row as the spot tables store it: byte strings (BLOB) but for a decoded title and
    // an absent tag, which is the empty text.
    SpotRecord record() const;
    SpotTable table() const;
};

// Replaces every encoded word "=?UTF-8?B?...?=" by its decoded text. Adjacent encoded words
// separated by one blank join without it. Other encodings and charsets stay as they are.
QString decodeEncodedWords(QByteArrayView title);
