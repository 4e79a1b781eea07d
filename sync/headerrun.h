#pragma once

#include "articlerange.h"
#include "sqltransaction.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class SpotNNTP;
class SpotsFile;

// The header run: the overview lines of the spot group become rows of spots.db, one range
// of articles (ArticleRange) at a time, each range in one transaction.
//
// start() begins a run at the range it is given: it shows notice(), opens the transaction
// and asks the client for the range's overview itself; each overview line is handed in
// through onHeaderLine(), the end of the reply as ".\r\n". At the end of each range it
// expires old spots, commits, saves "lastheader" once the range is in the file, and
// emits rowsChanged(); then it goes on with the next range by itself.
// Each start() ends in exactly one of:
//   finished()            the group is downloaded up to its newest header;
//   paused()              articles wait between two ranges: the caller serves them and
//                         starts a new run later, from the saved position;
//   overviewUnsupported() not one usable line in all of a group that has articles;
//   failed(reason)        the range could not be stored (a write or the commit failed): it
//                         was rolled back, the position stays;
// An abandon()ed range ends in failed() too if the end of its reply still comes; a run
// whose client the caller let go of during a signal ends in none.
//
// Lines outside the range asked for, malformed lines and lines after the range was rolled
// back are ignored: a line elsewhere would move the download position there. When the
// connection breaks the caller calls abandon(): the open range is rolled back.
// stopped() follows every end of a range's transaction (committed or not); rowsChanged()
// also follows a rollback of rows that the list may have read while it was open.
class HeaderRun : public QObject
{
    Q_OBJECT

public:
    // client is the caller's pointer to its client, read at every step: the caller may let
    // go of the client at any signal. articlesWaiting says whether to pause between ranges.
    HeaderRun(SpotsFile &spots, const QPointer<SpotNNTP> &client, std::function<bool()> articlesWaiting,
              QObject *parent = nullptr);

    // range is set up by ArticleRange::start(); progressBase is the article number that
    // shows as 0%.
    void start(const ArticleRange &range, qint64 progressBase);
    void onHeaderLine(const QByteArray &line);
    // A range's transaction is open.
    bool isBusy() const;
    // Rolls the open range back; nothing when none is open.
    void abandon();

Q_SIGNALS:
    void notice(const QString &text);
    // Every 100th article: the percentage of the run and the text to show.
    void progress(int percent, const QString &text);
    // A committed range added these rows; emitted before stopped().
    void rangeStored(int spots, int eroticSpots);
    void stopped();
    void rowsChanged();
    void finished();
    void paused();
    void overviewUnsupported();
    void failed(const QString &reason);

private:
    // Opens the transaction of the range and asks for its overview.
    void beginRange(const QString &noticeText);
    void storeHeader(const QByteArray &line);
    // Commits the range's transaction or rolls it back; its rows count as new only once committed.
    bool endTransaction(bool commit);
    // Expires old spots and commits; false when the commit failed.
    bool commitRange();
    void finishRange();

    SpotsFile &spots;
    const QPointer<SpotNNTP> &client;
    const std::function<bool()> articlesWaiting;
    ArticleRange range;
    qint64 progressBase = 0;
    std::optional<SqlTransaction> transaction;
    int rangeSpotsAdded = 0;
    int rangeEroticSpotsAdded = 0;
    qint64 expiryLimit = 0; // spots posted before this are expired; 0 when none are
};
