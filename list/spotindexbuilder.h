#pragma once

#include "spotlistindex.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Builds a SpotListIndex of a spots.db on a thread of its own, over a connection of its own,
// so that the window goes on while millions of rows are read. It reads again until a pass
// finds few new rows, so that what the taker still has to read is small. It counts the spots
// first, which on a cold start takes a read of the whole table that the window need not wait for.
class SpotIndexBuilder : public QObject
{
    Q_OBJECT

public:
    // Rows that the list may read on its own thread; more are read here.
    static constexpr qsizetype fewRows = 5000;

    // Work with the index once it holds the new rows, on a thread of the builder's, before built().
    using Followup = SpotListIndex::Followup;

    // Starts at once: a new index, or from brought up to date with the file (handed over:
    // SpotListIndex::handOver()). followup runs as SpotListIndex::update() runs it, in every
    // pass over the tables.
    SpotIndexBuilder(const QString &fileName, QObject *parent, std::unique_ptr<SpotListIndex> from = nullptr,
                     Followup followup = {});
    // Stops a build in progress and waits for its thread (one batch of rows at most).
    ~SpotIndexBuilder() override;

    // Waits until the build is done, without stopping it; take() has the index then.
    void finish();
    // The index once built() was emitted or finish() returned. Null when a new index could not
    // be read, or a handed-over one no longer matches the tables (rows below its newest).
    // A handed-over index whose read failed part-way comes back as far as it got.
    std::unique_ptr<SpotListIndex> take();
    // Whether a read failed (the file could not be opened, an I/O error, a damaged page, a
    // lock): the index, if any, is not up to date, and is to be read again later.
    bool readFailed();

Q_SIGNALS:
    // The spots were counted, before a new index is built: the pages for a count are in the
    // file cache now. Emitted on the builder's own thread of creation, once, before built();
    // not when the table cannot be read, nor when an index is brought up to date.
    void counted();
    // Emitted on the builder's own thread of creation, once.
    void built();

protected:
    bool event(QEvent *event) override;

private:
    void build(const QString &fileName, std::unique_ptr<SpotListIndex> index, const Followup &followup);

    // Posts one of the two notices to the thread of creation.
    void announce(QEvent::Type type);

    std::atomic<bool> cancel{false};
    std::mutex resultLock;
    std::unique_ptr<SpotListIndex> result;
    bool failed = false;
    std::thread worker;
};
