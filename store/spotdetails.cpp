#include "spotdetails.h"

#include <algorithm>

SpotDetails SpotDetails::bounded() const
{
    SpotDetails kept = *this;
    kept.size = std::clamp<qint64>(size, 0, maxSize);
    for (QString *text : {&kept.image, &kept.website, &kept.newsgroup})
        text->truncate(maxTextLength);
    kept.segments = std::clamp(segments, 0, maxCount);
    kept.files = std::clamp(files, 0, maxCount);
    return kept;
}

qint64 SpotDetails::sizeFrom(QStringView text)
{
    const QStringView digits = text.trimmed();
    if (digits.isEmpty())
        return 0;
    qint64 size = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        size = std::min(size * 10 + (c.unicode() - '0'), maxSize);
    }
    return size;
}
