#include "spotdetailsstore.h"
#include "spotstore.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

namespace {

QString detailsPath()
{
    return SpotStore::dataDirectory() + QLatin1Char('/') + SpotDetailsStore::fileName();
}

void addSpots(SpotStore &spots, SpotTable table, int count, const QByteArray &keyPrefix = "k")
{
    for (int i = 1; i <= count; ++i) {
        const SpotRecord spot{table == SpotTable::Spots ? 1 : 9, 100, 1298000000 + i, QByteArray("T"), "p", QVariant(),
                              keyPrefix + QByteArray::number(i), ""};
        QCOMPARE(spots.spots().insertSpot(table, spot), InsertResult::Inserted);
    }
}

QList<int> idsOf(const SpotDetailsStore::Batch &batch)
{
    QList<int> ids;
    for (const SpotDetailsStore::Request &spot : batch.spots)
        ids << spot.spotId;
    return ids;
}

SpotDetails withSize(qint64 size)
{
    SpotDetails details;
    details.size = size;
    details.newsgroup = QStringLiteral("alt.binaries.x");
    details.files = 3;
    return details;
}

} // namespace

class TestSpotDetailsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QDir(SpotStore::dataDirectory()).removeRecursively(); }

    // Newest first, spots before erospots, each spot handed out once; what is stored stays
    // stored across a reopen, what was handed out and not stored is asked again.
    void batchesAndPersistence()
    {
        SpotStore spots;
        addSpots(spots, SpotTable::Spots, 5);
        addSpots(spots, SpotTable::EroticSpots, 2);
        {
            SpotDetailsStore store;
            QVERIFY(store.open(SpotStore::dataDirectory()));
            const auto first = store.takeBatch(3);
            QVERIFY(first);
            QCOMPARE(idsOf(*first), (QList<int>{5, 4, 3}));
            QCOMPARE(first->spots.first().spotKey, QByteArray("k5"));
            const auto second = store.takeBatch(3);
            QCOMPARE(idsOf(*second), (QList<int>{2, 1}));
            const auto erotic = store.takeBatch(3);
            QCOMPARE(idsOf(*erotic), (QList<int>{-2, -1}));
            QVERIFY(!store.takeBatch(3));
            QVERIFY(store.storeBatch(*first, {{5, withSize(1000)}, {3, withSize(0)}}));
            store.giveBack(*erotic);
            QCOMPARE(idsOf(*store.takeBatch(10)), (QList<int>{-2, -1}));
            QCOMPARE(store.progress().done, 3);
            QCOMPARE(store.progress().total, 7);
            QCOMPARE(store.details(5), withSize(1000));
            QVERIFY(!store.details(4)); // answered: none
        }
        SpotDetailsStore reopened;
        QVERIFY(reopened.open(SpotStore::dataDirectory()));
        QCOMPARE(reopened.details(5), withSize(1000));
        QCOMPARE(reopened.progress().done, 3);
        QCOMPARE(idsOf(*reopened.takeBatch(10)), (QList<int>{2, 1}));
        // New spots come first, and the gap below them is asked before the old rest.
        addSpots(spots, SpotTable::Spots, 3, "n");
        QCOMPARE(idsOf(*reopened.takeBatch(2)), (QList<int>{8, 7}));
        QCOMPARE(idsOf(*reopened.takeBatch(10)), (QList<int>{6}));
        QCOMPARE(idsOf(*reopened.takeBatch(10)), (QList<int>{-2, -1}));
        QVERIFY(reopened.clear());
        QCOMPARE(reopened.progress().done, 0);
        QVERIFY(!reopened.details(5));
    }

    // A file that is no database, or of another version, is set aside and made anew.
    void unusableFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("version");
        QTest::newRow("not-a-database") << QByteArray(4096, 'x') << 0;
        QTest::newRow("other-version") << QByteArray() << 7;
        QTest::newRow("foreign-tables") << QByteArray() << 0;
    }

    void unusableFileIsSetAside()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, version);
        QVERIFY(QDir().mkpath(SpotStore::dataDirectory()));
        if (!content.isEmpty()) {
            QFile file(detailsPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(detailsPath());
            QVERIFY(db.open());
            QSqlQuery(QStringLiteral("CREATE TABLE other(x)"), db).exec();
            QSqlQuery(QStringLiteral("PRAGMA user_version=%1").arg(version), db).exec();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        }
        SpotStore spots;
        addSpots(spots, SpotTable::Spots, 2);
        SpotDetailsStore store;
        QVERIFY(store.open(SpotStore::dataDirectory()));
        const QStringList aside = QDir(SpotStore::dataDirectory())
                                      .entryList({SpotDetailsStore::fileName() + QLatin1String(".*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        const auto batch = store.takeBatch(5);
        QVERIFY(batch);
        QVERIFY(store.storeBatch(*batch, {{2, withSize(5)}}));
        QCOMPARE(store.details(2), withSize(5));
    }

    // A new spots.db gives its ids to other spots: the details of the old ones are forgotten.
    void newSpotsFileClearsDetails()
    {
        {
            SpotStore spots;
            addSpots(spots, SpotTable::Spots, 3);
            SpotDetailsStore store;
            QVERIFY(store.open(SpotStore::dataDirectory()));
            QVERIFY(store.storeBatch(*store.takeBatch(5), {{3, withSize(9)}}));
        }
        for (const QString &name : QDir(SpotStore::dataDirectory()).entryList({QStringLiteral("spots.db*")}))
            QVERIFY(QFile::remove(SpotStore::dataDirectory() + QLatin1Char('/') + name));
        SpotStore spots;
        addSpots(spots, SpotTable::Spots, 3, "other");
        SpotDetailsStore store;
        QVERIFY(store.open(SpotStore::dataDirectory()));
        QVERIFY(!store.details(3));
        QCOMPARE(idsOf(*store.takeBatch(5)), (QList<int>{3, 2, 1}));
    }

    // What a poster wrote is stored within bounds; a size of 0 counts as none.
    void hostileValuesBound()
    {
        SpotStore spots;
        addSpots(spots, SpotTable::Spots, 2);
        SpotDetailsStore store;
        QVERIFY(store.open(SpotStore::dataDirectory()));
        SpotDetails hostile;
        hostile.size = std::numeric_limits<qint64>::max();
        hostile.image = QString(100000, QLatin1Char('i'));
        hostile.website = QStringLiteral("'); DROP TABLE details; --");
        hostile.segments = -4;
        hostile.files = std::numeric_limits<int>::max();
        QVERIFY(store.storeBatch(*store.takeBatch(5), {{2, hostile}, {1, withSize(-10)}}));
        const auto kept = store.details(2);
        QVERIFY(kept);
        QCOMPARE(kept->size, SpotDetails::maxSize);
        QCOMPARE(kept->image.size(), SpotDetails::maxTextLength);
        QCOMPARE(kept->website, hostile.website);
        QCOMPARE(kept->segments, 0);
        QCOMPARE(kept->files, SpotDetails::maxCount);
        QCOMPARE(store.details(1)->size, 0);
    }
};

TARNWICK_TEST_MAIN(TestSpotDetailsStore)
#include "tst_spotdetailsstore.moc"
