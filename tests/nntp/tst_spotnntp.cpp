#include "nntptestbed.h"
#include "testmain.h"
#include "yencencoder.h"

#include <memory>

// SpotNNTP against the in-process news server: the commands it sends, byte for byte, and
// the signals it gives for real replies, cut at every byte where it matters.
class TestSpotNNTP : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void login_data();
    void login();
    void group_data();
    void group();
    void overviewFormsAgree_data();
    void overviewFormsAgree();
    void referencesFormsAgree();
    void compressionRefused_data();
    void compressionRefused();
    void badCompressedData_data();
    void badCompressedData();
    void dotLineInsideCompressedData_data();
    void dotLineInsideCompressedData();
    void negativeReferenceNumberDropped_data();
    void negativeReferenceNumberDropped();
    void emptyRangeAs423_data();
    void emptyRangeAs423();
    void article_data();
    void article();
    void articleRequestedBeforeLogin();
    void missingArticle_data();
    void missingArticle();
    void head_data();
    void head();
    void terminatorSplits();
    void nextCommandFromSlot_data();
    void nextCommandFromSlot();

private:
    ClientTestBed bed;
};

void TestSpotNNTP::init()
{
    QVERIFY(bed.start());
}

void TestSpotNNTP::cleanup()
{
    CLIENT_TEST_CLEANUP(bed);
}

void TestSpotNNTP::login_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QByteArray>("authinfoReply");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QList<QByteArray>>("commands");
    const QByteArray greeting = NewsStatus::greeting;
    const QList<QByteArray> authinfo = {"AUTHINFO USER spotter", "AUTHINFO PASS geheim"};
    QTest::newRow("no-password") << greeting << QByteArray() << QString() << QList<QByteArray>();
    QTest::newRow("greeting-201") << QByteArray("201 news.example ready (no posting)") << QByteArray() << QString()
                                  << QList<QByteArray>();
    QTest::newRow("password") << greeting << QByteArray() << QStringLiteral("geheim") << authinfo;
    QTest::newRow("281-after-user") << greeting << QByteArray(NewsStatus::authenticated) << QStringLiteral("geheim")
                                    << authinfo;
}

void TestSpotNNTP::login()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, authinfoReply);
    QFETCH(QString, password);
    bed.server->setGreeting(greeting);
    if (!authinfoReply.isEmpty())
        bed.server->answer("AUTHINFO", authinfoReply); // a server that needs no password
    else if (!password.isEmpty())
        bed.server->requireLogin("spotter", password.toLatin1());
    if (!password.isEmpty()) {
        QTest::ignoreMessage(QtDebugMsg, R"(S: "AUTHINFO USER spotter")");
        QTest::ignoreMessage(QtDebugMsg, "Wachtwoord verzonden");
    }
    ClientUnderTest &c = bed.makeClient(false, QStringLiteral("spotter"), password);

    QVERIFY(c.logIn());
    QVERIFY(c->isReady());
    QTEST(bed.server->receivedCommands(), "commands");
    // Logged in for real: a reader command is accepted.
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    QCOMPARE(c.loggedIn.count(), 1);
}

void TestSpotNNTP::group_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::newRow("five-parts") << QByteArray() << QByteArray("free.pt") << 1LL << 3000LL;
    QTest::newRow("four-parts") << QByteArray("211 3000 1 3000") << QByteArray() << 0LL << 0LL;
    QTest::newRow("two-parts") << QByteArray("211 3000") << QByteArray() << 0LL << 0LL;
    QTest::newRow("other-case") << QByteArray("211 3 1 3 FREE.PT") << QByteArray("FREE.PT") << 1LL << 3LL;
    QTest::newRow("other-group") << QByteArray("211 3 1 3 free.usenet") << QByteArray("free.usenet") << 1LL << 3LL;
}

void TestSpotNNTP::group()
{
    QFETCH(QByteArray, reply);
    if (!reply.isEmpty())
        bed.server->answer("GROUP", reply);
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());

    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    QCOMPARE(c.groupResponse.count(), 1);
    QTEST(c.groupResponse.first().at(0).toByteArray(), "name");
    QTEST(c.groupResponse.first().at(1).toLongLong(), "low");
    QTEST(c.groupResponse.first().at(2).toLongLong(), "high");
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>{"GROUP free.pt"});
    // Only a reply that names the group asked for selects it.
    QCOMPARE(c->currentGroup(), reply.isEmpty() ? TestCorpus::spotGroup : QByteArray());
    QVERIFY(c->isReady());
}

