#pragma once

#include "detailswritethread.h"
#include "spotdetailsstore.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CacheFile;
class SpotNNTP;

// The details run: the HEAD of every spot that has no details yet, read with SpotHeadReader
// into spotdetails.db (SpotDetailsStore); the part the spot page reads (SpotFields::readPart())
// is kept in cache.db for it (CacheFile::cachedHead()).
//
// Batches of batchSize spots are taken from the store and their HEADs asked, up to window of
// them outstanding per connection. Once all HEADs of a batch are answered, they are read
// (SpotHeadReader) and compressed for the cache on worker threads while the next batch
// arrives; then the batch is written on a thread of its own (DetailsWriteThread: grouped with
// the batches that follow within half a second, in one transaction per file, over connections
// of its own, so this thread never waits for the disk), and progress() follows once it is
// committed. A spot whose HEAD
// has no usable X-XML, or whose article is gone (430), is stored without details and not asked
// again.
//
// Connections: the caller's client (between the ranges of its cycles), and with the setting
// "detailsconnections" above 1 that many minus one clients of the run's own, logged in with
// the same settings, that ask only HEADs. With "detailsfetch" off nothing is asked.
//
// start() begins a run (the caller starts it after the comment ranges of each cycle). It asks
// the HEADs on the caller's client itself; their answers are handed in through onHeadData()
// and onArticleNotFound(). Each start() ends in exactly one of:
//   finished()      nothing is left to ask on the caller's client (also at once when the
//                   setting is off or every spot has details); batches still being read and
//                   those of the run's own connections are stored later, with progress();
//   paused()        articles wait (articlesWaiting): no HEAD is outstanding on the caller's
//                   client any more, and the caller serves them first and starts the run again
//                   later; the batch it was in keeps its answers until then;
//   failed(reason)  a batch could not be written: it is asked again in a later run;
// or in none, after abandon() or stop(), or when the caller let go of its client.
//
// A broken connection loses nothing and stores nothing twice: the batches it held are given
// back to the store (giveBack()) with every answer they had, and asked again. The HEAD whose
// answer was due when a connection broke counts as a try; after headTries of them the spot is
// left without details, unasked (until the program starts again). The caller
// calls abandon() when its own client breaks; the run's own connections are dropped when they
// break, their batches given back, and made anew at the next start(). stop() (the settings
// changed, or every spot is to be deleted: call it before SpotDetailsStore::clear()) gives
// back every batch, closes the run's own connections and ends the run without a signal;
// batches being read when it is called are given back, not stored. It rolls back a write in
// progress (waiting for that, between two rows) and gives back every batch not committed, so
// that nothing of the run is written after it returns.
class DetailsRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int batchSize = 1000;
    static constexpr int window = 400;
    static constexpr int headTries = 3;

    // client is the caller's pointer to its client, read at every step. articlesWaiting says
    // whether articles wait for the caller's client: then no further HEAD goes on it.
    DetailsRun(SpotDetailsStore &store, CacheFile &cache, const QPointer<SpotNNTP> &client,
               std::function<bool()> articlesWaiting, QObject *parent = nullptr);
    ~DetailsRun() override;

    void start();
    // A HEAD is outstanding on the caller's client.
    bool isBusy() const;
    void onHeadData(const QByteArray &msgid, const QByteArray &head);
    // True when msgid answered a HEAD of the run on the caller's client (it is handled);
    // false when it is not the run's (an article).
    bool onArticleNotFound(const QByteArray &msgid);
    // The caller's client broke: the batches on it are given back.
    void abandon();
    void stop();

Q_SIGNALS:
    // After every stored batch: spots answered and spots in the store.
    void progress(qint64 done, qint64 total);
    void finished();
    void paused();
    void failed(const QString &reason);

private:
    // A HEAD that came: the spot, its article id and its header block.
    struct Answer
    {
        int spotId = 0;
        QByteArray id;
        QByteArray head;
    };
    // A batch on a connection: asked up to `asked`, answered up to `answered` (in order).
    struct Pending
    {
        SpotDetailsStore::Batch batch;
        int asked = 0;
        int answered = 0;
        QList<Answer> answers;
    };
    // What the HEADs of a batch gave: details by spot id, and the compressed header blocks
    // of those spots for the cache by article id.
    struct Read
    {
        QHash<int, SpotDetails> found;
        QList<std::pair<QByteArray, QByteArray>> heads;
    };
    // A spot whose answer is due, in the order of the batch.
    struct Asked
    {
        QByteArray id; // the article id
        bool sent = true; // else a spot given up, answered in its turn without a HEAD
    };
    // One connection and the batches it holds, oldest first.
    struct Lane
    {
        QPointer<SpotNNTP> own; // null for the caller's client
        std::deque<Pending> batches;
        std::deque<Asked> inFlight;
        qsizetype discard = 0; // the first of them belong to batches given back
        bool loggedIn = false;
    };

    SpotNNTP *clientOf(const Lane &lane) const;
    bool maySend(const Lane &lane) const;
    void openOwnConnections();
    void dropLane(Lane *lane);
    void dropIfIdle(Lane *lane);
    void giveBackAll(Lane &lane);
    // Asks HEADs on the lane up to the window, taking batches as needed.
    void fill(Lane &lane);
    // An answer to the oldest outstanding HEAD of the lane; head is null when it was not found.
    void answer(Lane &lane, const QByteArray *head);
    // Takes the answer of the lane's oldest spot in flight.
    void record(Lane &lane, const QByteArray *head);
    // Asks more on the lane and answers the spots given up that come next; then ends the run
    // when it is over, or lets an own connection go that has nothing left to ask.
    void advance(Lane &lane);
    // The connection of the lane broke: the HEAD whose answer was due counts a try.
    void countTry(const Lane &lane);
    bool expects(const Lane &lane, const QByteArray &msgid) const;
    // Hands the lane's oldest batch, all of it answered, to a worker thread to read.
    void readFront(Lane &lane);
    // On a worker thread.
    static Read readAnswers(const QList<Answer> &answers);
    // Hands a batch read to the writer, unless stop() came after it was taken.
    void storeRead(const SpotDetailsStore::Batch &batch, const Read &read, quint64 readGeneration);
    void onWritten(const SpotDetailsStore::Batch &batch, bool stored);
    // Ends the run when the caller's client has nothing outstanding and no further HEAD to ask.
    void checkEnd();

    SpotDetailsStore &store;
    CacheFile &cache;
    const QPointer<SpotNNTP> &client;
    const std::function<bool()> articlesWaiting;
    Lane shared;
    std::vector<std::unique_ptr<Lane>> ownLanes;
    bool running = false;
    bool storeEmpty = false; // the store handed out its last batch in this run
    QString failure; // a batch could not be stored in this run
    SpotDetailsStore::Progress counted;
    QHash<QByteArray, int> tries; // broken connections by article id
    quint64 generation = 0; // counted up by stop(): batches read before are not stored
    int reading = 0; // batches handed to the readers and not yet back
    DetailsWriteThread writer;
    QThreadPool readers; // last: its threads are waited for before the rest goes
};
