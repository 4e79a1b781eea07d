#include "spotheadreader.h"

#include "spotxml.h"

std::optional<SpotDetails> SpotHeadReader::read(QByteArrayView head)
{
    if (head.size() > maxHeadSize)
        return std::nullopt;
    // SpotFields reads the headers of a whole article: up to the empty line.
    QByteArray article = head.toByteArray();
    while (article.endsWith("\r\n\r\n"))
        article.chop(2);
    if (!article.endsWith("\r\n"))
        article += "\r\n";
    article += "\r\n";
    const std::optional<SpotFields> fields = SpotFields::parseArticle(article);
    if (!fields)
        return std::nullopt;
    SpotDetails details;
    details.size = fields->size;
    details.image = fields->image;
    details.website = fields->website;
    details.newsgroup = fields->newsgroup;
    details.segments = int(std::min<qsizetype>(fields->nzbSegments.size(), SpotDetails::maxCount));
    details.files = int(std::min<qsizetype>(fields->fileNames.size(), SpotDetails::maxCount));
    return details.bounded();
}
