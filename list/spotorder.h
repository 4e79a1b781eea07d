#pragma once

#include "searchtexts.h"

#include <QByteArrayView>
#include <QtGlobal>

#include <memory>
#include <vector>

// The columns the spot list can be sorted by, in the order the list shows them.
enum class SortColumn { Date, Category, Title, Spotter };

// How titles, spotters and category names compare as the list shows them: case-insensitively,
// the same in every locale. Both texts are taken as UTF-8 (as SearchTexts holds them: the shown
// text); every code point is folded by Unicode's simple case folding (QChar::toCaseFolded),
// and the folded texts compare code point by code point, a text before every longer text that
// starts with it. So "abc" == "ABC", "Zoë" == "ZOË", and letters with accents come after "z".
// A byte that is not UTF-8 counts as U+FFFD. A NULL is shown, and compares, as an empty text.
namespace ShownOrder {

// Less than 0, 0, or greater than 0 as a comes before, with, or after b.
int compare(QByteArrayView a, QByteArrayView b);
// Bytes 8 * chunk to 8 * chunk + 7 of the folded text in UTF-8, the first in the highest
// byte, 0 after its end: texts compare as their keys chunk by chunk, the first that differ.
quint64 key(QByteArrayView text, int chunk = 0);
// The place of a sub-category's short name (as the list shows it) among all short names.
quint32 categoryRank(int subcategory);

} // namespace ShownOrder

// The columns of one table of the index that sorting reads, row by row (rows ascend with the
// id: a higher row is newer).
struct SpotColumns
{
    const std::vector<quint32> &dates;
    const std::vector<int> &subcats;
    const SearchTexts &titles;
    const std::vector<quint32> &spotterOf;
    const SearchTexts &spotters;
};

// Sorts rows of one table of the index by a column, keeping what it learns for the next time:
// the rows in title order (4 bytes a row and a bit, made on two threads), and the order of
// the distinct spotters. The title order is made by startTitleOrder() on a thread of its own,
// or else on first use for a list that is not small; rows appended to the table since are
// merged into it then (or it is made anew, for many), and rows removed are dropped from it
// through retain(). A list by title is then one pass over the order (a small list is sorted by
// itself); by date, an insertion sort where the rows come about in date order, else a radix
// sort; by category (the short name shown) and by spotter, a counting sort of the list.
//
// Not thread-safe: one thread at a time, as the index it belongs to; only the title order that
// startTitleOrder() makes runs beside it, and reads nothing but the titles and the order.
class SpotOrder
{
public:
    SpotOrder();
    ~SpotOrder();
    // Only while no title order is being made (settle()).
    SpotOrder(SpotOrder &&) noexcept;
    SpotOrder &operator=(SpotOrder &&) noexcept;

    // rows: newest first (descending). The same rows in the order of column; rows that sort
    // alike stay newest first, in either direction.
    std::vector<quint32> sorted(const SpotColumns &columns, std::vector<quint32> rows, SortColumn column,
                                Qt::SortOrder order);

    // Starts making the title order, or bringing it up to the rows appended since, on a thread
    // of its own: a second or more for millions of rows the first time, about a tenth of one for
    // a range, which the list need not wait for. The titles must stay as they are until
    // settle(); sorting by title and retain() wait for it themselves.
    void startTitleOrder(const SearchTexts &titles);
    // Waits for the title order started, if any, and takes it.
    void settle();
    // The table kept the rows whose keep[] is true, in order (keep: a flag per row held).
    void retain(const std::vector<bool> &keep);
    // Without a title order still being made.
    qsizetype memoryBytes() const;

private:
    struct TitleOrder;
    struct Pending;

    // The title order brought up to the titles, made here.
    void makeTitleOrder(const SearchTexts &titles);
    TitleOrder orderedTitles(const SearchTexts &titles) const;
    TitleOrder allTitlesOrdered(const SearchTexts &titles) const;
    TitleOrder mergedNewTitles(const SearchTexts &titles) const;
    std::vector<quint32> byTitle(const SearchTexts &titles, std::vector<quint32> rows, Qt::SortOrder order);
    std::vector<quint32> bySpotter(const SpotColumns &columns, const std::vector<quint32> &rows, Qt::SortOrder order);

    // Every row held, in ascending title order, alike titles newest first; a set bit in
    // titleGroupStarts where a title differs from the one before it.
    std::vector<quint32> titleRows;
    std::vector<quint64> titleGroupStarts;
    // The place of each distinct spotter in spotter order, alike ones in the same place.
    std::vector<quint32> spotterRanks;
    quint32 spotterRankCount = 0;
    std::unique_ptr<Pending> pending;
};