void TestSpotNNTP::overviewFormsAgree_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::newRow("three-lines") << 1LL << 3LL;
    QTest::newRow("many-reads") << 1LL << 3000LL;
    QTest::newRow("empty-range") << 999990LL << 1000000LL;
}

void TestSpotNNTP::overviewFormsAgree()
{
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    ClientUnderTest &plain = bed.makeClient(false);
    ClientUnderTest &compressed = bed.makeClient(true);
    QVERIFY(plain.logIn());
    QVERIFY(compressed.logIn());

    QVERIFY(plain.overview(first, last));
    QVERIFY(compressed.overview(first, last));

    QList<QByteArray> expected;
    for (qint64 number = first; number <= std::min<qint64>(last, 3000); ++number)
        expected += OverviewCorpus::line(number);
    expected += ".\r\n";
    QCOMPARE(plain.headerLines(), expected);
    QCOMPARE(compressed.headerLines(), expected);
    const QByteArray range = QByteArray::number(first) + '-' + QByteArray::number(last);
    QCOMPARE(bed.server->receivedCommands(),
             QList<QByteArray>({"GROUP free.pt", "XOVER " + range, "GROUP free.pt", "XZVER " + range}));
    QVERIFY(plain->isReady());
    QVERIFY(compressed->isReady());
}

void TestSpotNNTP::referencesFormsAgree()
{
    ClientUnderTest &plain = bed.makeClient(false);
    ClientUnderTest &compressed = bed.makeClient(true);
    QVERIFY(plain.logIn());
    QVERIFY(compressed.logIn());

    QVERIFY(plain.references(1, 4));
    QVERIFY(compressed.references(1, 4));

    QCOMPARE(plain.referenceLines(), TestCorpus::commentReferences);
    QCOMPARE(compressed.referenceLines(), TestCorpus::commentReferences);
    QCOMPARE(
        bed.server->receivedCommands(),
        QList<QByteArray>({"GROUP free.usenet", "XHDR References 1-4", "GROUP free.usenet", "XZHDR References 1-4"}));
}

void TestSpotNNTP::compressionRefused_data()
{
    QTest::addColumn<bool>("overview");
    QTest::newRow("xzver") << true;
    QTest::newRow("xzhdr") << false;
}

void TestSpotNNTP::compressionRefused()
{
    QFETCH(bool, overview);
    bed.server->answer(overview ? "XZVER" : "XZHDR", NewsStatus::unknownCommand);
    QTest::ignoreMessage(QtDebugMsg, "Server kent geen gecomprimeerde headers, verder zonder compressie");
    ClientUnderTest &c = bed.makeClient(true);
    QVERIFY(c.logIn());

    QVERIFY(overview ? c.overview(1, 3) : c.references(1, 4));
    if (overview) {
        QCOMPARE(
            c.headerLines(),
            QList<QByteArray>({OverviewCorpus::line(1), OverviewCorpus::line(2), OverviewCorpus::line(3), ".\r\n"}));
        c->fetchOverview(4, 4);
        QVERIFY(c.waitForOverviewEnd(2));
    } else {
        QCOMPARE(c.referenceLines(), TestCorpus::commentReferences);
        c.xroverLine.clear();
        c->fetchReferences(4, 4);
        QVERIFY(c.waitForReferencesEnd());
    }
    const QList<QByteArray> oneConnection = overview
        ? QList<QByteArray>{"GROUP free.pt", "XZVER 1-3", "XOVER 1-3", "XOVER 4-4"}
        : QList<QByteArray>{"GROUP free.usenet", "XZHDR References 1-4", "XHDR References 1-4", "XHDR References 4-4"};
    QCOMPARE(bed.server->receivedCommands(), oneConnection);
    QCOMPARE(bed.server->connectionCount(), 1);

    // A new connection tries the compressed form again.
    c->resetWithError(SpotNNTP::codeReconnectRequested, QString());
    QCOMPARE(c.error.takeFirst().at(0).toInt(), SpotNNTP::codeReconnectRequested);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    overview ? c->fetchOverview(5, 5) : c->fetchReferences(5, 5);
    QTRY_COMPARE(bed.server->receivedCommands().size(), oneConnection.size() + 3);
    QCOMPARE(bed.server->receivedCommands().at(oneConnection.size() + 1),
             overview ? "XZVER 5-5" : "XZHDR References 5-5");
}

