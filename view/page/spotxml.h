#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The fields of a spot as its article's "X-XML: " header lines carry them. Single values
// (description, image, website, newsgroup) are written as XML text: "&", "<" and ">" come
// out as "&amp;", "&lt;" and "&gt;", and line feeds are removed. File names are plain text.
// The XML is parsed without entities, DTDs or network access; XML that does not parse
// gives empty fields.
struct SpotFields
{
    QString description;
    qint64 size = 0; // SpotDetails::sizeFrom(): 0 when not given or not a number
    QString image;
    QString website;
    QString newsgroup;
    QByteArray nzbMessageId; // first NZB segment; empty when the spot names none
    QList<QByteArray> nzbSegments; // every NZB segment's message-id in order, as given (not escaped)
    QStringList fileNames;

    // nullopt when the article is unusable: no end of headers, no XML, or no description.
    static std::optional<SpotFields> parseArticle(QByteArrayView article);
    // The spot's XML as parseArticle() parses it: the "X-XML: " lines of the header lines
    // joined, with the root element's other spelling "SpotNet" read as "Spotnet". Empty when
    // there are none.
    static QByteArray xmlOf(QByteArrayView headers);
    // All of an article that parseArticle() reads: its "X-XML: " header lines, each ending in
    // CR LF, and the empty line that ends the headers. headers: the header lines alone.
    static QByteArray readPart(QByteArrayView headers);
};
