// The details' writer thread: every batch reported once and in order, its header blocks in
// the cache; a stop while writes are in flight leaves in the files exactly what it reports
// committed, and nothing is reported after it.
#include "detailswritethread.h"
#include "spotstore.h"
#include "sqltransaction.h"
#include "testmain.h"
#include "zlibstream.h"

#include <QDir>
#include <QSignalSpy>

namespace {

QByteArray articleId(const QByteArray &spotKey)
{
    return spotKey + "@free.pt";
}

void addSpots(SpotStore &spots, int count)
{
    SqlTransaction transaction(spots.spotsDatabase());
    for (int i = 1; i <= count; ++i) {
        const SpotRecord spot{1, 100, 1298000000 + i, QByteArray("T"), "p", QVariant(), "k" + QByteArray::number(i),
                              ""};
        QCOMPARE(spots.spots().insertSpot(SpotTable::Spots, spot), InsertResult::Inserted);
    }
    QVERIFY(transaction.commit());
}

// Each spot of the batch found, its size its id, its header block its key.
DetailsWriter::Item itemOf(const SpotDetailsStore::Batch &batch)
{
    DetailsWriter::Item item{batch, {}, {}};
    for (const SpotDetailsStore::Request &spot : batch.spots) {
        SpotDetails details;
        details.size = spot.spotId;
        item.found.insert(spot.spotId, details);
        item.heads.append({articleId(spot.spotKey), ZlibStream::deflateZlib(spot.spotKey, 1)});
    }
    return item;
}

qint64 spotsIn(const QList<DetailsWriteThread::Result> &results, bool stored)
{
    qint64 count = 0;
    for (const DetailsWriteThread::Result &result : results)
        count += result.stored == stored ? result.batch.spots.size() : 0;
    return count;
}

} // namespace

class TestDetailsWriteThread : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QDir(SpotStore::dataDirectory()).removeRecursively(); }

    void everyBatchInOrder()
    {
        SpotStore spots;
        addSpots(spots, 50);
        SpotDetailsStore store;
        QVERIFY(store.open(SpotStore::dataDirectory()));
        DetailsWriteThread writer;
        writer.setFiles(store.filePath(), store.spotsPath(), spots.cache().filePath());
        QSignalSpy written(&writer, &DetailsWriteThread::written);
        QList<int> highIds;
        while (const std::optional<SpotDetailsStore::Batch> batch = store.takeBatch(5)) {
            highIds.append(batch->highId);
            writer.write(itemOf(*batch));
        }
        QTRY_COMPARE(written.size(), highIds.size());
        for (qsizetype i = 0; i < written.size(); ++i) {
            QCOMPARE(written.at(i).at(0).value<SpotDetailsStore::Batch>().highId, highIds.at(i));
            QVERIFY(written.at(i).at(1).toBool());
        }
        QCOMPARE(store.progress().done, 50);
        QCOMPARE(store.details(7)->size, 7);
        QCOMPARE(spots.cache().cachedHead(articleId("k7")), QByteArray("k7"));
        QVERIFY(writer.stop().isEmpty());
        // Each batch wrote its range as asked: none is asked again.
        SpotDetailsStore reopened;
        QVERIFY(reopened.open(SpotStore::dataDirectory()));
        QVERIFY(!reopened.takeBatch(5));
    }

    void stopWithWritesInFlight()
    {
        constexpr int count = 5000;
        SpotStore spots;
        addSpots(spots, count);
        SpotDetailsStore store;
        QVERIFY(store.open(SpotStore::dataDirectory()));
        DetailsWriteThread writer;
        writer.setFiles(store.filePath(), store.spotsPath(), spots.cache().filePath());
        QSignalSpy written(&writer, &DetailsWriteThread::written);
        while (const std::optional<SpotDetailsStore::Batch> batch = store.takeBatch(5))
            writer.write(itemOf(*batch));
        const QList<DetailsWriteThread::Result> results = writer.stop();
        QCOMPARE(results.size() * 5, count);
        QCOMPARE(spotsIn(results, true) + spotsIn(results, false), count);
        QCOMPARE(store.progress().done, spotsIn(results, true));
        // What was reported before the stop is in the files; nothing is reported after it.
        QCoreApplication::processEvents();
        QCOMPARE(written.size(), 0);
    }
};

TARNWICK_TEST_MAIN(TestDetailsWriteThread)
#include "tst_detailswritethread.moc"