void TestSpotNNTP::badCompressedData_data()
{
    QTest::addColumn<bool>("wrongCrc");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong-crc") << true
                               << QStringLiteral("Foutieve gecompreseerde headers ontvangen (yenc crc niet ok)");
    QTest::newRow("not-deflate") << false
                                 << QStringLiteral("Foutieve gecompreseerde headers ontvangen (inflate mislukt)");
}

void TestSpotNNTP::badCompressedData()
{
    QFETCH(bool, wrongCrc);
    QFETCH(QString, message);
    if (wrongCrc)
        bed.server->corruptYencCrc();
    else
        bed.server->answer("XZVER", "224 compressed data follows\r\n" + YencEncoder::encode("no deflate stream") + '.');
    ClientUnderTest &c = bed.makeClient(true);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));

    c->fetchOverview(1, 3);
    QVERIFY(c.error.wait());
    QCOMPARE(c.error.takeFirst(), QVariantList({SpotNNTP::codeBadCompressedData, message}));
    QVERIFY(c.headerLine.isEmpty());
    QVERIFY(c->isReady());

    // The connection stays, and the decoder is ready for the next reply.
    bed.server->clearScripts();
    c->fetchOverview(1, 3);
    QVERIFY(c.waitForOverviewEnd());
    QCOMPARE(c.headerLines().size(), 4);
    QCOMPARE(bed.server->connectionCount(), 1);
}

void TestSpotNNTP::dotLineInsideCompressedData_data()
{
    QTest::addColumn<qint64>("dotAt");
    QTest::newRow("first-line") << 1LL;
    QTest::newRow("middle-line") << 2LL;
    QTest::newRow("last-line") << 3LL;
}

// Inflated text is not dot-stuffed: a "." line in it is data, not the end of the reply.
void TestSpotNNTP::dotLineInsideCompressedData()
{
    QFETCH(qint64, dotAt);
    bed.server->addOverview(TestCorpus::spotGroup, dotAt, ".\r\n");
    ClientUnderTest &c = bed.makeClient(true);
    QVERIFY(c.logIn());

    QVERIFY(c.overview(1, 3));
    QList<QByteArray> expected;
    for (qint64 number = 1; number <= 3; ++number) {
        if (number != dotAt)
            expected += OverviewCorpus::line(number);
    }
    expected += ".\r\n";
    QCOMPARE(c.headerLines(), expected);
    QVERIFY(c->isReady());

    // The next reply is read from its own start.
    c->fetchOverview(4, 4);
    QVERIFY(c.waitForOverviewEnd(2));
    QCOMPARE(c.headerLines().mid(expected.size()), QList<QByteArray>({OverviewCorpus::line(4), ".\r\n"}));
}

void TestSpotNNTP::negativeReferenceNumberDropped_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::newRow("xhdr") << false;
    QTest::newRow("xzhdr") << true;
}

void TestSpotNNTP::negativeReferenceNumberDropped()
{
    QFETCH(bool, compressed);
    const QByteArray lines = "1 <key1@free.pt>\r\n-1 <x@free.pt>\r\n4 <key4@free.pt>\r\n";
    // answer() adds the CR LF of the last line.
    const QByteArray data = compressed ? YencEncoder::compressedReply(lines).chopped(2) : lines + '.';
    bed.server->answer(compressed ? "XZHDR" : "XHDR", "221 References follow\r\n" + data);
    ClientUnderTest &c = bed.makeClient(compressed);
    QVERIFY(c.logIn());

    QVERIFY(c.references(1, 4));
    const QList<std::pair<qint64, QByteArray>> expected = {{1, "<key1@free.pt>"}, {4, "<key4@free.pt>"}, {-1, "."}};
    QCOMPARE(c.referenceLines(), expected);
    QVERIFY(c->isReady());
}

void TestSpotNNTP::emptyRangeAs423_data()
{
    QTest::addColumn<bool>("overview");
    QTest::addColumn<bool>("compressed");
    QTest::newRow("xover") << true << false;
    QTest::newRow("xzver") << true << true;
    QTest::newRow("xhdr") << false << false;
    QTest::newRow("xzhdr") << false << true;
}

