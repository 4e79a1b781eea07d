#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// What the list and the filters keep of a spot's XML, read from its HEAD (the X-XML lines),
// without fetching the whole article. Every value is bounded (bounded()): a poster writes
// them, and they are stored for every spot.
struct SpotDetails
{
    // Larger sizes are taken for this (a petabyte): beyond any real release.
    static constexpr qint64 maxSize = qint64(1) << 50;
    // Texts are cut to this many characters.
    static constexpr qsizetype maxTextLength = 2048;
    // Counts are capped at this.
    static constexpr int maxCount = 1000000;

    qint64 size = 0; // bytes; 0 when not given, not a number or not above 0
    QString image;
    QString website;
    QString newsgroup;
    int segments = 0; // NZB segments named
    int files = 0; // file names named

    // The same details within the bounds above.
    SpotDetails bounded() const;
    // A size as the XML writes it: decimal digits, spaces around them allowed. Larger than
    // maxSize gives maxSize; anything else (negative, a fraction, text) gives 0.
    static qint64 sizeFrom(QStringView text);

    friend bool operator==(const SpotDetails &a, const SpotDetails &b)
    {
        return a.size == b.size && a.image == b.image && a.website == b.website && a.newsgroup == b.newsgroup
            && a.segments == b.segments && a.files == b.files;
    }
};
