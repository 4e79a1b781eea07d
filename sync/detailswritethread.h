#pragma once

#include "detailswriter.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>

// The writes of the details run, away from the window's thread: items handed to write() are
// written by a DetailsWriter on a thread of their own, in the order given. What waits when a
// write begins goes into that write (up to maxGroupSpots spots): one transaction per file for
// all of it, so that the disk keeps up with the server.
//
// written() fires on this object's thread once per item, in the order of write(), after its
// transaction ended; except for the items still waiting, being written or not yet reported
// when stop() is called: stop() returns those instead, and nothing of them fires later.
class DetailsWriteThread : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxGroupSpots = 10'000;

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
    // Rolls back the write in progress, if any, waiting for that (between two rows: short),
    // closes the files, and returns every item not yet reported by written(), with whether it
    // was committed.
    QList<Result> stop();

Q_SIGNALS:
    void written(const SpotDetailsStore::Batch &batch, bool stored);

private:
    // On the writing thread.
    void writeWaiting();
    void report();

    QMutex lock; // guards the lists and the paths
    QList<DetailsWriter::Item> waiting;
    QList<Result> done;
    QString detailsPath, spotsPath, cachePath;
    bool filesChanged = false;
    std::atomic<bool> stopping{false};
    DetailsWriter writer; // used on the writing thread, and by stop() once it is idle
    QThreadPool thread; // last: its thread is waited for before the rest goes
};
