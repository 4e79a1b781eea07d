#include "detailswritethread.h"

#include "backgroundthread.h"
#include <QDebug>
#include <QMutexLocker>

DetailsWriteThread::DetailsWriteThread(QObject *parent)
    : QObject(parent)
{
    // One thread: the writes keep their order.
    thread.setMaxThreadCount(1);
    delay.setSingleShot(true);
    delay.setInterval(groupDelayMs);
    connect(&delay, &QTimer::timeout, this, &DetailsWriteThread::flush);
}

DetailsWriteThread::~DetailsWriteThread()
{
    stop();
}

void DetailsWriteThread::setFiles(const QString &details, const QString &spots, const QString &cache)
{
    const QMutexLocker locker(&lock);
    filesChanged = filesChanged || details != detailsPath || spots != spotsPath || cache != cachePath;
    detailsPath = details;
    spotsPath = spots;
    cachePath = cache;
}

void DetailsWriteThread::write(DetailsWriter::Item item)
{
    bool begin = false;
    {
        const QMutexLocker locker(&lock);
        waitingSpots += item.batch.spots.size();
        waiting.append(std::move(item));
        // A write in progress takes it along while due.
        begin = !due && waitingSpots >= maxGroupSpots;
        due = due || begin;
        if (!due && !delay.isActive())
            delay.start();
    }
    if (begin)
        thread.start([this] { writeWaiting(); });
}

void DetailsWriteThread::flush()
{
    delay.stop();
    {
        const QMutexLocker locker(&lock);
        if (due || waiting.isEmpty())
            return;
        due = true;
    }
    thread.start([this] { writeWaiting(); });
}

void DetailsWriteThread::writeWaiting()
{
    BackgroundThread::giveWay();
    for (;;) {
        QList<DetailsWriter::Item> items;
        bool reopen = false;
        QString details, spots, cache;
        {
            const QMutexLocker locker(&lock);
            if (waiting.isEmpty() || stopping) {
                due = false;
                return;
            }
            qsizetype spotCount = 0;
            while (!waiting.isEmpty()
                   && (items.isEmpty() || spotCount + waiting.front().batch.spots.size() <= maxGroupSpots)) {
                spotCount += waiting.front().batch.spots.size();
                items.append(waiting.takeFirst());
            }
            waitingSpots -= spotCount;
            reopen = filesChanged;
            filesChanged = false;
            details = detailsPath;
            spots = spotsPath;
            cache = cachePath;
        }
        if (!stopping && (reopen || !writer.isOpen()) && !writer.open(details, spots, cache))
            qDebug() << "Spotdetails: bestanden niet te openen om te schrijven";
        const bool stored = !stopping && writer.write(items, stopping);
        {
            const QMutexLocker locker(&lock);
            for (const DetailsWriter::Item &item : items)
                done.append({item.batch, stored});
        }
        QMetaObject::invokeMethod(this, &DetailsWriteThread::report, Qt::QueuedConnection);
    }
}

void DetailsWriteThread::report()
{
    QList<Result> results;
    {
        const QMutexLocker locker(&lock);
        results.swap(done);
    }
    for (const Result &result : results)
        Q_EMIT written(result.batch, result.stored);
}

QList<DetailsWriteThread::Result> DetailsWriteThread::stop()
{
    delay.stop();
    stopping = true;
    thread.waitForDone();
    stopping = false;
    writer.close();
    const QMutexLocker locker(&lock);
    QList<Result> results;
    results.swap(done);
    for (const DetailsWriter::Item &item : std::as_const(waiting))
        results.append({item.batch, false});
    waiting.clear();
    waitingSpots = 0;
    due = false;
    return results;
}
