#pragma once

#include "downloadstate.h"
#include "jobstates.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>

class HttpExchange;

// Follows the jobs handed to one downloader (NZBGet or SABnzbd, reached as the settings say at
// each request) until each reaches a final state.
//
// When it asks: only while it follows an open job, one request at a time and one every
// interval (3 s): the queue (NZBGet "listgroups", SABnzbd mode=queue with the jobs' nzo_ids),
// then the history (NZBGet "history" with hidden records, SABnzbd mode=history), then the
// queue again. With no job to follow it asks nothing. A job missing from a queue answer and
// from the history answer after it is gone from the downloader ("Verwijderd").
//
// Back-off: an answer that fails (no connection, time-out, credentials or key refused, an
// answer not understood) is asked again after twice the wait before, up to maxBackOff (5 min);
// the first answer that succeeds brings the wait back to interval.
//
// stateChanged() fires once per change of a job's state, from the event loop; a job whose
// state is final is followed no more. unreachable() fires once per run of failed answers.
class JobPoller : public QObject
{
    Q_OBJECT

public:
    enum class Downloader { NzbGet, Sabnzbd };

    static constexpr std::chrono::milliseconds defaultInterval{3000};
    static constexpr std::chrono::milliseconds defaultMaxBackOff{300000};
    // History answers of NZBGet hold every job it remembers.
    static constexpr qint64 maxAnswerSize = 32 * 1024 * 1024;

    JobPoller(Downloader downloader, QObject *parent);

    // For tests.
    void setIntervals(std::chrono::milliseconds interval, std::chrono::milliseconds maxBackOff);

    // Follows the job, known to be in that state.
    void follow(const QString &jobId, const DownloadState &state);
    void forget(const QString &jobId);
    bool isFollowing() const { return !jobs.isEmpty(); }
    // Requests sent so far.
    int requestCount() const { return requests; }

Q_SIGNALS:
    void stateChanged(const QString &jobId, const DownloadState &state);
    // Why the downloader could not be asked, in Dutch.
    void unreachable(const QString &reason);

private:
    enum class Stage { Queue, History };

    void ask();
    void onAnswer(Stage stage, const QSet<QString> &asked, const std::optional<JobStates::States> &states,
                  const QString &failure);
    void schedule();
    void update(const QString &jobId, const DownloadState &state);
    // Sends the request of the stage; false (with why) when the settings give no address.
    bool send(Stage stage, const QSet<QString> &asked, QString *why);

    const Downloader downloader;
    HttpExchange *http;
    QTimer timer;
    std::chrono::milliseconds interval = defaultInterval;
    std::chrono::milliseconds maxBackOff = defaultMaxBackOff;
    std::chrono::milliseconds wait = defaultInterval;
    QHash<QString, DownloadState> jobs; // the open ones
    Stage stage = Stage::Queue;
    QSet<QString> missingFromQueue; // asked in the last queue answer and not in it
    bool asking = false;
    bool failing = false;
    int requests = 0;
};
