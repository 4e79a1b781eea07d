// What may become part of a command line, and the client that holds to it: text from a
// poster or a server never sends a command of its own on the user's connection.
#include "nntpargument.h"
#include "nntptestbed.h"
#include "testmain.h"

#include <limits>

namespace {

// A message-id from a poster's XML whose character reference became a real CR LF.
const QByteArray injected = "x@free.pt>\r\nPOST\r\nSubject: spam\r\n\r\n.\r\nARTICLE <y@free.pt";

} // namespace

class TestNntpArgument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void articleId_data();
    void articleId();
    void groupName_data();
    void groupName();
    void range_data();
    void range();
    void unsafeIdsNeverSent_data();
    void unsafeIdsNeverSent();
    void unsafeGroupAndRangeNeverSent();
    void unsafePasswordNeverSent();
    void strayLinesHaveABoundOfTheirOwn_data();
    void strayLinesHaveABoundOfTheirOwn();

private:
    ClientTestBed bed;
};

void TestNntpArgument::init()
{
    QVERIFY(bed.start());
}

void TestNntpArgument::cleanup()
{
    CLIENT_TEST_CLEANUP(bed);
}

void TestNntpArgument::articleId_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain-message-id") << QByteArray("abc.123$%@free.pt") << true;
    QTest::newRow("cr") << QByteArray("a\r@free.pt") << false;
    QTest::newRow("lf") << QByteArray("a\n@free.pt") << false;
    QTest::newRow("nul") << QByteArray("a\0@free.pt", 10) << false;
    QTest::newRow("space") << QByteArray("a b@free.pt") << false;
    QTest::newRow("tab") << QByteArray("a\t@free.pt") << false;
    QTest::newRow("del") << QByteArray("a\x7f@free.pt") << false;
    QTest::newRow("eight-bit") << QByteArray("a\xe9@free.pt") << false;
    QTest::newRow("less-than") << QByteArray("a<b@free.pt") << false;
    QTest::newRow("greater-than") << QByteArray("a>b@free.pt") << false;
    QTest::newRow("command-injected") << injected << false;
    QTest::newRow("250-bytes") << QByteArray(242, 'a') + "@free.pt" << true;
    QTest::newRow("251-bytes") << QByteArray(243, 'a') + "@free.pt" << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("number") << QByteArray("3") << true;
    QTest::newRow("number-16-digits") << QByteArray(16, '9') << true;
    QTest::newRow("number-17-digits") << QByteArray(17, '9') << false;
    QTest::newRow("number-zero") << QByteArray("000") << false;
    QTest::newRow("number-negative") << QByteArray("-7") << false;
    QTest::newRow("number-with-text") << QByteArray("12 BODY") << false;
    QTest::newRow("no-at-no-number") << QByteArray("abc") << false;
}

void TestNntpArgument::articleId()
{
    QFETCH(QByteArray, id);
    QTEST(NntpArgument::isArticleId(id), "valid");
}

void TestNntpArgument::groupName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("spot-group") << QByteArray("free.pt") << true;
    QTest::newRow("line-break") << QByteArray("free.pt\r\nPOST") << false;
    QTest::newRow("blank") << QByteArray("free pt") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("251-bytes") << QByteArray(251, 'a') << false;
}

void TestNntpArgument::groupName()
{
    QFETCH(QByteArray, name);
    QTEST(NntpArgument::isGroupName(name), "valid");
}

void TestNntpArgument::range_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<bool>("valid");
    QTest::newRow("one-article") << 5LL << 5LL << true;
    QTest::newRow("reversed") << 5LL << 4LL << false;
    QTest::newRow("from-zero") << 0LL << 4LL << false;
    QTest::newRow("negative") << -7LL << 4LL << false;
    QTest::newRow("up-to-2^63-1") << 1LL << std::numeric_limits<qint64>::max() << true;
}

void TestNntpArgument::range()
{
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QTEST(NntpArgument::isRange(first, last), "valid");
}

void TestNntpArgument::unsafeIdsNeverSent_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<bool>("sent");
    QTest::newRow("cr") << QByteArray("a\r@free.pt") << false;
    QTest::newRow("lf") << QByteArray("a\n@free.pt") << false;
    QTest::newRow("nul") << QByteArray("a\0@free.pt", 10) << false;
    QTest::newRow("space") << QByteArray("a b@free.pt") << false;
    QTest::newRow("less-than") << QByteArray("a<b@free.pt") << false;
    QTest::newRow("greater-than") << QByteArray("a>b@free.pt") << false;
    QTest::newRow("251-bytes") << QByteArray(243, 'a') + "@free.pt" << false;
    QTest::newRow("command-injected") << injected << false;
    QTest::newRow("number-with-command") << QByteArray("3\r\nPOST") << false;
    QTest::newRow("plain-id") << TestCorpus::commentId << true;
}