// "423 No articles in that range" ends the range like an empty reply; the connection stays.
void TestSpotNNTP::emptyRangeAs423()
{
    QFETCH(bool, overview);
    QFETCH(bool, compressed);
    bed.server->answer("X", "423 No articles in that range");
    ClientUnderTest &c = bed.makeClient(compressed);
    QVERIFY(c.logIn());

    if (overview) {
        QVERIFY(c.overview(5000, 5100));
        QCOMPARE(c.headerLines(), QList<QByteArray>{".\r\n"});
    } else {
        QVERIFY(c.references(5000, 5100));
        const QList<std::pair<qint64, QByteArray>> endOnly = {{-1, "."}};
        QCOMPARE(c.referenceLines(), endOnly);
    }
    QVERIFY(c->isReady());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    QCOMPARE(bed.server->connectionCount(), 1);
}

void TestSpotNNTP::article_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("message-id") << QByteArray() << TestCorpus::commentId << QByteArray("ARTICLE <c3@free.usenet>");
    QTest::newRow("number") << TestCorpus::commentGroup << QByteArray("3") << QByteArray("ARTICLE 3");
}

void TestSpotNNTP::article()
{
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, id);
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    if (!group.isEmpty()) {
        QVERIFY(c.selectGroup(group));
    }

    c->fetchArticle(id);
    QCOMPARE(c->currentArticle(), id);
    QVERIFY(c.articleData.wait());
    QCOMPARE(c.articleData.takeFirst(), QVariantList({id, TestCorpus::commentData}));
    QTEST(bed.server->receivedCommands().last(), "command");
    QVERIFY(c->isReady());
    QVERIFY(c->currentArticle().isEmpty());
}

void TestSpotNNTP::articleRequestedBeforeLogin()
{
    ClientUnderTest &c = bed.makeClient();
    c->fetchArticle(TestCorpus::commentId); // connects, and sends it once logged in
    QVERIFY(c.articleData.wait());
    QCOMPARE(c.articleData.first().at(1).toByteArray(), TestCorpus::commentData);
    QCOMPARE(bed.server->receivedCommands(), QList<QByteArray>{"ARTICLE <c3@free.usenet>"});
    QCOMPARE(c.loggedIn.count(), 0);
}

void TestSpotNNTP::missingArticle_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("430-message-id") << QByteArray() << QByteArray("gone@free.pt")
                                    << QByteArray("ARTICLE <gone@free.pt>");
    QTest::newRow("423-expired-number") << TestCorpus::commentGroup << QByteArray("999999")
                                        << QByteArray("ARTICLE 999999");
}

void TestSpotNNTP::missingArticle()
{
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, command);
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    if (!group.isEmpty()) {
        QVERIFY(c.selectGroup(group));
    }
    // The slot asks for the same id once more: it must be sent again.
    bool askedAgain = false;
    connect(c.client, &SpotNNTP::articleNotFound, this, [&](const QByteArray &missing) {
        QVERIFY(c->isReady());
        QVERIFY(c->currentArticle().isEmpty());
        if (!std::exchange(askedAgain, true))
            c->fetchArticle(missing);
    });

    c->fetchArticle(id);
    QTRY_COMPARE(c.articleNotFound.count(), 2);
    QCOMPARE(c.articleNotFound.at(0).at(0).toByteArray(), id);
    QCOMPARE(c.articleNotFound.at(1).at(0).toByteArray(), id);
    QCOMPARE(bed.server->receivedCommands().count(command), 2);
    QVERIFY(c->isReady());
    QVERIFY(c->currentArticle().isEmpty());
    QCOMPARE(bed.server->connectionCount(), 1);
}

void TestSpotNNTP::head_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("command"); // empty: not sent
    QTest::addColumn<QByteArray>("header"); // empty: articleNotFound
    const QByteArray commentHeader = TestCorpus::commentData.left(TestCorpus::commentData.indexOf("\r\n\r\n") + 2);
    // clang-format off
    QTest::newRow("message-id")     << QByteArray() << TestCorpus::commentId << QByteArray("HEAD <c3@free.usenet>") << commentHeader;
    QTest::newRow("number")         << TestCorpus::commentGroup << QByteArray("3") << QByteArray("HEAD 3") << commentHeader;
    QTest::newRow("dot-stuffed")    << QByteArray() << QByteArray("dot@free.pt") << QByteArray("HEAD <dot@free.pt>")
                                    << QByteArray("Subject: x\r\n.X-Dot: ja\r\n");
    QTest::newRow("430")            << QByteArray() << QByteArray("gone@free.pt") << QByteArray("HEAD <gone@free.pt>") << QByteArray();
    QTest::newRow("423")            << TestCorpus::commentGroup << QByteArray("999") << QByteArray("HEAD 999") << QByteArray();
    QTest::newRow("line-break-id")  << QByteArray() << QByteArray("a@b>\r\nQUIT") << QByteArray() << QByteArray();
    // clang-format on
}

