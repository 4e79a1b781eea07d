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
// of articles (ArticleRange) at a time, each range in one transaction that covers exactly
// its lines.
//
// start() begins a run at the range it is given: it shows notice(), opens the transaction
// and asks the client for the range's overview itself, and for up to rangesAhead ranges
// after it, so that the server sends the next range while this one is stored. Each
// overview line is handed in through onHeaderLine(), the end of a reply as ".\r\n"; the
// replies come in the order asked. At the end of each range it expires old spots, commits,
// saves "lastheader" once the range is in the file, emits rowsChanged(), lets the queued
// articles ride along (sendArticles), opens the next range's transaction and asks for one
// more range. Each start() ends in exactly one of:
//   finished()            the group is downloaded up to its newest header;
//   paused()              articles wait that cannot ride along (sendArticles said so) and
//                         ranges are left: no further range is asked for, the ranges
//                         already asked for are stored, then the run pauses; the caller
//                         serves the articles and starts a new run later, from the saved
//                         position;
//   overviewUnsupported() not one usable line in all of a group that has articles;
//   failed(reason)        a range could not be stored (a write or the commit failed): it
//                         was rolled back, the position stays; the ranges already asked
//                         for are read and dropped, and failed() follows the end of the last;
// or in none, when the caller abandon()s it (the connection broke) or lets go of the
// client during a signal.
//
// Lines outside the range asked for, malformed lines and lines after the range was rolled
// back are ignored: a line elsewhere would move the download position there. When the
// connection breaks the caller calls abandon(): the open range is rolled back, and what
// still comes of the ranges asked for is dropped. stopped() follows every end of a range's
// transaction (committed or not); rowsChanged() also follows a rollback of rows that the
// list may have read while it was open.
class HeaderRun : public QObject
{
    Q_OBJECT

public:
    // Ranges asked for ahead of the one whose reply arrives.
    static constexpr int rangesAhead = 2;

    // client is the caller's pointer to its client, read at every step: the caller may let
    // go of the client at any signal. sendArticles is called at the end of every range: it
    // sends the queued articles that may follow the ranges asked for, and says whether
    // others wait for a pause.
    HeaderRun(SpotsFile &spots, const QPointer<SpotNNTP> &client, std::function<bool()> sendArticles,
              QObject *parent = nullptr);

    // range is set up by ArticleRange::start(); progressBase is the article number that
    // shows as 0%.
    void start(const ArticleRange &range, qint64 progressBase);
    void onHeaderLine(const QByteArray &line);
    // A range's transaction is open.
    bool isBusy() const;
    // Rolls the open range back and drops the rest of the run; nothing when none runs.
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
    enum class Phase {
        Idle,
        Storing, // asking ahead and storing
        Holding, // storing the ranges asked for, then paused()
        Failing, // dropping the ranges asked for, then failed()
        Abandoned, // dropping whatever still comes
    };

    // Opens the transaction of the range whose reply comes next.
    void beginRange(const QString &noticeText);
    // Keeps rangesAhead ranges asked for after the one whose reply arrives.
    void askAhead();
    void storeHeader(const QByteArray &line);
    // Commits the range's transaction or rolls it back; its rows count as new only once committed.
    bool endTransaction(bool commit);
    // Expires old spots and commits; false when the commit failed.
    bool commitRange();
    void finishRange();
    // Commits the range whose reply ended and goes on; false when it could not be stored.
    bool storeRange();
    // The run stores nothing more; the end of the last range asked for brings its end signal.
    void fail();

    SpotsFile &spots;
    const QPointer<SpotNNTP> &client;
    const std::function<bool()> sendArticles;
    Phase phase = Phase::Idle;
    ArticleRange range; // the range whose reply arrives
    ArticleRange lastAsked; // the newest range asked for
    int rangesAsked = 0; // asked for and their reply not ended, range included
    qint64 progressBase = 0;
    std::optional<SqlTransaction> transaction;
    int rangeSpotsAdded = 0;
    int rangeEroticSpotsAdded = 0;
    qint64 expiryLimit = 0; // spots posted before this are expired; 0 when none are
};
