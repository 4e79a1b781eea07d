#pragma once

#include "spotdetails.h"
#include "spotxml.h"

#include <QByteArray>

#include <algorithm>
#include <optional>

// The details of a HEAD's block as the spot page's full reading of the XML (SpotFields) gives
// them: what SpotHeadReader, which reads them in one pass, must agree with.
inline std::optional<SpotDetails> pageDetails(const QByteArray &head)
{
    // The headers end at the first empty line: the block's own, or the one added.
    const std::optional<SpotFields> fields = SpotFields::parseArticle(head + "\r\n\r\n");
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