void TestSpotNNTP::head()
{
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, header);
    bed.server->addArticle(TestCorpus::commentGroup, 5, "dot@free.pt", "Subject: x\n.X-Dot: ja\n\n.body\n");
    ClientUnderTest &c = bed.makeClient();
    QSignalSpy heads(c.client, &SpotNNTP::headData);
    QVERIFY(c.logIn());
    if (!group.isEmpty()) {
        QVERIFY(c.selectGroup(group));
    }

    c->fetchHead(id);
    QTRY_COMPARE(heads.count() + c.articleNotFound.count(), 1);
    if (header.isEmpty())
        QCOMPARE(c.articleNotFound.first(), QVariantList{id});
    else
        QCOMPARE(heads.first(), QVariantList({id, header}));
    QCOMPARE(bed.server->receivedCommands().value(group.isEmpty() ? 0 : 1), command);
    QVERIFY(c->isReady());
}

void TestSpotNNTP::terminatorSplits()
{
    ClientUnderTest &c = bed.makeClient();
    QVERIFY(c.logIn());
    bed.server->paceChunksBy(c.socket());
    const QByteArray reply = "220 0 <c3@free.usenet> article\r\n" + TestCorpus::commentData;
    const qint64 size = reply.size();

    QList<QList<qint64>> cutSets;
    for (qint64 at = 1; at < size; ++at)
        cutSets += QList<qint64>{at};
    for (qint64 first = size - 7; first < size; ++first) {
        for (qint64 second = first + 1; second < size; ++second)
            cutSets += QList<qint64>{first, second};
    }
    cutSets += QList<qint64>{size - 5, size - 4, size - 3, size - 2, size - 1};
    cutSets += QList<qint64>{reply.indexOf('\n') + 1, size - 3};

    for (const QList<qint64> &cuts : std::as_const(cutSets)) {
        const QByteArray where
            = QByteArray("cut at ") + QByteArray::number(cuts.first()) + (cuts.size() > 1 ? " and more" : "");
        bed.server->clearScripts();
        bed.server->cutReply("ARTICLE", cuts);
        QSignalSpy reads(c.socket(), &QIODevice::readyRead);
        c.articleData.clear();

        c->fetchArticle(TestCorpus::commentId);
        QVERIFY2(c.articleData.wait(), where.constData());
        QCOMPARE(reads.count(), cuts.size() + 1); // every piece was a read of its own
        QCOMPARE(c.articleData.count(), 1);
        QCOMPARE(c.articleData.first().at(1).toByteArray(), TestCorpus::commentData);
        QVERIFY(c->isReady());
    }
    QCOMPARE(bed.server->connectionCount(), 1);
}

void TestSpotNNTP::nextCommandFromSlot_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::newRow("plain") << false;
    QTest::newRow("compressed") << true;
}

void TestSpotNNTP::nextCommandFromSlot()
{
    QFETCH(bool, compressed);
    ClientUnderTest &c = bed.makeClient(compressed);
    QVERIFY(c.logIn());
    QVERIFY(c.selectGroup(TestCorpus::spotGroup));
    // Like the download cycle: each range ends in the slot that asks for the next one.
    qint64 next = 3;
    connect(c.client, &SpotNNTP::headerLine, this, [&](const QByteArray &line) {
        QCOMPARE(c->isReady(), line == ".\r\n");
        if (line == ".\r\n" && next < 7) {
            c->fetchOverview(next, next + 1);
            next += 2;
        }
    });

    c->fetchOverview(1, 2);
    QVERIFY(c.waitForOverviewEnd(3));
    const QByteArray command = compressed ? "XZVER " : "XOVER ";
    QCOMPARE(bed.server->receivedCommands(),
             QList<QByteArray>({"GROUP free.pt", command + "1-2", command + "3-4", command + "5-6"}));
    QList<QByteArray> expected;
    for (qint64 number = 1; number <= 6; number += 2)
        expected += {OverviewCorpus::line(number), OverviewCorpus::line(number + 1), ".\r\n"};
    QCOMPARE(c.headerLines(), expected);
    QVERIFY(c->isReady());
}

TARNWICK_TEST_MAIN(TestSpotNNTP)
#include "tst_spotnntp.moc"
