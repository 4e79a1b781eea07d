// Spot rows as a download stores them: the duplicate test against rows of the same and of
// an earlier download, the storage class of every column, and the new-spot counters.
#include "overviewcorpus.h"
#include "syncsession.h"
#include "testmain.h"

#include <QElapsedTimer>

namespace {

constexpr qint64 date = 1298000000;
const QByteArray eroticBlock = "9101";
const QByteArray ordinaryBlock = "2101a01";

const QString spotsWithOtherCats = QStringLiteral(
    "CREATE TABLE spots(id INTEGER PRIMARY KEY AUTOINCREMENT,cat INT,subcat INT,spotdate INT,title VARCHAR(255),"
    "spotter VARCHAR(255),tag VARCHAR(255),othercats VARCHAR(255),msgid VARCHAR(255) )");

// A spots.db of an older program whose tables the controller opens without changing.
void writeSpotsFile(const QStringList &schema)
{
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(QDir().mkpath(directory));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(directory + QLatin1String("/spots.db"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString &statement : schema)
            QVERIFY2(query.exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

} // namespace

class TestDownloadSpots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void duplicates_data();
    void duplicates();
    void storageClasses_data();
    void storageClasses();
    void realisticRedownloadAddsNothing();
    void tableThatCannotTakeSpotsKeepsThePosition_data();
    void tableThatCannotTakeSpotsKeepsThePosition();
    void positionWaitsForTheFileNotForItsReaders();

private:
    std::unique_ptr<SyncSession> session;
};

void TestDownloadSpots::init()
{
    session = std::make_unique<SyncSession>();
    // No comments: a cycle ends after the spot group.
    session->server.addGroup(Tarnwick::commentGroup, 1, 0);
}

void TestDownloadSpots::cleanup()
{
    endSession(session);
}

void TestDownloadSpots::duplicates_data()
{
    QTest::addColumn<QByteArray>("firstSubject");
    QTest::addColumn<QByteArray>("firstBlock");
    QTest::addColumn<QByteArray>("secondSubject");
    QTest::addColumn<QByteArray>("secondBlock");
    QTest::addColumn<qint64>("secondDate");
    QTest::addColumn<int>("spots");
    QTest::addColumn<int>("eroticSpots");

    const QByteArray o = ordinaryBlock;
    const QByteArray e = eroticBlock;
    QTest::newRow("same-title-and-tag") << QByteArray("Mijn titel | mijntag") << o << QByteArray("Mijn titel | mijntag")
                                        << o << date << 1 << 0;
    QTest::newRow("with-and-without-tag")
        << QByteArray("Mijn titel | mijntag") << o << QByteArray("Mijn titel") << o << date << 1 << 0;
    QTest::newRow("ascii-case-differs") << QByteArray("Mijn Titel | a") << o << QByteArray("mijn TITEL | b") << o
                                        << date << 1 << 0;
    QTest::newRow("utf8-bytes") << QByteArray("Caf\xc3\xa9 au lait | tag") << o
                                << QByteArray("Caf\xc3\xa9 au lait | tag") << o << date << 1 << 0;
    QTest::newRow("encoded-words") << QByteArray("=?UTF-8?B?SGFsbG8=?= =?UTF-8?B?V2VyZWxk?= | tag") << o
                                   << QByteArray("=?UTF-8?B?SGFsbG8=?= =?UTF-8?B?V2VyZWxk?= | tag") << o << date << 1
                                   << 0;
    QTest::newRow("encoded-word-and-its-text")
        << QByteArray("=?UTF-8?B?SGFsbG8=?=") << o << QByteArray("Hallo") << o << date << 1 << 0;
    QTest::newRow("erotic-twice") << QByteArray("Titel | tag") << e << QByteArray("Titel | tag") << e << date << 0 << 1;
    // LIKE semantics stay: "%" in the later title matches any text.
    QTest::newRow("percent-is-a-wildcard")
        << QByteArray("100X echt") << o << QByteArray("100% echt") << o << date << 1 << 0;
    QTest::newRow("different-date") << QByteArray("Mijn titel") << o << QByteArray("Mijn titel") << o << date + 1 << 2
                                    << 0;
    QTest::newRow("different-title") << QByteArray("Mijn titel") << o << QByteArray("Mijn titels") << o << date << 2
                                     << 0;
    // Only ASCII letters are compared without case.
    QTest::newRow("non-ascii-case-differs")
        << QByteArray("CAF\xc3\x89") << o << QByteArray("caf\xc3\xa9") << o << date << 2 << 0;
    QTest::newRow("other-table") << QByteArray("Titel") << o << QByteArray("Titel") << e << date << 1 << 1;
}

// The second line comes once in the same range as the first, and once more when the whole
// group is downloaded again (a new server): neither time may it be stored twice.
void TestDownloadSpots::duplicates()
{
    QFETCH(QByteArray, firstSubject);
    QFETCH(QByteArray, firstBlock);
    QFETCH(QByteArray, secondSubject);
    QFETCH(QByteArray, secondBlock);
    QFETCH(qint64, secondDate);
    QFETCH(int, spots);
    QFETCH(int, eroticSpots);

    session->server.addOverview(Tarnwick::spotGroup, 1, spotLine(1, firstSubject, date, firstBlock));
    session->server.addOverview(Tarnwick::spotGroup, 2, spotLine(2, secondSubject, secondDate, secondBlock));
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForHeaders());
    Settings::setLastHeader(0);
    QVERIFY(session->waitForHeaders(2));

    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), spots);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM erospots")), eroticSpots);
    QCOMPARE(controller.newSpotCount(), spots);
    QCOMPARE(controller.newEroticSpotCount(), eroticSpots);
    const QString total = QString::number(spots + eroticSpots);
    QCOMPARE(session->noticesStartingWith(SyncSession::headersDone),
             QStringList(2, QStringLiteral("Klaar met headeren... %1 nieuwe spots, %1 totaal.").arg(total)));
}

