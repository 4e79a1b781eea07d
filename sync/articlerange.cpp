#include "articlerange.h"

namespace {

constexpr qint64 rangeSpan = 50000; // a range is first to first + 50000

// first + rangeSpan, but never past last (and never overflowing on the way).
qint64 rangeEnd(qint64 first, qint64 last)
{
    return last - first <= rangeSpan ? last : first + rangeSpan;
}

} // namespace

void ArticleRange::start(qint64 lastDone, qint64 min, qint64 max, int maxArticles)
{
    // At least the newest article, whatever the settings file says.
    const qint64 keep = qint64(qMax(maxArticles, 1)) - 1;
    groupLast = max;
    first = lastDone == 0 ? min : lastDone + 1;
    if (first < max - keep)
        first = max - keep;
    batchEnd = rangeEnd(first, max);
    current = 0;
    reported = -1;
    anyLine = false;
}

bool ArticleRange::next()
{
    if (!hasNext())
        return false;
    first = batchEnd + 1;
    batchEnd = rangeEnd(first, groupLast);
    current = 0;
    reported = -1;
    return true;
}

bool ArticleRange::hasNext() const
{
    return batchEnd < groupLast;
}

bool ArticleRange::contains(qint64 number) const
{
    return first <= number && number <= batchEnd;
}
