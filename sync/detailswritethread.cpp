#include "detailswritethread.h"

#include <QDebug>
#include <QMutexLocker>

DetailsWriteThread::DetailsWriteThread(QObject *parent)
    : QObject(parent)
{
    // One thread: the writes keep their order.
    thread.setMaxThreadCount(1);
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
    {
        const QMutexLocker locker(&lock);
        waiting.append(std::move(item));
    }
    thread.start([this] { writeWaiting(); });
}

void DetailsWriteThread::writeWaiting()
{
    QList<DetailsWriter::Item> items;
    bool reopen = false;
    QString details, spots, cache;
    {
        const QMutexLocker locker(&lock);
        qsizetype spotCount = 0;
        while (!waiting.isEmpty()
               && (items.isEmpty() || spotCount + waiting.front().batch.spots.size() <= maxGroupSpots)) {
            spotCount += waiting.front().batch.spots.size();
            items.append(waiting.takeFirst());
        }
        reopen = filesChanged;
        filesChanged = false;
        details = detailsPath;
        spots = spotsPath;
        cache = cachePath;
    }
    // An earlier task took these items along.
    if (items.isEmpty())
        return;
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
    return results;
}
