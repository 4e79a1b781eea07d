// The comment index end to end: References lines of free.usenet become number lists per
// spot in reactielijst.db.
#include "syncsession.h"
#include "testmain.h"

namespace {

using References = QMap<qint64, QByteArray>;

const QString countIndexedSpots = QStringLiteral("SELECT count(*) FROM msgnrs");

} // namespace

class TestCommentIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void numberLists_data();
    void numberLists();
    void progressNumbers();
    void rangesWithoutComments_data();
    void rangesWithoutComments();
    void commentsCachedByNumberGoWithTheIndex_data();
    void commentsCachedByNumberGoWithTheIndex();

private:
    // free.pt has nothing new: every cycle goes straight to the comment group.
    void serveComments(qint64 low, qint64 high, const References &references);

    std::unique_ptr<SyncSession> session;
};

void TestCommentIndex::init()
{
    session = std::make_unique<SyncSession>();
}

void TestCommentIndex::cleanup()
{
    endSession(session);
}

void TestCommentIndex::serveComments(qint64 low, qint64 high, const References &references)
{
    session->server.addGroup(Tarnwick::spotGroup, 1, 0);
    session->server.addGroup(Tarnwick::commentGroup, low, high);
    for (auto entry = references.cbegin(); entry != references.cend(); ++entry)
        session->server.addReferences(Tarnwick::commentGroup, entry.key(), entry.value());
}

void TestCommentIndex::numberLists_data()
{
    QTest::addColumn<QByteArray>("storedHex");
    QTest::addColumn<References>("references");
    QTest::addColumn<QByteArray>("expectedHex");
    QTest::addColumn<QList<quint32>>("numbers");
    QTest::addColumn<qint64>("lastIndexed");

    const QByteArray abc = reference("abc");
    QTest::newRow("appends-to-stored-numbers")
        << QByteArray("0000000a00000014") << References{{35, abc}, {36, abc}}
        << QByteArray("0000000a000000140000002300000024") << QList<quint32>{10, 20, 35, 36} << 36LL;
    QTest::newRow("first-comment") << QByteArray() << References{{300, abc}} << QByteArray("0000012c")
                                   << QList<quint32>{300} << 300LL;
    // A range indexed again (the program ended between storing the index and its position)
    // appends nothing twice; the position still moves on.
    QTest::newRow("range-indexed-again") << QByteArray("0000012c00000130") << References{{300, abc}, {304, abc}}
                                         << QByteArray("0000012c00000130") << QList<quint32>{300, 304} << 304LL;
    QTest::newRow("partly-indexed-range") << QByteArray("0000012c") << References{{300, abc}, {301, abc}}
                                          << QByteArray("0000012c0000012d") << QList<quint32>{300, 301} << 301LL;
    // Serial arithmetic: the low 32 bits of a later article may be smaller.
    QTest::newRow("wrapped-low-bits") << QByteArray("ffffffff") << References{{0x100000002LL, abc}}
                                      << QByteArray("ffffffff00000002") << QList<quint32>{0xffffffffU, 2}
                                      << 0x100000002LL;
    QTest::newRow("too-short-reference-ignored") << QByteArray() << References{{300, abc}, {301, "<a@free.pt>"}}
                                                 << QByteArray("0000012c") << QList<quint32>{300} << 300LL;
    QTest::newRow("foreign-reference-ignored")
        << QByteArray() << References{{300, abc}, {301, "<abcdefgh@other.example>"}} << QByteArray("0000012c")
        << QList<quint32>{300} << 300LL;
    // Stored as the low 32 bits, read back unsigned: the same article number again.
    QTest::newRow("number-above-2^31") << QByteArray() << References{{3000000000LL, abc}} << QByteArray("b2d05e00")
                                       << QList<quint32>{3000000000U} << 3000000000LL;
}

void TestCommentIndex::numberLists()
{
    QFETCH(QByteArray, storedHex);
    QFETCH(References, references);
    QFETCH(QByteArray, expectedHex);
    QFETCH(QList<quint32>, numbers);
    QFETCH(qint64, lastIndexed);

    serveComments(references.firstKey(), references.lastKey(), references);
    Tarnwick &controller = session->create();
    if (!storedHex.isEmpty()) {
        QCOMPARE(selectRows("commentlist", QStringLiteral("INSERT INTO msgnrs(post,nrs) VALUES (?,?)"),
                            {QStringLiteral("abc"), QByteArray::fromHex(storedHex)}),
                 QList<QVariantList>());
    }
    controller.connectToServer();
    QVERIFY(session->waitForCycle());

    QCOMPARE(selectRows("commentlist", QStringLiteral("SELECT post,typeof(post),typeof(nrs),hex(nrs) FROM msgnrs")),
             QList<QVariantList>({{QStringLiteral("abc"), QStringLiteral("text"), QStringLiteral("blob"),
                                   QString::fromLatin1(expectedHex.toUpper())}}));
    QCOMPARE(controller.commentNumbers(QStringLiteral("abc")), numbers);
    QCOMPARE(Settings::lastCommentsHeader(), lastIndexed);
}

