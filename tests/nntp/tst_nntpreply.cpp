#include "linebuffer.h"
#include "nntpreply.h"
#include "testmain.h"

class TestNntpReply : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void code_data();
    void code();
    void group_data();
    void group();
    void references_data();
    void references();
    void overviewNumber_data();
    void overviewNumber();
    void articleComplete_data();
    void articleComplete();
    void unstuffed_data();
    void unstuffed();
    void lineBufferAcrossReads();
};

void TestNntpReply::code_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    QTest::newRow("greeting") << QByteArray("200 news.example ready\r\n") << 200;
    QTest::newRow("code-only") << QByteArray("423\r\n") << 423;
    QTest::newRow("not-a-number") << QByteArray("abc def\r\n") << 0;
    QTest::newRow("overview-line") << QByteArray("1\tSubject\r\n") << 0;
}

void TestNntpReply::code()
{
    QFETCH(QByteArray, line);
    QTEST(NntpReply::code(line), "code");
}

void TestNntpReply::overviewNumber_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qint64>("number"); // -1: none
    QTest::newRow("overview-line") << QByteArray("1234\tSubject\tFrom\r\n") << 1234LL;
    QTest::newRow("negative") << QByteArray("-7\tSubject\r\n") << -7LL;
    QTest::newRow("number-only") << QByteArray("55\r\n") << 55LL;
    QTest::newRow("not-a-number") << QByteArray("x\tSubject\r\n") << -1LL;
    QTest::newRow("empty-field") << QByteArray("\tSubject\r\n") << -1LL;
    QTest::newRow("beyond-64-bit") << QByteArray("9223372036854775808\tSubject\r\n") << -1LL;
    QTest::newRow("largest-64-bit") << QByteArray("9223372036854775807\tSubject\r\n") << 9223372036854775807LL;
    QTest::newRow("18-digits") << QByteArray("999999999999999999\tSubject\r\n") << 999999999999999999LL;
    QTest::newRow("leading-blank") << QByteArray(" 12\tSubject\r\n") << 12LL;
    QTest::newRow("digits-then-text") << QByteArray("12x\tSubject\r\n") << -1LL;
}

void TestNntpReply::overviewNumber()
{
    QFETCH(QByteArray, line);
    QTEST(NntpReply::overviewNumber(line).value_or(-1), "number");
}

void TestNntpReply::group_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::newRow("five-parts") << QByteArray("211 3000 1 3000 free.pt\r\n") << QByteArray("free.pt") << 1LL << 3000LL;
    QTest::newRow("beyond-32-bit") << QByteArray("211 2 4294967296 4294967297 free.pt\r\n") << QByteArray("free.pt")
                                   << 4294967296LL << 4294967297LL;
    QTest::newRow("six-parts") << QByteArray("211 3 1 3 free.pt selected\r\n") << QByteArray("free.pt") << 1LL << 3LL;
    QTest::newRow("four-parts") << QByteArray("211 3000 1 3000\r\n") << QByteArray() << 0LL << 0LL;
    QTest::newRow("one-part") << QByteArray("211\r\n") << QByteArray() << 0LL << 0LL;
    QTest::newRow("numbers-unreadable") << QByteArray("211 x y z free.pt\r\n") << QByteArray("free.pt") << 0LL << 0LL;
}

void TestNntpReply::group()
{
    QFETCH(QByteArray, line);
    const NntpReply::Group group = NntpReply::parseGroup(line);
    QTEST(group.name, "name");
    QTEST(group.low, "low");
    QTEST(group.high, "high");
}

