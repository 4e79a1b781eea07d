// The download against servers that are unusual, broken or hostile, and against a disk
// that fills up: positions only ever move to what was really stored, and the next cycle
// ends with exactly the server's spots and comments.
#include "syncsession.h"
#include "testmain.h"

#include <limits>

namespace {

const QString countSpots = QStringLiteral("SELECT count(*) FROM spots");
const QString countIndexedSpots = QStringLiteral("SELECT count(*) FROM msgnrs");
constexpr qint64 lastPossible = std::numeric_limits<qint64>::max();

QByteArray keyOf(qint64 number)
{
    return "spot" + QByteArray::number(number);
}

bool setPageLimit(const char *connection, qint64 pages)
{
    QSqlQuery query(QSqlDatabase::database(QLatin1String(connection), false));
    return query.exec(QStringLiteral("PRAGMA max_page_count=%1").arg(pages));
}

} // namespace

class TestUnusualServers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void emptyFirstRanges();
    void renumberedGroups();
    void linesOutsideTheRange_data();
    void linesOutsideTheRange();
    void diskFull_data();
    void diskFull();

private:
    std::unique_ptr<SyncSession> session;
};

void TestUnusualServers::init()
{
    session = std::make_unique<SyncSession>();
}

void TestUnusualServers::cleanup()
{
    endSession(session);
}

// The oldest articles expired: no line in the first ranges is no provider without overview data.
void TestUnusualServers::emptyFirstRanges()
{
    session->server.addGroup(Tarnwick::spotGroup, 1, 120000);
    session->server.addGroup(Tarnwick::commentGroup, 1, 120000);
    session->addSpot(110000);
    session->addSpot(120000);
    session->configure({{Settings::Key::maxSpots, 200000}});
    session->start();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->commands("XOVER"),
             QList<QByteArray>({"XOVER 1-50001", "XOVER 50002-100002", "XOVER 100003-120000"}));
    QCOMPARE(countRows("spots", countSpots), 2);
    QCOMPARE(countRows("commentlist", countIndexedSpots), 2);
    QCOMPARE(Settings::lastHeader(), 120000);
}

// Positions above the group's last article: the provider numbered its groups anew. The
// newest spots come again (the duplicate test keeps the stored ones single) and the comment
// index, whose numbers name articles of the old numbering, is built anew.
void TestUnusualServers::renumberedGroups()
{
    session->serveSpots(1, 1000, 100);
    session->configure({{Settings::Key::lastHeader, 500000}, {Settings::Key::lastCommentsHeader, 500000}});
    Tarnwick &controller = session->create();
    QCOMPARE(selectRows("commentlist", QStringLiteral("INSERT INTO msgnrs(post,nrs) VALUES ('spot100',?)"),
                        {QByteArray::fromHex("0007a120")}),
             QList<QVariantList>());
    QCOMPARE(selectRows("spots", QStringLiteral("INSERT INTO spots(cat,spotdate,title,msgid) VALUES (2,?,?,?)"),
                        {1600000000 + 100 * 60, QByteArray("Spot 100"), keyOf(100)}),
             QList<QVariantList>());
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->noticesStartingWith(QStringLiteral("De Usenet server heeft")),
             QStringList({QStringLiteral("De Usenet server heeft de spots opnieuw genummerd, de nieuwste spots worden "
                                         "opnieuw binnengehaald"),
                          QStringLiteral("De Usenet server heeft de reacties opnieuw genummerd, de lijst met reacties "
                                         "wordt opnieuw opgebouwd")}));
    QCOMPARE(session->commands("X"), QList<QByteArray>({"XOVER 1-1000", "XHDR References 1-1000"}));
    QCOMPARE(countRows("spots", countSpots), 10);
    QCOMPARE(countRows("commentlist", countIndexedSpots), 10);
    QCOMPARE(controller.commentNumbers(QStringLiteral("spot100")), QList<quint32>{100});
    QCOMPARE(Settings::lastHeader(), 1000);
    QCOMPARE(Settings::lastCommentsHeader(), 1000);
}

void TestUnusualServers::linesOutsideTheRange_data()
{
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::addColumn<qint64>("lastDone");
    QTest::addColumn<QList<qint64>>("sent");
    QTest::addColumn<qint64>("lastStored");
    QTest::addColumn<int>("stored");

    QTest::newRow("above-the-range") << 1LL << 100LL << 0LL << QList<qint64>{50, 150} << 50LL << 1;
    QTest::newRow("below-the-range") << 1LL << 100LL << 40LL << QList<qint64>{10, 60} << 60LL << 1;
    QTest::newRow("not-a-number") << 1LL << 100LL << 0LL << QList<qint64>{0, 70} << 70LL << 1;
    // A broken server adds a few lines to a full range: the range's own lines are all stored.
    QList<qint64> fullRange{-7};
    for (qint64 number = 1; number <= 600; ++number)
        fullRange += number;
    fullRange += 1000600;
    QTest::newRow("a-full-range-and-strays") << 1LL << 600LL << 0LL << fullRange << 600LL << 600;
    // The last numbers there are: no range, position or percentage may overflow.
    QTest::newRow("up-to-2^63-1") << lastPossible - 807 << lastPossible << 0LL
                                  << QList<qint64>{lastPossible - 7, lastPossible} << lastPossible << 2;
}

