#include "spotheader.h"
#include "testmain.h"

namespace {

QByteArray overviewLine(const QByteArray &subject, const QByteArray &from,
                        const QByteArray &messageId = "<k3y@free.pt>", const QByteArray &number = "1200")
{
    return number + '\t' + subject + '\t' + from + "\tSun, 20 Feb 2011 10:00:00 +0100\t" + messageId
        + "\t\t12345\t10\tXref: news.example free.pt:" + number + "\r\n";
}

QByteArray from(const QByteArray &block, const QByteArray &date = "1298000000")
{
    return "Jan Spotter <Xk9Z@" + block + ".a1.b2." + date + ".c3.d4>";
}

} // namespace

class TestSpotHeader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void categoryBlocks_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("cat");
        QTest::addColumn<int>("subcat");
        QTest::addColumn<QByteArray>("otherCats");
        QTest::newRow("long-layout-skips-a-character") << QByteArray("30712a01b04") << 3 << 312 << QByteArray("a01b04");
        QTest::newRow("short-layout") << QByteArray("3112a01b04") << 3 << 312 << QByteArray("a01b04");
        QTest::newRow("exactly-four-characters") << QByteArray("2104") << 2 << 204 << QByteArray();
        QTest::newRow("erotic-mark-d24") << QByteArray("10x07a01d24") << 9 << 901 << QByteArray("a01d24");
        QTest::newRow("d23-wins-over-an-earlier-d25") << QByteArray("10001d25d23") << 9 << 900 << QByteArray("d25d23");
        QTest::newRow("d26") << QByteArray("1100d26") << 9 << 903 << QByteArray("d26");
        QTest::newRow("marks-only-count-for-category-1") << QByteArray("2100d23") << 2 << 200 << QByteArray("d23");
        QTest::newRow("category-9-block") << QByteArray("9102z") << 9 << 902 << QByteArray("z");
        QTest::newRow("letters-as-numbers-read-0") << QByteArray("x1ab") << 0 << 0 << QByteArray();
        // Read as a number, "-4" made 296: a sub-category of category 2.
        QTest::newRow("signed-sub-category-reads-0") << QByteArray("31-4") << 3 << 300 << QByteArray();
    }
    // clang-format on

    void categoryBlocks()
    {
        QFETCH(QByteArray, block);
        QFETCH(int, cat);
        QFETCH(int, subcat);
        QFETCH(QByteArray, otherCats);
        const QByteArray line = overviewLine("Titel", from(block));
        const SpotHeader header = SpotHeader::parse(line);
        QCOMPARE(header.outcome, SpotHeader::Outcome::Spot);
        QCOMPARE(header.cat, cat);
        QCOMPARE(header.subcat, subcat);
        QCOMPARE(header.otherCats.toByteArray(), otherCats);
        QCOMPARE(header.spotDate, 1298000000);
        QCOMPARE(header.isErotic(), cat == 9);
        QCOMPARE(header.spotter.toByteArray(), QByteArray("Jan Spotter"));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void rejectedLinesKeepTheirNumber_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("five-domain-pieces") << overviewLine("T", "Jan <k@3112.a.b.1298000000.c>");
        QTest::newRow("three-character-block") << overviewLine("T", from("311"));
        QTest::newRow("no-address") << overviewLine("T", "Jan Spotter");
        QTest::newRow("no-at-sign") << overviewLine("T", "Jan <3112.a.b.1298000000.c.d>");
        QTest::newRow("date-zero") << overviewLine("T", from("3112", "0"));
        QTest::newRow("date-not-a-number") << overviewLine("T", from("3112", "gisteren"));
        QTest::newRow("date-beyond-32-bit") << overviewLine("T", from("3112", "9999999999"));
    }
    // clang-format on

    void rejectedLinesKeepTheirNumber()
    {
        QFETCH(QByteArray, line);
        const SpotHeader header = SpotHeader::parse(line);
        QCOMPARE(header.outcome, SpotHeader::Outcome::Rejected);
        QCOMPARE(header.articleNumber, 1200);
    }

    void fewerThanEightFieldsIsMalformed()
    {
        QCOMPARE(SpotHeader::parse("1\tT\tJan <k@3112.a.b.1.c.d>\tdate\t<k@free.pt>\t\t5\r\n").outcome,
                 SpotHeader::Outcome::Malformed);
        QCOMPARE(SpotHeader::parse(".\r\n").outcome, SpotHeader::Outcome::Malformed);
        QCOMPARE(SpotHeader::parse("1\tT\tJan <k@3112.a.b.1.c.d>\tdate\t<k@free.pt>\t\t5\t\r\n").outcome,
                 SpotHeader::Outcome::Spot);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void spotKeys_data()
    {
        QTest::addColumn<QByteArray>("messageId");
        QTest::addColumn<QByteArray>("key");
        QTest::newRow("spot-domain-removed") << QByteArray("<abc.def@free.pt>") << QByteArray("abc.def");
        QTest::newRow("other-domain-kept") << QByteArray("<abc@other.example>") << QByteArray("abc@other.example");
        QTest::newRow("brackets-only") << QByteArray("<>") << QByteArray();
    }
    // clang-format on

    void spotKeys()
    {
        QFETCH(QByteArray, messageId);
        QFETCH(QByteArray, key);
        QCOMPARE(SpotHeader::parse(overviewLine("T", from("3112"), messageId)).spotKey.toByteArray(), key);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void subjects_data()
    {
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QByteArray>("titlePiece");
        QTest::addColumn<QVariant>("title");
        QTest::addColumn<QVariant>("tag");
        QTest::newRow("title-and-tag") << QByteArray("Mijn titel | mijntag") << QByteArray("Mijn titel ")
                                       << QVariant(QByteArray("Mijn titel")) << QVariant(QByteArray("mijntag"));
        QTest::newRow("no-tag-is-empty-text") << QByteArray(" Titel ") << QByteArray(" Titel ")
                                              << QVariant(QByteArray("Titel")) << QVariant(QStringLiteral(""));
        QTest::newRow("third-piece-ignored") << QByteArray("A|b|c") << QByteArray("A")
                                             << QVariant(QByteArray("A")) << QVariant(QByteArray("b"));
        QTest::newRow("empty-tag-is-empty-bytes") << QByteArray("A|") << QByteArray("A")
                                                  << QVariant(QByteArray("A")) << QVariant(QByteArray(""));
        QTest::newRow("utf8-bytes-stay-bytes") << QByteArray("Caf\xc3\xa9") << QByteArray("Caf\xc3\xa9")
                                               << QVariant(QByteArray("Caf\xc3\xa9")) << QVariant(QStringLiteral(""));
        QTest::newRow("encoded-words-joined")
            << QByteArray("=?UTF-8?B?SGFsbG8=?= =?UTF-8?B?V2VyZWxk?= | tag")
            << QByteArray("=?UTF-8?B?SGFsbG8=?= =?UTF-8?B?V2VyZWxk?= ")
            << QVariant(QStringLiteral("HalloWereld")) << QVariant(QByteArray("tag"));
        QTest::newRow("lower-case-encoded-word-kept-as-text")
            << QByteArray("=?utf-8?b?SGFsbG8=?=") << QByteArray("=?utf-8?b?SGFsbG8=?=")
            << QVariant(QStringLiteral("=?utf-8?b?SGFsbG8=?=")) << QVariant(QStringLiteral(""));
        QTest::newRow("encoded-utf8") << QByteArray("=?UTF-8?B?Q2Fmw6k=?=") << QByteArray("=?UTF-8?B?Q2Fmw6k=?=")
                                      << QVariant(QStringLiteral("Caf\u00e9")) << QVariant(QStringLiteral(""));
    }
    // clang-format on

    void subjects()
    {
        QFETCH(QByteArray, subject);
        QFETCH(QByteArray, titlePiece);
        QFETCH(QVariant, title);
        QFETCH(QVariant, tag);
        const QByteArray line = overviewLine(subject, from("3112")); // the header points into it
        const SpotHeader header = SpotHeader::parse(line);
        QCOMPARE(header.titlePiece.toByteArray(), titlePiece);
        const SpotRecord record = header.record();
        QCOMPARE(record.title.metaType(), title.metaType());
        QCOMPARE(record.title, title);
        QCOMPARE(record.tag.metaType(), tag.metaType());
        QCOMPARE(record.tag, tag);
        QVERIFY(!record.tag.isNull());
    }

    void recordCarriesEveryColumn()
    {
        const QByteArray line = overviewLine("T | g", from("10x07a01d24"), "<key@free.pt>");
        const SpotHeader header = SpotHeader::parse(line);
        const SpotRecord record = header.record();
        QCOMPARE(header.table(), SpotTable::EroticSpots);
        QCOMPARE(record.cat, 9);
        QCOMPARE(record.subcat, 901);
        QCOMPARE(record.spotDate, 1298000000);
        QCOMPARE(record.spotter, QByteArray("Jan Spotter"));
        QCOMPARE(record.msgid, QByteArray("key"));
        QCOMPARE(record.othercats, QByteArray("a01d24"));
    }

    void encodedWordsDecodeUntilNoneIsLeft()
    {
        // "=?UTF-8?B?SGk=?=" encoded once more.
        QCOMPARE(decodeEncodedWords("=?UTF-8?B?PT9VVEYtOD9CP1NHaz0/PQ==?="), QStringLiteral("Hi"));
        QCOMPARE(decodeEncodedWords("a =?UTF-8?B?SGk?= b"), QStringLiteral("a Hi b"));
        QCOMPARE(decodeEncodedWords("=?UTF-8?B?SGk"), QStringLiteral("=?UTF-8?B?SGk"));
        QCOMPARE(decodeEncodedWords("=?ISO-8859-1?Q?caf=E9?="), QStringLiteral("=?ISO-8859-1?Q?caf=E9?="));
        // The decoded "B?SGk=?=" completes the "=?UTF-8?" before it to a word of its own.
        QCOMPARE(decodeEncodedWords("=?UTF-8?=?UTF-8?B?" + QByteArray("B?SGk=?=").toBase64() + "?="),
                 QStringLiteral("Hi"));
        // The farthest back an introducer can start: all but its last character before the decoded text.
        QCOMPARE(decodeEncodedWords("a =?UTF-8?B=?UTF-8?B?" + QByteArray("?SGk=?=").toBase64() + "?= b"),
                 QStringLiteral("a Hi b"));
        // The decoded introducer takes its payload and closer from the text behind it.
        QCOMPARE(decodeEncodedWords("=?UTF-8?B?" + QByteArray("=?UTF-8?B?").toBase64() + "?=SGk?= b"),
                 QStringLiteral("Hi b"));
        // A megabyte of empty words: empty text, not a null one.
        const QString empty = decodeEncodedWords(QByteArray("=?UTF-8?B?"
                                                            "?=")
                                                     .repeated((1 << 20) / 12));
        QCOMPARE(empty, QStringLiteral(""));
        QVERIFY(!empty.isNull());
    }
};

TARNWICK_TEST_MAIN(TestSpotHeader)
#include "tst_spotheader.moc"
