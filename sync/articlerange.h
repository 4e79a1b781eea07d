#pragma once

#include <QtGlobal>

// One range of article numbers of a group, and where its download stands. A run downloads
// a group in ranges of at most 50,001 articles. The arithmetic never overflows, whatever
// numbers a server reports.
struct ArticleRange
{
    qint64 groupLast = 0; // highest article of the group when the download started
    qint64 first = 0; // first article of the range in progress
    qint64 batchEnd = 0; // last article of the range in progress
    qint64 current = 0; // last article handled in the range; 0 when none yet
    qint64 reported = -1; // current when progress was last shown in the range
    bool anyLine = false; // a range since start() had a line to handle

    // Sets up the first range after lastDone, keeping to the newest maxArticles, of a
    // group with articles (1 <= min <= max).
    void start(qint64 lastDone, qint64 min, qint64 max, int maxArticles);
    // Advances to the range after the current one; false when the group is done.
    bool next();
    // A range follows the current one.
    bool hasNext() const;
    bool contains(qint64 number) const;
};