// Refused ids are answered as missing without a byte on the wire, whether asked for while
// logged in or before; the connection stays in step and serves the next article.
void TestNntpArgument::unsafeIdsNeverSent()
{
    QFETCH(QByteArray, id);
    QFETCH(bool, sent);
    for (const bool beforeLogin : {true, false}) {
        ClientUnderTest &c = bed.makeClient();
        if (!beforeLogin)
            QVERIFY(c.logIn());
        c->fetchArticle(id);
        QVERIFY(QTest::qWaitFor([&] { return !c.articleData.isEmpty() || !c.articleNotFound.isEmpty(); }));
        if (sent) {
            QCOMPARE(c.articleData.takeFirst().at(0).toByteArray(), id);
            QCOMPARE(bed.server->receivedCommands().last(), "ARTICLE <" + id + '>');
            continue;
        }
        QCOMPARE(c.articleNotFound.takeFirst().at(0).toByteArray(), id);
        QVERIFY(c->isReady());
        QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>());
        QCOMPARE(c.loggedIn.count(), beforeLogin ? 0 : 1);

        c->fetchArticle(TestCorpus::commentId);
        QVERIFY(c.articleData.wait());
        QCOMPARE(c.articleData.takeFirst(), QVariantList({TestCorpus::commentId, TestCorpus::commentData}));
        QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>{"ARTICLE <" + TestCorpus::commentId + '>'});
        QCOMPARE(c.articleNotFound.count(), 0);
        QCOMPARE(bed.finish(), QStringList());
        QVERIFY(bed.start());
    }
}

// A group name or range that cannot be sent gets the answer of a server that has nothing:
// a group reply naming no group, a reply without lines.
void TestNntpArgument::unsafeGroupAndRangeNeverSent()
{
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup("free.pt\r\nPOST"));
    QCOMPARE(c.groupResponse.takeFirst(), QVariantList({QByteArray(), 0LL, 0LL}));
    QCOMPARE(c->currentGroup(), QByteArray());

    c->fetchOverview(5, 4);
    QVERIFY(c.waitForOverviewEnd());
    QCOMPARE(c.headerLines(), QList<QByteArray>{".\r\n"});
    c->fetchReferences(0, 4);
    QVERIFY(c.waitForReferencesEnd());
    QCOMPARE(c.referenceLines(), (QList<std::pair<qint64, QByteArray>>{{-1, "."}}));
    QVERIFY(c->isReady());
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>());

    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>{"GROUP free.pt"});
}

void TestNntpArgument::unsafePasswordNeverSent()
{
    ClientUnderTest &c = bed.makeClient(false, QStringLiteral("spotter"), QStringLiteral("geheim\r\nPOST"));
    c->login();
    QVERIFY(c.error.wait());
    QCOMPARE(c.error.takeFirst().at(0).toInt(), SpotNNTP::codeLoginUnsendable);
    QCOMPARE(c->state(), SpotNNTP::State::Disconnected);
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>{"AUTHINFO USER spotter"});
}

void TestNntpArgument::strayLinesHaveABoundOfTheirOwn_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("endless");
    QTest::newRow("xover-a-few") << QByteArray("XOVER") << false;
    QTest::newRow("xhdr-a-few") << QByteArray("XHDR") << false;
    QTest::newRow("xover-endless") << QByteArray("XOVER") << true;
    QTest::newRow("xhdr-endless") << QByteArray("XHDR") << true;
}

// A broken server adds lines of articles that were not asked for to a full range: they do
// not count as lines of the range, and only past a bound of their own end the reply.
void TestNntpArgument::strayLinesHaveABoundOfTheirOwn()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, endless);
    const bool overview = command == "XOVER";
    const auto line = [&](qint64 number) {
        return overview ? OverviewCorpus::line(number)
                        : QByteArray::number(number) + " <key" + QByteArray::number(number) + "@free.pt>\r\n";
    };
    QByteArray reply = overview ? "224 Overview information follows\r\n" : "221 References follow\r\n";
    QByteArray strays = line(-7) + line(1000003) + "x\tkapot\r\n";
    if (endless) {
        while (strays.size() <= SpotNNTP::maxStrayBytes)
            strays += strays;
    }
    reply += line(1) + strays + line(2) + line(3) + '.';
    bed.server->answer(command, reply);
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(overview ? TestCorpus::spotGroup : TestCorpus::commentGroup));

    overview ? c->fetchOverview(1, 3) : c->fetchReferences(1, 3);
    QVERIFY(QTest::qWaitFor([&] { return c->isReady() || !c.error.isEmpty(); }, 20000));
    if (endless) {
        QCOMPARE(c.error.takeFirst(),
                 QVariantList({SpotNNTP::codeReplyTooLarge,
                               QStringLiteral("Te groot antwoord van de Usenet server ontvangen (regels buiten het "
                                              "gevraagde bereik)")}));
        return;
    }
    if (overview) {
        QCOMPARE(c.headerLines(),
                 QList<QByteArray>({line(1), line(-7), line(1000003), "x\tkapot\r\n", line(2), line(3), ".\r\n"}));
    } else {
        // An XHDR line needs a number of at least 0: -7 and "x" are no lines.
        QCOMPARE(c.referenceLines(),
                 (QList<std::pair<qint64, QByteArray>>{{1, "<key1@free.pt>"},
                                                       {1000003, "<key1000003@free.pt>"},
                                                       {2, "<key2@free.pt>"},
                                                       {3, "<key3@free.pt>"},
                                                       {-1, "."}}));
    }
}

TARNWICK_TEST_MAIN(TestNntpArgument)
#include "tst_nntpargument.moc"
