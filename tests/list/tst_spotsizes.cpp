#include "detailstexts.h"
#include "listtestsupport.h"
#include "savedfiltercounts.h"
#include "spotdetailsstore.h"
#include "spotsmodel.h"
#include "sqltransaction.h"
#include "standinsource.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QDir>

using namespace ListTest;

namespace {

constexpr qint64 mb = 1024 * 1024;

} // namespace

class TestSpotSizes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // clang-format off
    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("unknown") << qint64(0) << QString();
        QTest::newRow("negative") << qint64(-5) << QString();
        QTest::newRow("bytes") << qint64(512) << QStringLiteral("512 B");
        QTest::newRow("kilobytes-decimal-comma") << qint64(1536) << QStringLiteral("1,5 KB");
        QTest::newRow("gigabytes") << qint64(1503238553) << QStringLiteral("1,4 GB");
        QTest::newRow("no-decimal-from-ten") << 700 * mb << QStringLiteral("700 MB");
        QTest::newRow("no-thousands-dot") << 1020 * mb << QStringLiteral("1,0 GB");
        QTest::newRow("rounds-to-ten") << qint64(9.97 * 1024 * mb) << QStringLiteral("10 GB");
        QTest::newRow("petabyte-bound") << SpotDetails::maxSize << QStringLiteral("1,0 PB");
    }
    // clang-format on

    void sizeText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, shown);
        QCOMPARE(DetailsTexts::size(bytes), shown);
    }

    // clang-format off
    void progressText_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("shown");
        QTest::newRow("thousands-dot") << qint64(12000) << qint64(200000) << QStringLiteral("Spotdetails 12.000 van 200.000");
        QTest::newRow("none-yet") << qint64(0) << qint64(7) << QStringLiteral("Spotdetails 0 van 7");
        QTest::newRow("all-done") << qint64(200000) << qint64(200000) << QString();
        QTest::newRow("no-spots") << qint64(0) << qint64(0) << QString();
    }
    // clang-format on

    void progressText()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(QString, shown);
        QCOMPARE(DetailsTexts::progress(done, total), shown);
    }

    void init()
    {
        QDir(SpotStore::dataDirectory()).removeRecursively();
        store.emplace();
        for (int i = 1; i <= 8; ++i) {
            const SpotRecord spot{1,
                                  100,
                                  1298000000 + i,
                                  QByteArray("T") + QByteArray::number(i),
                                  "p",
                                  QVariant(),
                                  "k" + QByteArray::number(i),
                                  ""};
            QCOMPARE(store->spots().insertSpot(SpotTable::Spots, spot), InsertResult::Inserted);
        }
        details.emplace();
        QVERIFY(details->open(SpotStore::dataDirectory()));
        source.emplace(*store);
    }

    void cleanup()
    {
        source.reset();
        details.reset();
        store.reset();
    }

    // The column shows the stored sizes; sorting puts spots without one last either way and
    // keeps alike sizes newest first.
    void listShowsAndSortsBySize()
    {
        storeSizes({{2, 300 * mb}, {5, 100 * mb}, {6, 300 * mb}, {7, 2 * mb}}, 7);
        SpotsModel model(source.operator->(), nullptr);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setFilter({}, 0, 0);
        QVERIFY(indexed(model));
        QCOMPARE(model.headerData(SpotsModel::SizeColumn, Qt::Horizontal).toString(), QStringLiteral("Grootte"));
        QCOMPARE(sizesShown(model),
                 (QStringList{QString(), QStringLiteral("2,0 MB"), QStringLiteral("300 MB"), QStringLiteral("100 MB"),
                              QString(), QString(), QStringLiteral("300 MB"), QString()}));
        model.sort(SpotsModel::SizeColumn, Qt::AscendingOrder);
        QCOMPARE(shownIds(model), (QList<int>{7, 5, 6, 2, 8, 4, 3, 1}));
        model.sort(SpotsModel::SizeColumn, Qt::DescendingOrder);
        QCOMPARE(shownIds(model), (QList<int>{6, 2, 5, 7, 8, 4, 3, 1}));

        // Sizes stored later show in the rows as they are once the download says so.
        storeSizes({{1, 5 * mb}}, 2);
        model.onDetailsStored();
        QCOMPARE(model.data(model.index(7, SpotsModel::SizeColumn)).toString(), QStringLiteral("5,0 MB"));
        // ...and in the order by size from the next sort on.
        model.sort(SpotsModel::SizeColumn, Qt::AscendingOrder);
        QCOMPARE(shownIds(model), (QList<int>{7, 1, 5, 6, 2, 8, 4, 3}));
    }

    // A saved filter's bounds let through the spots of a known size within them, in its rows
    // and in its count of new spots.
    void savedFilterSizeBounds()
    {
        storeSizes({{2, 300 * mb}, {5, 100 * mb}, {6, 50 * mb}, {7, 2 * mb}}, 8);
        SpotsModel model(source.operator->(), nullptr);
        model.setFilter({}, 0, 0);
        QVERIFY(indexed(model));
        SpotFilter::Saved saved;
        saved.minSize = 50 * mb;
        model.setSavedFilter({}, saved);
        QCOMPARE(shownIds(model), (QList<int>{6, 5, 2}));
        saved.maxSize = 100 * mb;
        model.setSavedFilter({}, saved);
        QCOMPARE(shownIds(model), (QList<int>{6, 5}));

        SavedFilterCounts counts(&model, nullptr);
        SpotFilter filter;
        filter.saved = saved;
        counts.setFilters({{1, filter, 5}, {2, SpotFilter{filter.search, 0, 0}, 5}});
        QTRY_VERIFY(counts.isCounted());
        QCOMPARE(counts.count(1), 1); // 6 alone: 7 is too small, 8 has no size
    }

    // Enough ids for the size index: the same ids as by key, in either table.
    void manyIdsBoundedByTheSizeIndex_data()
    {
        QTest::addColumn<bool>("erotic");
        QTest::newRow("spots") << false;
        QTest::newRow("erospots") << true;
    }

    void manyIdsBoundedByTheSizeIndex()
    {
        QFETCH(bool, erotic);
        const int count = int(SpotSizes::rowsReadByKey) + 100;
        {
            SqlTransaction transaction(store->spotsDatabase());
            for (int i = 1; i <= count; ++i) {
                const SpotRecord spot{9, 900, 1298000000, QByteArray("T"), "p", QVariant(), "e" + QByteArray::number(i),
                                      ""};
                QCOMPARE(store->spots().insertSpot(erotic ? SpotTable::EroticSpots : SpotTable::Spots, spot),
                         InsertResult::Inserted);
            }
            QVERIFY(transaction.commit());
        }
        QHash<int, SpotDetails> found;
        std::vector<int> ids;
        for (auto batch = details->takeBatch(100000); batch; batch = details->takeBatch(100000)) {
            for (const SpotDetailsStore::Request &spot : batch->spots) {
                const int id = std::abs(spot.spotId);
                if (id % 3 != 0)
                    found[spot.spotId].size = (id % 50) * mb;
                if ((spot.spotId < 0) == erotic)
                    ids.push_back(id);
            }
            QVERIFY(details->storeBatch(*batch, found));
        }
        QVERIFY(ids.size() > SpotSizes::rowsReadByKey);
        SpotsModel model(source.operator->(), nullptr);
        const SpotSizes &sizes = model.sizes();
        std::vector<int> expected;
        for (const int id : ids) {
            if (id % 3 != 0 && id % 50 >= 10 && id % 50 <= 20)
                expected.push_back(id);
        }
        QCOMPARE(sizes.within(ids, erotic, 10 * mb, 20 * mb), expected);
        const std::vector<int> few(ids.begin(), ids.begin() + 60);
        std::vector<int> fewExpected;
        std::copy_if(expected.begin(), expected.end(), std::back_inserter(fewExpected),
                     [&](int id) { return id >= few.back(); });
        QCOMPARE(sizes.within(few, erotic, 10 * mb, 20 * mb), fewExpected);
    }

private:
    // Stores the sizes, and no details for the other spots of the batch.
    void storeSizes(const QList<QPair<int, qint64>> &sizes, int batchSize)
    {
        const auto batch = details->takeBatch(batchSize);
        QVERIFY(batch);
        QHash<int, SpotDetails> found;
        for (const auto &[id, size] : sizes) {
            SpotDetails spot;
            spot.size = size;
            found.insert(id, spot);
        }
        QVERIFY(details->storeBatch(*batch, found));
    }

    static QStringList sizesShown(const SpotsModel &model)
    {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.data(model.index(row, SpotsModel::SizeColumn)).toString();
        return shown;
    }

    std::optional<SpotStore> store;
    std::optional<SpotDetailsStore> details;
    std::optional<StandInSource> source;
};

TARNWICK_TEST_MAIN(TestSpotSizes)
#include "tst_spotsizes.moc"
