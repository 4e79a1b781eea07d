#pragma once

#include "spotindexbuilder.h"
#include "spotlistindex.h"

#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

#include <memory>

// Owns the spot list's SpotListIndex and keeps it up with a spots.db as the window's
// connection sees it. A new index is read on a SpotIndexBuilder's thread; afterwards a few new
// rows are read here (refresh()), and many (a downloaded range), or any change once the index
// is large, go to a builder with the index and come back with it (catchUp()).
//
// States and their transitions (every signal fires on the keeper's thread, once per transition):
//   Idle       no index: start() not called yet, or the last build could not read the file
//   Building   a new index is read on the builder's thread; rows are read without it meanwhile
//   Ready      index() is here
//   CatchingUp the index is with a builder that reads the new rows; what the list chose with it
//              still holds
//
//   Idle       --start(), or the retry interval after a failed build--> Building
//   Building   --built, brought up to date here--> Ready                     indexReady()
//   Building   --built, but rows appeared below its newest meanwhile--> Building (read again)
//   Building   --the file could not be read--> Idle, retried later
//   Ready      --catchUp()--> CatchingUp
//   Ready      --refresh() finds rows below the newest--> Building           indexLost()
//   CatchingUp --back, few rows still behind--> Ready                        caughtUp()
//   CatchingUp --back, many rows behind again (a later range)--> CatchingUp
//   CatchingUp --takeBack(): waits for the builder--> Ready (no signal)
//   CatchingUp --back or takeBack(), but the file could not be read there--> Building  indexLost()
// A read that fails in Ready (I/O error, damaged page, lock) keeps the index as far as it got;
// retryDue() asks for it to be read again after the retry interval. A catch-up that fails part-way
// comes back Ready the same way, without caughtUp().
// stateChanged() fires at every change of state, before the transition's own signal.
// counted() fires once, when the builder has counted the spots or the first build ended without.
class SpotIndexKeeper : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Building, Ready, CatchingUp };
    Q_ENUM(State)
    enum class Refresh {
        Done,
        Failed, // retryDue() follows after the retry interval
        Lost, // rows appeared below the newest: rebuilding, indexLost() was emitted
    };
    static constexpr int retryIntervalMs = 10000;

    // database: the connection the list reads the rows through, on this thread.
    SpotIndexKeeper(QSqlDatabase database, QObject *parent);
    ~SpotIndexKeeper() override;

    State state() const { return current; }
    // The index in Ready, null otherwise.
    const SpotListIndex *index() const;
    // Whether counted() has fired.
    bool hasCounted() const { return spotsCounted; }
    qsizetype memoryBytes() const;

    // Idle: starts the first build.
    void start();
    // Ready: reads what the connection sees that the index does not hold yet.
    Refresh refresh();
    // Ready: whether the changes are many (a range), or any change once the index is large,
    // so that they go to the builder's thread (catchUp()) rather than being read here.
    bool needsCatchUp() const;
    // Ready: many rows of a transaction still open on the connection (a range being
    // downloaded) are not in the index; the builder cannot see them, and this thread is not to
    // read them. They come with the commit.
    bool waitsForCommit() const;
    // Ready: the index goes to a builder for the new rows.
    void catchUp();
    // CatchingUp: waits for the builder and takes the index back.
    void takeBack();
    // At every catchUp(), make() gives the work that the builder does with the index once it
    // has read the new rows, before it comes back (on a thread of the builder's, beside the
    // count of the rows stored: the work reads nothing of this thread's; SpotListIndex::update()).
    // One at a time; an empty function for none.
    void setCatchUpFollowup(std::function<SpotIndexBuilder::Followup()> make);
    // How long after a failed read it is read again; shortened by tests.
    void setRetryInterval(int milliseconds);

Q_SIGNALS:
    void stateChanged(SpotIndexKeeper::State state);
    void counted();
    void indexReady();
    void caughtUp();
    void indexLost();
    void retryDue();

private:
    void setState(State next);
    void startBuild();
    void onBuilt();
    void onCaughtUp();
    // Takes the index from the builder; false when it did not come back (rebuilding then).
    bool takeFromBuilder();
    void retryLater();
    void onRetryTimer();
    void markCounted();

    QSqlDatabase database;
    State current = State::Idle;
    std::unique_ptr<SpotListIndex> spotIndex;
    std::unique_ptr<SpotIndexBuilder> builder;
    bool spotsCounted = false;
    QTimer retryTimer;
    std::function<SpotIndexBuilder::Followup()> makeFollowup;
};