void TestNntpReply::references_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("two-parts") << QByteArray("12 <key@free.pt>\r\n") << true << 12LL << QByteArray("<key@free.pt>");
    QTest::newRow("missing-header-placeholder") << QByteArray("13 (none)\r\n") << true << 13LL << QByteArray("(none)");
    QTest::newRow("empty-value") << QByteArray("14 \r\n") << true << 14LL << QByteArray();
    QTest::newRow("three-parts") << QByteArray("15 <a@free.pt> <b@free.pt>\r\n") << false << 0LL << QByteArray();
    QTest::newRow("one-part") << QByteArray("16\r\n") << false << 0LL << QByteArray();
    // -1 is the receiver's end-of-reply mark.
    QTest::newRow("negative-number") << QByteArray("-1 <x@free.pt>\r\n") << false << 0LL << QByteArray();
}

void TestNntpReply::references()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, kept);
    const auto references = NntpReply::parseReferences(line);
    QCOMPARE(references.has_value(), kept);
    if (kept) {
        QTEST(references->number, "number");
        QTEST(references->value, "value");
    }
}

void TestNntpReply::articleComplete_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qsizetype>("end");
    // clang-format off
    QTest::newRow("terminated")             << QByteArray("Subject: x\r\n\r\nbody\r\n.\r\n") << qsizetype(23);
    QTest::newRow("terminator-only")        << QByteArray(".\r\n") << qsizetype(3);
    QTest::newRow("next-reply-follows")     << QByteArray("S: x\r\n\r\nb\r\n.\r\n221 0 <a@b>\r\n") << qsizetype(14);
    QTest::newRow("empty-then-next-reply")  << QByteArray(".\r\n220 1 <a@b> article\r\n") << qsizetype(3);
    QTest::newRow("dot-line-missing-lf")    << QByteArray("Subject: x\r\n\r\nbody\r\n.\r") << qsizetype(-1);
    QTest::newRow("stuffed-dot-line")       << QByteArray("Subject: x\r\n\r\n..\r\n") << qsizetype(-1);
    QTest::newRow("dot-without-line-start") << QByteArray("Subject: x\r\n\r\nbody.\r\n") << qsizetype(-1);
    QTest::newRow("empty")                  << QByteArray() << qsizetype(-1);
    // clang-format on
}

void TestNntpReply::articleComplete()
{
    QFETCH(QByteArray, body);
    QTEST(NntpReply::articleEnd(body), "end");
}

void TestNntpReply::unstuffed_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("lines");
    // clang-format off
    QTest::newRow("none-stuffed")      << QByteArray("a\r\nb..\r\n.\r\n") << QByteArray("a\r\nb..\r\n");
    QTest::newRow("stuffed-first")     << QByteArray("..a\r\nb\r\n.\r\n") << QByteArray(".a\r\nb\r\n");
    QTest::newRow("stuffed-later")     << QByteArray("a\r\n..\r\n...b\r\n.\r\n") << QByteArray("a\r\n.\r\n..b\r\n");
    QTest::newRow("terminator-only")   << QByteArray(".\r\n") << QByteArray("");
    // clang-format on
}

void TestNntpReply::unstuffed()
{
    QFETCH(QByteArray, reply);
    QTEST(NntpReply::unstuffedLines(reply), "lines");
}

void TestNntpReply::lineBufferAcrossReads()
{
    LineBuffer buffer;
    buffer.append("224 follows\r\n1\tSub");
    QCOMPARE(buffer.takeLine(), QByteArray("224 follows\r\n"));
    QCOMPARE(buffer.takeLine(), QByteArray());
    buffer.append("ject\r");
    QCOMPARE(buffer.takeLine(), QByteArray());
    buffer.append("\n.\r\n");
    QCOMPARE(buffer.takeLine(), QByteArray("1\tSubject\r\n"));
    buffer.append("220 0 <a@b> article\r\nBody");
    QCOMPARE(buffer.takeLine(), QByteArray(".\r\n"));
    QCOMPARE(buffer.takeLine(), QByteArray("220 0 <a@b> article\r\n"));
    QCOMPARE(buffer.takeAll(), QByteArray("Body"));
    QCOMPARE(buffer.takeAll(), QByteArray());
}

TARNWICK_TEST_MAIN(TestNntpReply)
#include "tst_nntpreply.moc"