// The notice shows the number of the last accepted line before the one at hand, whenever
// that is a multiple of 100, and 0 at the start of a range; once per number, however many
// lines that name no spot follow it.
void TestCommentIndex::progressNumbers()
{
    const QByteArray abc = reference("abc");
    const QByteArray foreign = "<abcdefgh@other.example>";
    serveComments(400, 700, {{450, abc}, {500, abc}, {501, foreign}, {502, foreign}, {700, abc}});
    session->start();
    QVERIFY(session->waitForCycle());
    QCOMPARE(session->notices,
             QStringList({QStringLiteral("Bezig met binnenhalen van nieuwe reactielijst"),
                          QStringLiteral("Headeren van reacties 0 van 700"),
                          QStringLiteral("Headeren van reacties 500 van 700"), SyncSession::cycleDone}));
}

void TestCommentIndex::rangesWithoutComments_data()
{
    QTest::addColumn<qint64>("high");
    QTest::addColumn<References>("references");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<qint64>("lastIndexed");

    QTest::newRow("empty-reply") << 200LL << References() << QList<QByteArray>{"XHDR References 101-200"} << 100LL;
    QTest::newRow("empty-second-range") << 60000LL << References{{1000, reference("abc")}}
                                        << QList<QByteArray>{"XHDR References 101-50101", "XHDR References 50102-60000"}
                                        << 1000LL;
}

// A range that adds nothing writes nothing and leaves the position; and no transaction of
// the comment index stays open after it.
void TestCommentIndex::rangesWithoutComments()
{
    QFETCH(qint64, high);
    QFETCH(References, references);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(qint64, lastIndexed);

    serveComments(1, high, references);
    session->configure({{Settings::Key::lastCommentsHeader, 100}});
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());

    QCOMPARE(session->commands("XHDR"), commands);
    QCOMPARE(Settings::lastCommentsHeader(), lastIndexed);
    QCOMPARE(countRows("commentlist", countIndexedSpots), references.size());

    const Observer observer(QStringLiteral("reactielijst.db"));
    QCOMPARE(observer.count(countIndexedSpots), references.size());
    controller.clearCommentIndex();
    QCOMPARE(observer.count(countIndexedSpots), 0);
}

void TestCommentIndex::commentsCachedByNumberGoWithTheIndex_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QVariantList>("idsLeft");

    const QVariantList messageIds{QByteArray("a1@free.pt"), QByteArray("n7@example")};
    QTest::newRow("comment-group-numbered-anew") << QStringLiteral("renumbered") << messageIds;
    QTest::newRow("new-server") << QStringLiteral("clear") << messageIds;
    QTest::newRow("delete-all") << QStringLiteral("delete") << QVariantList();
}

// A comment is cached under its number, which names another article once the index is
// built anew: a page would show another spot's comments.
void TestCommentIndex::commentsCachedByNumberGoWithTheIndex()
{
    QFETCH(QString, how);
    QFETCH(QVariantList, idsLeft);

    serveComments(1, 10, {{7, reference("spot1")}});
    if (how == QLatin1String("renumbered"))
        session->configure({{Settings::Key::lastCommentsHeader, 500000}});
    Tarnwick &controller = session->create();
    for (const QByteArray id : {"7", "12345", "a1@free.pt", "n7@example"})
        QCOMPARE(selectRows("cache", QStringLiteral("INSERT INTO cache(id,dateadded,data) VALUES (?,0,x'00')"), {id}),
                 QList<QVariantList>());

    if (how == QLatin1String("renumbered")) {
        controller.connectToServer();
        QVERIFY(session->waitForCycle());
        QCOMPARE(controller.commentNumbers(QStringLiteral("spot1")), QList<quint32>{7});
    } else if (how == QLatin1String("clear")) {
        controller.clearCommentIndex();
    } else {
        QVERIFY(controller.deleteAllSpots());
    }

    QList<QVariantList> left;
    for (const QVariant &id : idsLeft)
        left += QVariantList{id};
    QCOMPARE(selectRows("cache", QStringLiteral("SELECT id FROM cache ORDER BY id")), left);
}

TARNWICK_TEST_MAIN(TestCommentIndex)
#include "tst_commentindex.moc"
