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
// the range's references itself; each line is handed in through onXroverLine(), the end of
// the reply as number -1. At the end of each range it writes the index and saves
// "lastcommentsheader" once the range is in the file; then it goes on with the next range
// by itself. Each start() ends in exactly one of:
//   finished()      the group is indexed up to its newest article, or the end of the reply
//                   of an abandon()ed range came;
//   paused()        articles wait between two ranges: the caller serves them and starts a
//                   new run later, from the saved position;
//   failed(reason)  the index could not be written: the position stays;
// or in none, when the caller abandon()s it and no end of its reply follows, or lets go of
// the client during a signal.
//
// Lines outside the range asked for, and lines whose References name no spot, are ignored;
// an article number at or below the last one indexed for its spot was indexed before. When
// the connection breaks, or the index is to be emptied, the caller calls abandon(): the
// numbers read in the open range are dropped.
class CommentRun : public QObject
{
    Q_OBJECT

public:
    // client is the caller's pointer to its client, read at every step: the caller may let
    // go of the client at any signal. articlesWaiting says whether to pause between ranges.
    CommentRun(CommentIndexFile &index, const QPointer<SpotNNTP> &client, std::function<bool()> articlesWaiting,
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
    void storeReference(qint64 nr, const QByteArray &references);
    void finishRange();

    CommentIndexFile &index;
    const QPointer<SpotNNTP> &client;
    const std::function<bool()> articlesWaiting;
    ArticleRange range;
    bool busy = false;
    // Comment numbers by spot key, read since the comment index was last written.
    QMap<QString, QList<quint32>> pendingNumbers;
};
