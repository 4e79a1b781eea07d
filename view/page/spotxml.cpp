#include "spotxml.h"

#include "bytetext.h"
#include "spotdetails.h"
#include "xmldocument.h"

#include <QDebug>

namespace {

constexpr QByteArrayView xmlHeader("X-XML: ");

// Calls take(line) for every "X-XML: " header line, without its line end.
template<typename Take>
void forEachXmlLine(QByteArrayView headers, Take take)
{
    for (qsizetype from = 0; from < headers.size();) {
        qsizetype end = headers.indexOf('\n', from);
        if (end < 0)
            end = headers.size();
        QByteArrayView line = headers.sliced(from, end - from);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith(xmlHeader))
            take(line);
        from = end + 1;
    }
}

// The spot's XML, spread over its "X-XML: " header lines: joined without separators, so a
// line break that the poster's software put inside the XML disappears.
QByteArray spotXml(QByteArrayView headers)
{
    QByteArray xml;
    forEachXmlLine(headers, [&xml](QByteArrayView line) { xml += line.sliced(xmlHeader.size()); });
    xml.removeIf([](char c) { return c == '\r'; });
    return xml;
}

} // namespace

QByteArray SpotFields::readPart(QByteArrayView headers)
{
    QByteArray part;
    forEachXmlLine(headers, [&part](QByteArrayView line) { part.append(line).append("\r\n"); });
    return part + "\r\n";
}

QByteArray SpotFields::xmlOf(QByteArrayView headers)
{
    QByteArray xml = spotXml(headers);
    // Some posters write the root element "SpotNet".
    xml.replace(QByteArrayView("SpotNet>"), QByteArrayView("Spotnet>"));
    return xml;
}

std::optional<SpotFields> SpotFields::parseArticle(QByteArrayView article)
{
    const qsizetype headerEnd = article.indexOf(QByteArrayView("\r\n\r\n"));
    if (headerEnd < 0)
        return std::nullopt;
    const QByteArray xml = xmlOf(article.first(headerEnd));
    if (xml.isEmpty())
        return std::nullopt;
    const XmlDocument doc(xml);

    SpotFields fields;
    fields.description = doc.single("/Spotnet/Posting/Description[1]");
    if (fields.description.isEmpty()) {
        qDebug("Fout bij het parsen van XML");
        return std::nullopt;
    }
    fields.size = SpotDetails::sizeFrom(doc.single("/Spotnet/Posting/Size[1]"));
    fields.image = doc.single("/Spotnet/Posting/Image[1]");
    fields.website = doc.single("/Spotnet/Posting/Website[1]");
    fields.newsgroup = doc.single("/Spotnet/Posting/Newsgroup[1]");
    const QString segment = doc.single("/Spotnet/Posting/NZB/Segment[1]");
    if (segment.isEmpty())
        qDebug("Geen NZB referentie in spot informatie");
    else
        fields.nzbMessageId = ByteText::toBytes(segment);
    for (const QString &id : doc.values("/Spotnet/Posting/NZB/Segment"))
        fields.nzbSegments.append(ByteText::toBytes(id));
    fields.fileNames = doc.values("/Spotnet/Posting/Filename");
    return fields;
}