// A broken or hostile server sends lines for articles that were not asked for: they are
// ignored, and the positions stay inside the range.
void TestUnusualServers::linesOutsideTheRange()
{
    QFETCH(qint64, low);
    QFETCH(qint64, high);
    QFETCH(qint64, lastDone);
    QFETCH(QList<qint64>, sent);

    QByteArray overview = "224 Overview information follows\r\n";
    QByteArray references = "221 References header follows\r\n";
    for (const qint64 number : sent) {
        const QByteArray field = number == 0 ? QByteArray("x") : QByteArray::number(number);
        overview += spotLine(number, "Spot " + QByteArray::number(number), 1600000000 + sent.indexOf(number), "2101a01",
                             keyOf(number))
                        .replace(0, QByteArray::number(number).size(), field)
            + "\r\n";
        references += field + ' ' + reference(keyOf(number)) + "\r\n";
    }
    session->server.addGroup(Tarnwick::spotGroup, low, high);
    session->server.addGroup(Tarnwick::commentGroup, low, high);
    session->server.answer("XOVER", overview + '.');
    session->server.answer("XHDR", references + '.');
    session->configure({{Settings::Key::lastHeader, lastDone}, {Settings::Key::lastCommentsHeader, lastDone}});
    session->start();
    QVERIFY(session->waitForCycle());

    QTEST(Settings::lastHeader(), "lastStored");
    QTEST(Settings::lastCommentsHeader(), "lastStored");
    QTEST(int(countRows("spots", countSpots)), "stored");
    QTEST(int(countRows("commentlist", countIndexedSpots)), "stored");
}

void TestUnusualServers::diskFull_data()
{
    QTest::addColumn<QByteArray>("connection");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<qint64>("spotsLeft");
    QTest::addColumn<qint64>("lastHeaderLeft");

    QTest::newRow("spots") << QByteArray("spots")
                           << QStringLiteral("Fout: headers konden niet in de database opgeslagen worden") << 0LL
                           << 0LL;
    QTest::newRow("comment-index") << QByteArray("commentlist")
                                   << QStringLiteral("Fout: reactielijst kon niet in de database opgeslagen worden")
                                   << 3000LL << 3000LL;
}

// The disk fills up in the middle of a range: nothing of it stays, the positions stay, and
// once there is room again the next cycle ends with exactly the server's spots.
void TestUnusualServers::diskFull()
{
    QFETCH(QByteArray, connection);
    QFETCH(QString, notice);

    session->serveSpots(1, 3000, 1);
    Tarnwick &controller = session->create();
    // No page more than the file has now.
    QVERIFY(setPageLimit(connection.constData(), 1));
    qint64 spots = -1, lastHeader = -1, index = -1, lastComments = -1;
    connect(&controller, &Tarnwick::notice, this, [&](int, const QString &text) {
        if (text != notice)
            return;
        spots = Observer(QStringLiteral("spots.db")).count(countSpots);
        lastHeader = Settings::lastHeader();
        index = Observer(QStringLiteral("reactielijst.db")).count(countIndexedSpots);
        lastComments = Settings::lastCommentsHeader();
        QVERIFY(setPageLimit(connection.constData(), 1 << 30));
    });
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->noticesStartingWith(QStringLiteral("Fout: ")), QStringList{notice});
    QTEST(spots, "spotsLeft");
    QTEST(lastHeader, "lastHeaderLeft");
    QCOMPARE(index, 0);
    QCOMPARE(lastComments, 0);

    QCOMPARE(countRows("spots", countSpots), 3000);
    QCOMPARE(countRows("spots", QStringLiteral("SELECT count(DISTINCT msgid) FROM spots")), 3000);
    QCOMPARE(countRows("commentlist", countIndexedSpots), 3000);
    QCOMPARE(countRows("commentlist", QStringLiteral("SELECT count(*) FROM msgnrs WHERE length(nrs)<>4")), 0);
    QCOMPARE(Settings::lastHeader(), 3000);
    QCOMPARE(Settings::lastCommentsHeader(), 3000);
}

TARNWICK_TEST_MAIN(TestUnusualServers)
#include "tst_unusualservers.moc"
