#include "categoryscheme.h"
#include "spotstore.h"
#include "standinsource.h"
#include "testmain.h"

#include <memory>
#include <optional>

// A spot page finds its spot by the list's id: positive for spots, minus the id for erospots.
class TestSpotSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void findSpot_data();
    void findSpot();

private:
    std::unique_ptr<SpotStore> store;
};

// Spots 1 and 2, and erotic spot 1.
void TestSpotSource::initTestCase()
{
    store = std::make_unique<SpotStore>();
    for (const QByteArray msgid : {"beeld1", "beeld2"})
        QCOMPARE(store->spots().insertSpot(SpotTable::Spots,
                                           {1, 100, 1300000000, QByteArray("t"), "p", QByteArray("x"), msgid, ""}),
                 InsertResult::Inserted);
    QCOMPARE(store->spots().insertSpot(SpotTable::EroticSpots,
                                       {CategoryScheme::erotic, CategoryScheme::eroticSubcategory(0), 1300000000,
                                        QByteArray("t"), "p", QByteArray("x"), "ero1", ""}),
             InsertResult::Inserted);
}

void TestSpotSource::findSpot_data()
{
    QTest::addColumn<int>("spotId");
    QTest::addColumn<QByteArray>("messageId");
    QTest::addColumn<int>("category");

    QTest::newRow("spot") << 2 << QByteArray("beeld2") << 1;
    QTest::newRow("erotic-spot") << -1 << QByteArray("ero1") << CategoryScheme::erotic;
    QTest::newRow("erotic-id-of-a-spot-only") << -2 << QByteArray() << 0;
    QTest::newRow("gone") << 3 << QByteArray() << 0;
}

void TestSpotSource::findSpot()
{
    QFETCH(int, spotId);
    QFETCH(QByteArray, messageId);
    QFETCH(int, category);

    const StandInSource source(*store);

    const std::optional<SpotRow> row = source.findSpot(spotId);
    QCOMPARE(row.has_value(), !messageId.isEmpty());
    if (row) {
        QCOMPARE(row->messageId, messageId);
        QCOMPARE(row->category, category);
    }
}

TARNWICK_TEST_MAIN(TestSpotSource)
#include "tst_spotsource.moc"
