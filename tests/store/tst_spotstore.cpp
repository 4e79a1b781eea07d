#include "databasesetuperror.h"
#include "freepages.h"
#include "spotstore.h"
#include "sqlfile.h"
#include "sqlitestatement.h"
#include "testmain.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QStandardPaths>

namespace {

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QStringList schemaOf(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.exec(QStringLiteral(
        "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name<>'sqlite_sequence' ORDER BY rowid"));
    QStringList statements;
    while (query.next())
        statements << query.value(0).toString();
    return statements;
}

QVariantList column(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    query.exec(sql);
    QVariantList values;
    while (query.next())
        values << query.value(0);
    return values;
}

QVariant scalar(const QSqlDatabase &db, const QString &sql)
{
    const QVariantList values = column(db, sql);
    return values.isEmpty() ? QVariant() : values.first();
}

const QString oldSpotsTable = QStringLiteral(
    "CREATE TABLE spots(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,spotdate INT,title VARCHAR(255),"
    "spotter VARCHAR(255),tag VARCHAR(255),msgid VARCHAR(255) )");
// Without a tag column the copy into erospots fails.
const QString untaggedSpotsTable
    = QStringLiteral("CREATE TABLE spots(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,"
                     "spotdate INT,title VARCHAR(255),spotter VARCHAR(255),msgid VARCHAR(255) )");
const QString eroticTable = QStringLiteral(
    "CREATE TABLE erospots(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,spotdate INT,title VARCHAR(255),"
    "spotter VARCHAR(255),tag VARCHAR(255),othercats VARCHAR(255),msgid VARCHAR(255) )");

enum class Reader { None, SinceBeforeTheCommit, SinceAfterTheCommit };

enum class Obstacle { None, EroticNameTaken, SpotsWithoutOtherCats, ReadOnlyConnection };

// A spots.db as written before erotic spots had a table of their own: the statements of its
// schema, the first one creating spots.
void writeOldSpotsFile(const QStringList &schema)
{
    QDir().mkpath(dataDir());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(dataDir() + QLatin1String("/spots.db"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString &statement : schema)
            QVERIFY(query.exec(statement));
        for (const auto &[id, cat] : {std::pair{1, 1}, {2, 9}, {3, 2}, {4, 9}})
            QVERIFY(query.exec(QStringLiteral("INSERT INTO spots(id,cat,subcat,spotdate,title,spotter,msgid) "
                                              "VALUES (%1,%2,%2*100,1298000000+%1,'t%1','p%1','m%1')")
                                   .arg(id)
                                   .arg(cat)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

} // namespace

class TestSpotStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void freshProfileCreatesExactSchema();
    void connectionsAreDurable();
    void checkpointWaitsForNoReader_data();
    void checkpointWaitsForNoReader();
    void qtRunsTheLinkedSqlite();
    void oldSpotsFileIsMigrated();
    void failedMigrationLeavesTheFileAsItWas_data();
    void failedMigrationLeavesTheFileAsItWas();
    void tableExistsMatchesAnySchemaObject();
    void setupFailure_data();
    void setupFailure();

    void commentNumbers_data();
    void commentNumbers();
    void insertedSpotKeepsBoundKinds();
    void insertResult_data();
    void insertResult();
    void duplicateCheck_data();
    void duplicateCheck();
    void executedStatementsDoNotBlockCompaction();
    void failedCommentIndexWriteKeepsTheOldIndex();

    void articleRoundTrip_data();
    void articleRoundTrip();
    void storedArticleRow();
    void storedArticleKeepsFirstCopy();
    void cachedArticleRefused_data();
    void cachedArticleRefused();
};

void TestSpotStore::init()
{
    QFile::remove(dataDir());
    QDir(dataDir()).removeRecursively();
    // A connection removed while still in use, or a name added twice, shows up as a warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSpotStore::freshProfileCreatesExactSchema()
{
    QVERIFY(!QDir(dataDir()).exists());
    SpotStore store;

    for (const char *file : {"/spots.db", "/cache.db", "/reactielijst.db"})
        QVERIFY2(QFile::exists(dataDir() + QLatin1String(file)), file);
    QCOMPARE(schemaOf(store.spotsDatabase()),
             QStringList({
                 QStringLiteral("CREATE TABLE spots(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,"
                                "spotdate INT,title VARCHAR(255),spotter VARCHAR(255),tag VARCHAR(255),"
                                "othercats VARCHAR(255),msgid VARCHAR(255) )"),
                 QStringLiteral("CREATE INDEX catidx ON spots(cat)"),
                 QStringLiteral("CREATE INDEX subcatidx ON spots(subcat)"),
                 QStringLiteral("CREATE INDEX tagidx ON spots(tag)"),
                 QStringLiteral("CREATE INDEX dateidx ON spots(spotdate)"),
                 QStringLiteral("CREATE TABLE erospots(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,"
                                "spotdate INT,title VARCHAR(255),spotter VARCHAR(255),tag VARCHAR(255),"
                                "othercats VARCHAR(255),msgid VARCHAR(255) )"),
                 QStringLiteral("CREATE INDEX ecatidx ON erospots(cat)"),
                 QStringLiteral("CREATE INDEX esubcatidx ON erospots(subcat)"),
                 QStringLiteral("CREATE INDEX etagidx ON erospots(tag)"),
                 QStringLiteral("CREATE INDEX edateidx ON erospots(spotdate)"),
             }));
    QCOMPARE(schemaOf(store.cache().database()),
             QStringList({
                 QStringLiteral("CREATE TABLE cache(id VARCHAR(255) PRIMARY KEY,dateadded INT,data BLOB )"),
                 QStringLiteral("CREATE INDEX dateidx ON cache(dateadded)"),
             }));
    QCOMPARE(schemaOf(store.commentIndex().database()),
             QStringList{QStringLiteral("CREATE TABLE msgnrs(post VARCHAR(255) PRIMARY KEY,nrs BLOB)")});
}

void TestSpotStore::checkpointWaitsForNoReader_data()
{
    QTest::addColumn<Reader>("reader");
    QTest::addColumn<bool>("copied");
    QTest::newRow("no-reader") << Reader::None << true;
    // The log cannot be emptied, but the file holds everything the reader could want.
    QTest::newRow("reader-since-after-the-commit") << Reader::SinceAfterTheCommit << true;
    QTest::newRow("reader-since-before-the-commit") << Reader::SinceBeforeTheCommit << false;
}

// A reader of the log (the list index's builder) keeps the window's thread waiting for
// nothing: Qt's busy time-out would be five seconds.
void TestSpotStore::checkpointWaitsForNoReader()
{
    QFETCH(Reader, reader);
    QFETCH(bool, copied);
    SpotStore store;
    const QSqlDatabase db = store.spotsDatabase();
    {
        QSqlDatabase readerDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        readerDb.setDatabaseName(dataDir() + QLatin1String("/spots.db"));
        QVERIFY(readerDb.open());
        const auto beginReading = [&] {
            QVERIFY(readerDb.transaction());
            QCOMPARE(scalar(readerDb, QStringLiteral("SELECT count(*) FROM spots")).isValid(), true);
        };
        if (reader == Reader::SinceBeforeTheCommit)
            beginReading();
        const SpotRecord spot{1, 100, 1298000000, QByteArray("Titel"), "p", QVariant(), "k", ""};
        QCOMPARE(store.spots().insertSpot(SpotTable::Spots, spot), InsertResult::Inserted);
        if (reader == Reader::SinceAfterTheCommit)
            beginReading();

        QElapsedTimer waited;
        waited.start();
        QCOMPARE(SqlFile::checkpoint(db), copied);
        QVERIFY2(waited.elapsed() < 2000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(scalar(db, QStringLiteral("PRAGMA busy_timeout")).toInt(), 5000);
        if (reader != Reader::None)
            QVERIFY(readerDb.commit());
        readerDb.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    QVERIFY(SqlFile::checkpoint(db));
    QCOMPARE(QFileInfo(dataDir() + QLatin1String("/spots.db-wal")).size(), 0);
}

void TestSpotStore::connectionsAreDurable()
{
    SpotStore store;
    for (const QSqlDatabase &db : {store.spotsDatabase(), store.cache().database(), store.commentIndex().database()}) {
        QCOMPARE(scalar(db, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        QCOMPARE(scalar(db, QStringLiteral("PRAGMA synchronous")).toInt(), 2); // FULL
    }
}

void TestSpotStore::qtRunsTheLinkedSqlite()
{
    SpotStore store;
    QVERIFY(sameSqliteLibrary(store.spotsDatabase()));
    QVERIFY(!sameSqliteLibrary(QSqlDatabase()));
}

void TestSpotStore::oldSpotsFileIsMigrated()
{
    writeOldSpotsFile({oldSpotsTable});
    SpotStore store;
    const QSqlDatabase db = store.spotsDatabase();

    QVERIFY(db.record(QStringLiteral("spots")).contains(QStringLiteral("othercats")));
    QCOMPARE(column(db, QStringLiteral("SELECT id FROM spots ORDER BY id")), QVariantList({1, 3}));
    QCOMPARE(column(db,
                    QStringLiteral("SELECT id || ' ' || cat || ' ' || subcat || ' ' || spotdate || ' ' || "
                                   "title || ' ' || spotter || ' ' || msgid || ' ' || typeof(othercats) "
                                   "FROM erospots ORDER BY id")),
             QVariantList({QStringLiteral("2 9 900 1298000002 t2 p2 m2 null"),
                           QStringLiteral("4 9 900 1298000004 t4 p4 m4 null")}));
}

void TestSpotStore::failedMigrationLeavesTheFileAsItWas_data()
{
    QTest::addColumn<QStringList>("schema");
    QTest::newRow("copy-without-tag-column") << QStringList{untaggedSpotsTable};
    QTest::newRow("index-name-of-erotic-table-taken")
        << QStringList{oldSpotsTable, QStringLiteral("CREATE INDEX ecatidx ON spots(cat)")};
}

// The program does not start on a file that it cannot migrate: a download would fetch its
// spots into tables that cannot take them.
void TestSpotStore::failedMigrationLeavesTheFileAsItWas()
{
    QFETCH(QStringList, schema);
    writeOldSpotsFile(schema);
    const auto readFile = [] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(dataDir() + QLatin1String("/spots.db"));
        db.open();
        const QVariantList file{schemaOf(db),
                                column(db, QStringLiteral("SELECT id || ' ' || cat FROM spots ORDER BY id"))};
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        return file;
    };
    const QVariantList before = readFile();

    try {
        SpotStore store;
        QFAIL("the store opened");
    } catch (const DatabaseSetupError &error) {
        QCOMPARE(error.message(), QStringLiteral("Fout bij openen spots database"));
    }
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    QCOMPARE(readFile(), before);
    QCOMPARE(before.at(1).toStringList(),
             QStringList({QStringLiteral("1 1"), QStringLiteral("2 9"), QStringLiteral("3 2"), QStringLiteral("4 9")}));
}

void TestSpotStore::tableExistsMatchesAnySchemaObject()
{
    SpotStore store;
    QVERIFY(SqlFile::tableExists(store.spotsDatabase(), QStringLiteral("spots")));
    QVERIFY(SqlFile::tableExists(store.spotsDatabase(), QStringLiteral("catidx")));
    QVERIFY(SqlFile::tableExists(store.cache().database(), QStringLiteral("dateidx")));
    QVERIFY(!SqlFile::tableExists(store.cache().database(), QStringLiteral("spots")));
    QVERIFY(!SqlFile::tableExists(store.commentIndex().database(), QStringLiteral("'msgnrs' OR 1=1")));
}

void TestSpotStore::setupFailure_data()
{
    QTest::addColumn<QString>("obstacle"); // relative to the data directory
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<QString>("message");

    QTest::newRow("data-directory-is-a-file") << QString() << false << QStringLiteral("Fout bij aanmaken database map");
    QTest::newRow("spots-db-is-a-directory")
        << QStringLiteral("/spots.db") << true << QStringLiteral("Fout bij openen spots database");
    QTest::newRow("spots-db-is-no-database")
        << QStringLiteral("/spots.db") << false << QStringLiteral("Fout bij openen spots database");
    QTest::newRow("cache-db-is-a-directory")
        << QStringLiteral("/cache.db") << true << QStringLiteral("Fout bij openen cache database");
    QTest::newRow("reactielijst-db-is-a-directory")
        << QStringLiteral("/reactielijst.db") << true << QStringLiteral("Fout bij openen reactielijst database");
}

void TestSpotStore::setupFailure()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, isDirectory);
    QFETCH(QString, message);

    const QString path = dataDir() + obstacle;
    QDir().mkpath(QFileInfo(path).path());
    if (isDirectory) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1024, 'x'));
    }

    try {
        SpotStore store;
        QFAIL("the store opened");
    } catch (const DatabaseSetupError &error) {
        QCOMPARE(error.message(), message);
    }
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
}

void TestSpotStore::commentNumbers_data()
{
    QTest::addColumn<QVariant>("storedNrs"); // null: no row for the key
    QTest::addColumn<QList<quint32>>("numbers");

    QTest::newRow("no-row") << QVariant() << QList<quint32>();
    QTest::newRow("empty-blob") << QVariant(QByteArray("")) << QList<quint32>();
    QTest::newRow("several-numbers") << QVariant(QByteArray::fromHex("0000000a000000140000012c"))
                                     << QList<quint32>{10, 20, 300};
    QTest::newRow("number-above-2^31") << QVariant(QByteArray::fromHex("80000001fffffffe"))
                                       << QList<quint32>{2147483649u, 4294967294u};
    QTest::newRow("partial-number-at-the-end") << QVariant(QByteArray::fromHex("0000000100ff")) << QList<quint32>{1};
}

void TestSpotStore::commentNumbers()
{
    QFETCH(QVariant, storedNrs);
    QFETCH(QList<quint32>, numbers);

    SpotStore store;
    QSqlQuery query(store.commentIndex().database());
    query.prepare(QStringLiteral("INSERT INTO msgnrs(post,nrs) VALUES (?,?)"));
    query.bindValue(0, QStringLiteral("other"));
    query.bindValue(1, QByteArray::fromHex("00000063"));
    QVERIFY(query.exec());
    if (!storedNrs.isNull()) {
        query.bindValue(0, QStringLiteral("abc"));
        query.bindValue(1, storedNrs);
        QVERIFY(query.exec());
    }

    QCOMPARE(store.commentIndex().commentNumbers(QStringLiteral("abc")), numbers);
}

void TestSpotStore::insertedSpotKeepsBoundKinds()
{
    SpotStore store;
    SpotRecord spot{3, 312, 1298000000, QByteArray("Mijn titel"), "poster", QStringLiteral(""), "key", "a01b04"};
    QCOMPARE(store.spots().insertSpot(SpotTable::Spots, spot), InsertResult::Inserted);
    spot.title = QStringLiteral("HalloWereld");
    spot.tag = QByteArray("mijntag");
    spot.cat = 9;
    QCOMPARE(store.spots().insertSpot(SpotTable::EroticSpots, spot), InsertResult::Inserted);

    const QString kinds = QStringLiteral("SELECT typeof(cat) || typeof(subcat) || typeof(spotdate) || typeof(title) "
                                         "|| typeof(spotter) || typeof(tag) || typeof(msgid) || typeof(othercats) "
                                         "FROM %1");
    QCOMPARE(scalar(store.spotsDatabase(), kinds.arg(QLatin1String("spots"))).toString(),
             QStringLiteral("integerintegerintegerblobblobtextblobblob"));
    QCOMPARE(scalar(store.spotsDatabase(), kinds.arg(QLatin1String("erospots"))).toString(),
             QStringLiteral("integerintegerintegertextblobblobblobblob"));
}

void TestSpotStore::insertResult_data()
{
    QTest::addColumn<SpotTable>("table");
    QTest::addColumn<Obstacle>("obstacle");
    QTest::addColumn<DuplicateCheck>("duplicate");
    QTest::addColumn<InsertResult>("result");

    QTest::newRow("stored") << SpotTable::EroticSpots << Obstacle::None << DuplicateCheck::Unique
                            << InsertResult::Inserted;
    QTest::newRow("erotic-table-name-taken-by-an-index")
        << SpotTable::EroticSpots << Obstacle::EroticNameTaken << DuplicateCheck::Failed << InsertResult::Unavailable;
    QTest::newRow("spots-table-without-othercats")
        << SpotTable::Spots << Obstacle::SpotsWithoutOtherCats << DuplicateCheck::Unique << InsertResult::Unavailable;
    QTest::newRow("write-refused") << SpotTable::Spots << Obstacle::ReadOnlyConnection << DuplicateCheck::Unique
                                   << InsertResult::Failed;
}

void TestSpotStore::insertResult()
{
    QFETCH(SpotTable, table);
    QFETCH(Obstacle, obstacle);
    QFETCH(DuplicateCheck, duplicate);
    QFETCH(InsertResult, result);

    if (obstacle == Obstacle::EroticNameTaken)
        writeOldSpotsFile({oldSpotsTable, QStringLiteral("CREATE INDEX erospots ON spots(cat)")});
    else if (obstacle == Obstacle::SpotsWithoutOtherCats)
        writeOldSpotsFile({oldSpotsTable, eroticTable});
    SpotStore store;
    if (obstacle == Obstacle::ReadOnlyConnection)
        QVERIFY(QSqlQuery(store.spotsDatabase()).exec(QStringLiteral("PRAGMA query_only=ON")));
    const qint64 before = store.spots().spotCount();

    const SpotRecord spot{9, 900, 1298000000, QByteArray("Mijn titel"), "p", QStringLiteral(""), "k", ""};
    QCOMPARE(store.spots().checkDuplicate(table, spot.spotDate, spot.title), duplicate);
    QCOMPARE(store.spots().insertSpot(table, spot), result);
    QCOMPARE(store.spots().spotCount(), before + (result == InsertResult::Inserted ? 1 : 0));
    // The statements stay usable after a failure.
    QCOMPARE(store.spots().checkDuplicate(table, spot.spotDate, spot.title),
             result == InsertResult::Inserted ? DuplicateCheck::Duplicate : duplicate);
}

void TestSpotStore::duplicateCheck_data()
{
    QTest::addColumn<SpotTable>("table");
    QTest::addColumn<qint64>("spotDate");
    QTest::addColumn<QVariant>("title");
    QTest::addColumn<DuplicateCheck>("result");

    const qint64 date = 1298000000;
    QTest::newRow("same-date-and-title") << SpotTable::Spots << date << QVariant(QByteArray("Mijn titel"))
                                         << DuplicateCheck::Duplicate;
    QTest::newRow("title-as-text") << SpotTable::Spots << date << QVariant(QStringLiteral("Mijn titel"))
                                   << DuplicateCheck::Duplicate;
    QTest::newRow("title-in-other-case") << SpotTable::Spots << date << QVariant(QByteArray("MIJN TITEL"))
                                         << DuplicateCheck::Duplicate;
    QTest::newRow("utf8-title") << SpotTable::Spots << date << QVariant(QByteArray("Caf\xc3\xa9 \xc3\xa9\xc3\xa9n"))
                                << DuplicateCheck::Duplicate;
    QTest::newRow("wildcards-match") << SpotTable::Spots << date << QVariant(QByteArray("Mijn_t%"))
                                     << DuplicateCheck::Duplicate;
    QTest::newRow("other-date") << SpotTable::Spots << date + 1 << QVariant(QByteArray("Mijn titel"))
                                << DuplicateCheck::Unique;
    QTest::newRow("other-title") << SpotTable::Spots << date << QVariant(QByteArray("Mijn titel 2"))
                                 << DuplicateCheck::Unique;
    QTest::newRow("other-table") << SpotTable::EroticSpots << date << QVariant(QByteArray("Mijn titel"))
                                 << DuplicateCheck::Unique;
}

void TestSpotStore::duplicateCheck()
{
    QFETCH(SpotTable, table);
    QFETCH(qint64, spotDate);
    QFETCH(QVariant, title);
    QFETCH(DuplicateCheck, result);

    SpotStore store;
    // Titles stored both ways, as the header download stores them.
    QCOMPARE(store.spots().insertSpot(SpotTable::Spots,
                                      {1, 100, 1298000000, QByteArray("Mijn titel"), "p", QStringLiteral(""), "k", ""}),
             InsertResult::Inserted);
    QCOMPARE(store.spots().insertSpot(
                 SpotTable::Spots,
                 {1, 100, 1298000000, QStringLiteral("Caf\u00e9 \u00e9\u00e9n"), "p", QStringLiteral(""), "k2", ""}),
             InsertResult::Inserted);
    QCOMPARE(store.spots().checkDuplicate(table, spotDate, title), result);
    // The prepared statement is re-run with new values.
    QCOMPARE(store.spots().checkDuplicate(table, spotDate, title), result);
}

void TestSpotStore::executedStatementsDoNotBlockCompaction()
{
    SpotStore store;
    leaveFreePages(store.spotsDatabase(), QStringLiteral("spots"), QStringLiteral("title"));
    leaveFreePages(store.commentIndex().database(), QStringLiteral("msgnrs"), QStringLiteral("nrs"));
    QCOMPARE(store.spots().insertSpot(SpotTable::Spots,
                                      {1, 100, 1298000000, QStringLiteral("t"), "p", QStringLiteral(""), "k", ""}),
             InsertResult::Inserted);
    QSqlQuery query(store.commentIndex().database());
    QVERIFY(query.exec(QStringLiteral("INSERT INTO msgnrs(post,nrs) VALUES ('k',x'00000001')")));
    QVERIFY(freePages(store.spotsDatabase()) > 0);
    QVERIFY(freePages(store.commentIndex().database()) > 0);

    QCOMPARE(store.spots().checkDuplicate(SpotTable::Spots, 1298000000, QVariant(QStringLiteral("t"))),
             DuplicateCheck::Duplicate);
    QCOMPARE(store.commentIndex().commentNumbers(QStringLiteral("k")), QList<quint32>{1});
    store.optimize();

    QCOMPARE(freePages(store.spotsDatabase()), 0);
    QCOMPARE(freePages(store.commentIndex().database()), 0);
}

void TestSpotStore::failedCommentIndexWriteKeepsTheOldIndex()
{
    SpotStore store;
    const QSqlDatabase db = store.commentIndex().database();
    QVERIFY(
        store.commentIndex().writeCommentIndex({{QStringLiteral("kept"), {1, 2}}, {QStringLiteral("spot000"), {7}}}));
    const QString contents = QStringLiteral("SELECT post || ' ' || hex(nrs) FROM msgnrs ORDER BY post");
    const QVariantList before = column(db, contents);

    // About 400 KB, of which only the first rows fit in the few pages the file may still grow by.
    QMap<QString, QList<quint32>> numbersBySpot;
    for (int spot = 0; spot < 400; ++spot)
        numbersBySpot.insert(QStringLiteral("spot%1").arg(spot, 3, 10, QLatin1Char('0')), QList<quint32>(250, spot));
    const int pages = scalar(db, QStringLiteral("PRAGMA page_count")).toInt();
    QCOMPARE(scalar(db, QStringLiteral("PRAGMA max_page_count=%1").arg(pages + 4)).toInt(), pages + 4);

    QVERIFY(!store.commentIndex().writeCommentIndex(numbersBySpot));
    QCOMPARE(column(db, contents), before);

    QVERIFY(scalar(db, QStringLiteral("PRAGMA max_page_count=1000000")).toInt() > pages + 4);
    QVERIFY(store.commentIndex().writeCommentIndex(numbersBySpot));
    QCOMPARE(scalar(db, QStringLiteral("SELECT count(*) FROM msgnrs")).toInt(), 401);
    QCOMPARE(store.commentIndex().commentNumbers(QStringLiteral("spot000")), QList<quint32>(250, 0));
    QCOMPARE(store.commentIndex().commentNumbers(QStringLiteral("spot399")), QList<quint32>(250, 399));
    QCOMPARE(store.commentIndex().commentNumbers(QStringLiteral("kept")), (QList<quint32>{1, 2}));
}

void TestSpotStore::articleRoundTrip_data()
{
    QTest::addColumn<QByteArray>("article");
    QTest::addColumn<qsizetype>("sizeLimit");

    QByteArray everyByte;
    for (int round = 0; round < 4; ++round) {
        for (int byte = 0; byte < 256; ++byte)
            everyByte.append(char(byte));
    }
    QTest::newRow("binary") << everyByte + QByteArray("\r\n.\r\n") << ZlibStream::defaultOutputLimit;
    QTest::newRow("empty") << QByteArray() << ZlibStream::defaultOutputLimit;
    QTest::newRow("20-mb-article") << randomBytes(20 * 1024 * 1024) << ZlibStream::defaultOutputLimit;
    QTest::newRow("exactly-at-the-bound") << QByteArray(1024 * 1024, '\0') << qsizetype(1024 * 1024);
}

void TestSpotStore::articleRoundTrip()
{
    QFETCH(QByteArray, article);
    QFETCH(qsizetype, sizeLimit);

    SpotStore store;
    store.cache().storeArticle("part1of1@example", article);
    const std::optional<QByteArray> cached = store.cache().cachedArticle("part1of1@example", sizeLimit);
    QVERIFY(cached);
    QVERIFY(*cached == article);
}

void TestSpotStore::storedArticleRow()
{
    SpotStore store;
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    store.cache().storeArticle("12345", "Subject: x\r\n\r\nbody\r\n.\r\n");
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    QSqlQuery query(store.cache().database());
    QVERIFY(query.exec(QStringLiteral("SELECT typeof(id), dateadded, data FROM cache")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("blob"));
    QVERIFY(query.value(1).toLongLong() >= before && query.value(1).toLongLong() <= after);
    QCOMPARE(query.value(2).toByteArray().left(2), QByteArray("\x78\x9c")); // zlib header of level 6
}

void TestSpotStore::storedArticleKeepsFirstCopy()
{
    SpotStore store;
    store.cache().storeArticle("a@b", "first");
    store.cache().storeArticle("a@b", "second");
    QCOMPARE(store.cache().cachedArticle("a@b").value_or("none"), QByteArray("first"));
}

void TestSpotStore::cachedArticleRefused_data()
{
    QTest::addColumn<QVariant>("storedData"); // null: no row
    QTest::addColumn<qsizetype>("sizeLimit");
    QTest::addColumn<QByteArray>("afterStore"); // read within the default bound once a fresh copy was stored

    const QByteArray zeros(1024 * 1024, '\0');
    const QByteArray bomb = ZlibStream::deflateZlib(zeros);
    const QByteArray fresh("fresh");
    QTest::newRow("no-row") << QVariant() << ZlibStream::defaultOutputLimit << fresh;
    // Within the default bound the row is good, and keeps its first article.
    QTest::newRow("inflates-past-the-bound") << QVariant(bomb) << qsizetype(64 * 1024) << zeros;
    QTest::newRow("one-byte-past-the-bound") << QVariant(bomb) << qsizetype(1024 * 1024 - 1) << zeros;
    QTest::newRow("no-zlib-stream") << QVariant(QByteArray("plain text")) << ZlibStream::defaultOutputLimit << fresh;
    QTest::newRow("stream-cut-short") << QVariant(bomb.left(bomb.size() - 4)) << ZlibStream::defaultOutputLimit
                                      << fresh;
}

void TestSpotStore::cachedArticleRefused()
{
    QFETCH(QVariant, storedData);
    QFETCH(qsizetype, sizeLimit);
    QFETCH(QByteArray, afterStore);

    SpotStore store;
    if (!storedData.isNull()) {
        QSqlQuery query(store.cache().database());
        query.prepare(QStringLiteral("INSERT INTO cache(id,dateadded,data) VALUES (?,0,?)"));
        query.addBindValue(QByteArray("x@y"));
        query.addBindValue(storedData);
        QVERIFY(query.exec());
    }
    QVERIFY(!store.cache().cachedArticle("x@y", sizeLimit));

    // As after fetching it from the server.
    store.cache().storeArticle("x@y", "fresh");
    QVERIFY(store.cache().cachedArticle("x@y").value_or("none") == afterStore);
}

TARNWICK_TEST_MAIN(TestSpotStore)
#include "tst_spotstore.moc"