void TestDownloadSpots::storageClasses_data()
{
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QVariantList>("row");

    const QString integer = QStringLiteral("integer");
    const QString blob = QStringLiteral("blob");
    const QString text = QStringLiteral("text");
    // Per column the storage class and the value read as text: cat, subcat, spotdate,
    // title, spotter, tag, msgid, othercats.
    QTest::newRow("title-and-tag-are-bytes")
        << QByteArray("  Mijn titel | mijntag ") << ordinaryBlock << QStringLiteral("spots")
        << QVariantList{integer, 2,
                        integer, 201,
                        integer, date,
                        blob,    QStringLiteral("Mijn titel"),
                        blob,    QStringLiteral("Jan Spotter"),
                        blob,    QStringLiteral("mijntag"),
                        blob,    QStringLiteral("spot1"),
                        blob,    QStringLiteral("a01")};
    QTest::newRow("decoded-title-and-no-tag-are-text")
        << QByteArray("=?UTF-8?B?Q2Fmw6k=?=") << QByteArray("3112") << QStringLiteral("spots")
        << QVariantList{integer, 3,
                        integer, 312,
                        integer, date,
                        text,    QStringLiteral("Caf\u00e9"),
                        blob,    QStringLiteral("Jan Spotter"),
                        text,    QString(),
                        blob,    QStringLiteral("spot1"),
                        blob,    QString()};
    QTest::newRow("utf8-title-and-empty-tag-are-bytes")
        << QByteArray("Caf\xc3\xa9 |") << QByteArray("1101d24") << QStringLiteral("erospots")
        << QVariantList{integer, 9,
                        integer, 901,
                        integer, date,
                        blob,    QStringLiteral("Caf\u00e9"),
                        blob,    QStringLiteral("Jan Spotter"),
                        blob,    QString(),
                        blob,    QStringLiteral("spot1"),
                        blob,    QStringLiteral("d24")};
}

void TestDownloadSpots::storageClasses()
{
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, block);
    QFETCH(QString, table);
    QFETCH(QVariantList, row);

    session->server.addOverview(Tarnwick::spotGroup, 1, spotLine(1, subject, date, block));
    session->start();
    QVERIFY(session->waitForHeaders());

    QStringList columns;
    for (const char *column : {"cat", "subcat", "spotdate", "title", "spotter", "tag", "msgid", "othercats"})
        columns << QStringLiteral("typeof(%1),CAST(%1 AS TEXT)").arg(QLatin1String(column));
    const QList<QVariantList> rows
        = selectRows("spots", QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QLatin1Char(',')), table));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().size(), row.size());
    for (int i = 0; i < row.size(); ++i)
        QCOMPARE(rows.first().at(i).toString(), row.at(i).toString());
}

