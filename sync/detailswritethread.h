#pragma once

#include "detailswriter.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

// The writes of the details run, away from the window's thread: items handed to write() are
// written by a DetailsWriter on a thread of their own, in the order given, in groups of up to
// maxGroupSpots spots: one transaction per file for each group. A transaction costs about as
// much for one batch as for ten (the header blocks' keys in cache.db come in no order, so
// nearly every page of their index is written again at each commit), so a write waits up to
// groupDelayMs for more items, and begins at once when maxGroupSpots spots wait, at flush(),
// or when the last write ended with items waiting (the disk is then the slower side).
//
// written() fires on this object's thread once per item, in the order of write(), after its
// transaction ended; except for the items still waiting, being written or not yet reported
// when stop() is called: stop() returns those instead, and nothing of them fires later.
class DetailsWriteThread : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxGroupSpots = 20'000;
    static constexpr int groupDelayMs = 500;

    struct Result
    {
        SpotDetailsStore::Batch batch;
        bool stored = false;
    };

    explicit DetailsWriteThread(QObject *parent = nullptr);
    ~DetailsWriteThread() override;

    // The files the next writes go to (DetailsWriter::open()); they are opened at the first
    // write after this or after stop().
    void setFiles(const QString &detailsPath, const QString &spotsPath, const QString &cachePath);
    void write(DetailsWriter::Item item);
    // Begins writing what waits now: no more items are coming soon.
    void flush();
    // Rolls back the write in progress, if any, waiting for that (between two rows: short),
    // closes the files, and returns every item not yet reported by written(), with whether it
    // was committed.
    QList<Result> stop();

Q_SIGNALS:
    void written(const SpotDetailsStore::Batch &batch, bool stored);

private:
    // On the writing thread: groups while writes are due and items wait.
    void writeWaiting();
    void report();

    QMutex lock; // guards the lists, the paths and due
    QList<DetailsWriter::Item> waiting;
    qsizetype waitingSpots = 0;
    bool due = false; // what waits is written without waiting for more
    QTimer delay; // the wait for more items
    QList<Result> done;
    QString detailsPath, spotsPath, cachePath;
    bool filesChanged = false;
    std::atomic<bool> stopping{false};
    DetailsWriter writer; // used on the writing thread, and by stop() once it is idle
    QThreadPool thread; // last: its thread is waited for before the rest goes
};
