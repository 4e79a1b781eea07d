#pragma once

#include "articlerange.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CommentIndexFile;
class SpotNNTP;

// The comment run: the References lines of the comment group become number lists per spot
// in reactielijst.db, one range of articles (ArticleRange) at a time, each range written in
// one transaction at its end.
//
// start() begins a run at the range it is given: it shows notice() and asks the client for
// the range's references itself, and for up to rangesAhead ranges after it, so that the
// server sends the next range while this one is indexed. Each line is handed in through onXroverLine(), the end of a reply as number -1;
// the replies come in the order asked. At the end of each range it writes the index, saves
// "lastcommentsheader" once the range is in the file, lets the queued articles ride along
// (sendArticles) and goes on with the next range. Each start() ends in exactly one of:
//   finished()      the group is indexed up to its newest article, or the run was
//                   abandon()ed and the end of the last reply asked for came;
//   paused()        articles wait that cannot ride along and ranges are left: no further
//                   range is asked for, the ranges already asked for are indexed, then the
//                   run pauses; the caller serves the articles and starts a new run later,
//                   from the saved position;
//   failed(reason)  the index could not be written: the position stays; the ranges
//                   already asked for are read and dropped, and failed() follows the end
//                   of the last;
// or in none, when the caller abandon()s it and the replies asked for do not all end (the
// connection broke), or lets go of the client during a signal.
//
// Lines outside the range asked for, and lines whose References name no spot, are ignored;
// an article number at or below the last one indexed for its spot was indexed before. When
// the connection breaks, or the index is to be emptied, the caller calls abandon(): the
// numbers read in the open range are dropped, and so is what still comes of the run.
class CommentRun : public QObject
{
    Q_OBJECT

public:
    // Ranges asked for ahead of the one whose reply arrives.
    static constexpr int rangesAhead = 2;

    // client is the caller's pointer to its client, read at every step: the caller may let
    // go of the client at any signal. sendArticles is called at the end of every range: it
    // sends the queued articles that may follow the ranges asked for, and says whether
    // others wait for a pause.
    CommentRun(CommentIndexFile &index, const QPointer<SpotNNTP> &client, std::function<bool()> sendArticles,
               QObject *parent = nullptr);

    // range is set up by ArticleRange::start().
    void start(const ArticleRange &range);
    void onXroverLine(qint64 nr, const QByteArray &references);
    // A range is in progress.
    bool isBusy() const;
    void abandon();

Q_SIGNALS:
    void notice(const QString &text);
    // Every 100th article number: the text to show.
    void progress(const QString &text);
    void finished();
    void paused();
    void failed(const QString &reason);

private:
    enum class Phase {
        Idle,
        Storing, // asking ahead and indexing
        Holding, // indexing the ranges asked for, then paused()
        Failing, // dropping the ranges asked for, then failed()
        Abandoned, // dropping the ranges asked for, then finished()
    };

    void storeReference(qint64 nr, const QByteArray &references);
    // Keeps rangesAhead ranges asked for after the one whose reply arrives.
    void askAhead();
    void finishRange();
    // Writes the range whose reply ended and goes on; false when it could not be written.
    bool storeRange();

    CommentIndexFile &index;
    const QPointer<SpotNNTP> &client;
    const std::function<bool()> sendArticles;
    Phase phase = Phase::Idle;
    ArticleRange range; // the range whose reply arrives
    ArticleRange lastAsked; // the newest range asked for
    int rangesAsked = 0; // asked for and their reply not ended, range included
    // Comment numbers by spot key, read since the comment index was last written.
    QMap<QString, QList<quint32>> pendingNumbers;
};