// Realistic lines ("title | tag", 530 bytes) and 1% reposts of an earlier spot under a new
// article number; a second download of the whole group stores nothing more.
void TestDownloadSpots::realisticRedownloadAddsNothing()
{
    session->server.addGroup(Tarnwick::spotGroup, 1, 2000);
    session->server.setOverviewSource(Tarnwick::spotGroup, [](qint64 number) {
        if (number % 100 != 7)
            return OverviewCorpus::line(number);
        const QByteArray earlier = OverviewCorpus::line(number - 5);
        return QByteArray::number(number) + earlier.mid(earlier.indexOf('\t'));
    });
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForHeaders());
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 1980);
    Settings::setLastHeader(0);
    QVERIFY(session->waitForHeaders(2));
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 1980);
    QCOMPARE(controller.newSpotCount(), 1980);
}

void TestDownloadSpots::tableThatCannotTakeSpotsKeepsThePosition_data()
{
    QTest::addColumn<QStringList>("schema");

    QTest::newRow("spots-without-othercats")
        << QStringList{QString(spotsWithOtherCats).remove(QLatin1String("othercats VARCHAR(255),")),
                       QString(spotsWithOtherCats).replace(QLatin1String("spots("), QLatin1String("erospots("))};
    QTest::newRow("erotic-table-name-taken-by-an-index")
        << QStringList{spotsWithOtherCats, QStringLiteral("CREATE INDEX erospots ON spots(cat)")};
}

// The range is rolled back whole and its position stays: the spots are fetched again at the
// next cycle instead of never. The ranges asked for behind it are read and dropped: the cycle
// fails once, after the last of them.
void TestDownloadSpots::tableThatCannotTakeSpotsKeepsThePosition()
{
    QFETCH(QStringList, schema);
    writeSpotsFile(schema);
    session->server.addGroup(Tarnwick::spotGroup, 1, 120000);
    for (const qint64 number : {1, 2, 3, 120000})
        session->server.addOverview(Tarnwick::spotGroup, number,
                                    spotLine(number, "Spot " + QByteArray::number(number), date + number,
                                             number == 2 ? eroticBlock : ordinaryBlock));
    Tarnwick &controller = session->create();
    const QString failed = QStringLiteral("Fout: headers konden niet in de database opgeslagen worden");
    QList<qsizetype> rangesAskedAtFailure;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (text == failed)
            rangesAskedAtFailure += session->commands("XOVER").size();
    });
    controller.connectToServer();

    QVERIFY(session->waitForNotice(failed, 2));
    const QList<QByteArray> cycle{"XOVER 1-50001", "XOVER 50002-100002", "XOVER 100003-120000"};
    QCOMPARE(session->commands("XOVER").mid(0, 6), cycle + cycle);
    QCOMPARE(rangesAskedAtFailure.mid(0, 2), QList<qsizetype>({3, 6}));
    QCOMPARE(Settings::lastHeader(), 0);
    QCOMPARE(controller.newSpotCount(), 0);
    const Observer observer(QStringLiteral("spots.db"));
    QCOMPARE(observer.count(QStringLiteral("SELECT count(*) FROM spots")), 0);
    QCOMPARE(session->noticesStartingWith(SyncSession::headersDone), QStringList());
}

// A reader of spots.db since before a range's commit (the list index's builder) keeps the
// range in the log: its position is saved at a later cycle, and the download does not wait.
void TestDownloadSpots::positionWaitsForTheFileNotForItsReaders()
{
    session->server.addGroup(Tarnwick::spotGroup, 1, 3);
    for (const qint64 number : {1, 2, 3})
        session->server.addOverview(Tarnwick::spotGroup, number, spotLine(number, "Spot", date + number));
    Tarnwick &controller = session->create();
    {
        const Observer reader(QStringLiteral("spots.db"));
        QSqlDatabase readerDb = QSqlDatabase::database(QStringLiteral("observer"), false);
        QVERIFY(readerDb.transaction());
        QCOMPARE(reader.count(QStringLiteral("SELECT count(*) FROM spots")), 0);
        QElapsedTimer cycle;
        cycle.start();
        controller.connectToServer();
        QVERIFY(session->waitForHeaders());
        QVERIFY2(cycle.elapsed() < 4000, qPrintable(QString::number(cycle.elapsed())));
        QCOMPARE(Settings::lastHeader(), 0);
        QVERIFY(readerDb.commit());
    }
    QVERIFY(session->waitForHeaders(2));
    QCOMPARE(Settings::lastHeader(), 3);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(*) FROM spots")), 3);
}

TARNWICK_TEST_MAIN(TestDownloadSpots)
#include "tst_downloadspots.moc"
