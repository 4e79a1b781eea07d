#include "databasesetuperror.h"
#include "freepages.h"
#include "settings.h"
#include "tarnwick.h"
#include "testmain.h"
#include "userstore.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QSqlDatabase connection(const char *name)
{
    return QSqlDatabase::database(QLatin1String(name), false);
}

int rowCount(const char *connectionName, const char *table)
{
    QSqlQuery query(connection(connectionName));
    if (!query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))) || !query.next())
        return -1;
    return query.value(0).toInt();
}

// Stands in for the download cycle, which holds a header range open and sets the counters
// while it runs.
class DownloadingTarnwick : public Tarnwick
{
public:
    void setBusy(bool header) { headerBusy = header; }

    void setCounters(qint64 start, int spots, int eroticSpots)
    {
        runStart = start;
        spotsAdded = spots;
        eroticSpotsAdded = eroticSpots;
    }

protected:
    bool headerRangeOpen() const override { return headerBusy; }

private:
    bool headerBusy = false;
};

} // namespace

class TestTarnwick : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void setupFailureEndsConstruction();
    void optimizeDatabases_data();
    void optimizeDatabases();
    void deleteAllSpots_data();
    void deleteAllSpots();
};

void TestTarnwick::init()
{
    QFile::remove(dataDir());
    QDir(dataDir()).removeRecursively();
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestTarnwick::setupFailureEndsConstruction()
{
    QDir().mkpath(dataDir() + QLatin1String("/reactielijst.db"));
    QObject window;
    try {
        Tarnwick controller(&window);
        QFAIL("the controller was built");
    } catch (const DatabaseSetupError &error) {
        QCOMPARE(error.message(), QStringLiteral("Fout bij openen reactielijst database"));
    }
    QVERIFY(window.children().isEmpty());
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
}

void TestTarnwick::optimizeDatabases_data()
{
    QTest::addColumn<bool>("headerBusy");
    QTest::addColumn<bool>("runs");

    QTest::newRow("idle") << false << true;
    QTest::newRow("header-download") << true << false;
}

void TestTarnwick::optimizeDatabases()
{
    QFETCH(bool, headerBusy);
    QFETCH(bool, runs);

    DownloadingTarnwick controller;
    leaveFreePages(connection("spots"), QStringLiteral("spots"), QStringLiteral("title"));
    leaveFreePages(connection("cache"), QStringLiteral("cache"), QStringLiteral("data"));
    leaveFreePages(connection("commentlist"), QStringLiteral("msgnrs"), QStringLiteral("nrs"));
    controller.setBusy(headerBusy);

    QCOMPARE(controller.optimizeDatabases(), runs);
    for (const char *name : {"spots", "cache", "commentlist"})
        QCOMPARE(freePages(connection(name)) == 0, runs);
}

// Both maintenance operations stay away from a header download only.
void TestTarnwick::deleteAllSpots_data()
{
    optimizeDatabases_data();
}

void TestTarnwick::deleteAllSpots()
{
    QFETCH(bool, headerBusy);
    QFETCH(bool, runs);

    DownloadingTarnwick controller;
    QSqlQuery spots(connection("spots"));
    QVERIFY(spots.exec(QStringLiteral("INSERT INTO spots(cat,title) VALUES (1,'a')")));
    QVERIFY(spots.exec(QStringLiteral("INSERT INTO erospots(cat,title) VALUES (9,'b')")));
    QSqlQuery cache(connection("cache"));
    QVERIFY(cache.exec(QStringLiteral("INSERT INTO cache(id,data) VALUES (x'6140',x'00')")));
    QSqlQuery comments(connection("commentlist"));
    QVERIFY(comments.exec(QStringLiteral("INSERT INTO msgnrs(post,nrs) VALUES ('a',x'00000001')")));
    Settings::setLastHeader(5000);
    Settings::setLastCommentsHeader(7000);
    controller.setCounters(4000, 12, 3);
    controller.setBusy(headerBusy);
    QSignalSpy newSpots(static_cast<SpotSource *>(&controller), &SpotSource::newSpots);
    UserStore user;
    QVERIFY(user.open(dataDir()));
    QVERIFY(user.hideSpotter(QStringLiteral("p")));

    QCOMPARE(controller.deleteAllSpots(), runs);

    const int rowsLeft = runs ? 0 : 1;
    QCOMPARE(rowCount("spots", "spots"), rowsLeft);
    QCOMPARE(rowCount("spots", "erospots"), rowsLeft);
    QCOMPARE(rowCount("cache", "cache"), rowsLeft);
    QCOMPARE(rowCount("commentlist", "msgnrs"), rowsLeft);
    QCOMPARE(Settings::lastHeader(), runs ? 0 : 5000);
    QCOMPARE(Settings::lastCommentsHeader(), runs ? 0 : 7000);
    QCOMPARE(controller.headerRunStart(), runs ? 0 : 4000);
    QCOMPARE(controller.newSpotCount(), runs ? 0 : 12);
    QCOMPARE(controller.newEroticSpotCount(), runs ? 0 : 3);
    QCOMPARE(newSpots.count(), runs ? 1 : 0);
    // The user's own file is no spot store.
    UserStore reopened;
    QVERIFY(reopened.open(dataDir()));
    QCOMPARE(reopened.hiddenSpotters(), QStringList{QStringLiteral("p")});
}

TARNWICK_TEST_MAIN(TestTarnwick)
#include "tst_tarnwick.moc"
