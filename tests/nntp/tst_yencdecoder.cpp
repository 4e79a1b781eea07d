#include "overviewcorpus.h"
#include "testmain.h"
#include "yencdecoder.h"
#include "yencencoder.h"
#include "zlibstream.h"

#include <QRandomGenerator>
#include <QRegularExpression>

using YencEncoder::Trailer;

namespace {

enum class Feed { Whole, Lines, Bytes, SevenByteChunks };

const QByteArray header = "=ybegin line=128 size=3 name=x\r\n";
const QByteArray abcData = "\x8b\x8c\x8d\r\n"; // "abc" in yEnc
const QByteArray abcTrailer = "=yend size=3 crc32=352441c2\r\n";

QByteArray crcHex(QByteArrayView data)
{
    return QByteArray::number(crc32Final(crc32Update(crc32Init(), data.data(), data.size())), 16);
}

void feed(YencMemDecoder &decoder, const QByteArray &stream, Feed how)
{
    switch (how) {
    case Feed::Whole:
        decoder.decode(stream);
        break;
    case Feed::Lines:
        for (const QByteArrayView line : YencEncoder::splitLines(stream))
            decoder.decode(line);
        break;
    case Feed::Bytes:
        for (qsizetype i = 0; i < stream.size(); ++i)
            decoder.decode(QByteArrayView(stream).sliced(i, 1));
        break;
    case Feed::SevenByteChunks:
        for (qsizetype i = 0; i < stream.size(); i += 7)
            decoder.decode(QByteArrayView(stream).sliced(i, std::min<qsizetype>(7, stream.size() - i)));
        break;
    }
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &c : data)
        c = char(random.bounded(256));
    return data;
}

void expectCrcFailureLog()
{
    QTest::ignoreMessage(QtDebugMsg, "CRC onjuist :-(");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^\\d+ \\d+$")));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^CRC volgens header \\d+ Berekende CRC \\d+$")));
}

} // namespace

class TestYencDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void decodesDataLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain-byte") << QByteArray("k") << QByteArray("A");
        QTest::newRow("star-is-zero") << QByteArray("*") << QByteArray(1, '\0');
        QTest::newRow("escaped-j-is-zero") << QByteArray("=j") << QByteArray(1, '\0');
        QTest::newRow("escaped-brace-is-19") << QByteArray("=}") << QByteArray(1, '\x13');
        QTest::newRow("below-42-wraps") << QByteArray(")") << QByteArray(1, '\xff');
        QTest::newRow("dot-stuffed-dot") << QByteArray("..") << QByteArray(1, '\x04');
        QTest::newRow("single-dot-kept") << QByteArray(".k") << QByteArray("\x04" "A");
        QTest::newRow("three-dots") << QByteArray("...") << QByteArray("\x04\x04");
        QTest::newRow("dot-then-escape") << QByteArray(".=j") << QByteArray("\x04", 2);
        QTest::newRow("dots-inside-line") << QByteArray("k..") << QByteArray("A\x04\x04");
        QTest::newRow("escape-at-line-start") << QByteArray("=}k") << QByteArray("\x13" "A");
    }
    // clang-format on

    void decodesDataLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        YencMemDecoder decoder;
        decoder.decode(header + line + "\r\n=yend size=1 crc32=" + crcHex(expected) + "\r\n.\r\n");
        QCOMPARE(decoder.decodedData(), expected);
        QVERIFY(decoder.crcOk());
    }

    void headerLineStartsStreamAfterReset()
    {
        YencMemDecoder decoder;
        for (const QByteArray &data : {QByteArray("first stream"), QByteArray("abc")}) {
            decoder.reset();
            const QByteArray stream = YencEncoder::encode(data);
            QVERIFY(stream.startsWith("=ybegin line=128 "));
            feed(decoder, stream, Feed::Lines);
            QCOMPARE(decoder.decodedData(), data);
            QVERIFY(decoder.crcOk());
        }
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void ignoresTextOutsideTheStream_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("text-before-header") << "skip me\r\nkkk\r\n" + header + abcData + abcTrailer;
        QTest::newRow("trailer-before-header") << "=yend size=0 crc32=0\r\n" + header + abcData + abcTrailer;
        QTest::newRow("bytes-on-header-line") << "=ybegin line=128 size=3 name=kkk\r\n" + abcData + abcTrailer;
        QTest::newRow("part-line") << header + "=ypart begin=1 end=3\r\n" + abcData + abcTrailer;
        QTest::newRow("second-header-line") << header + abcData + header + abcTrailer;
        QTest::newRow("long-keyword-line") << header + "=ypart " + QByteArray(5000, 'k') + "\r\n" + abcData + abcTrailer;
        QTest::newRow("after-trailer") << header + abcData + abcTrailer + "kkk\r\n=ybegin x\r\n.\r\n";
        QTest::newRow("no-carriage-returns") << QByteArray("=ybegin line=128 size=3 name=x\n\x8b\x8c\x8d\n=yend size=3 crc32=352441c2\n");
    }
    // clang-format on

    void ignoresTextOutsideTheStream()
    {
        QFETCH(QByteArray, stream);
        for (const Feed how : {Feed::Whole, Feed::Bytes}) {
            YencMemDecoder decoder;
            feed(decoder, stream, how);
            QCOMPARE(decoder.decodedData(), QByteArray("abc"));
            QVERIFY(decoder.crcOk());
        }
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void checksTrailerCrc_data()
    {
        QTest::addColumn<QByteArray>("trailer");
        QTest::addColumn<bool>("crcOk");
        QTest::addColumn<QStringList>("log");
        const QString wrong = QStringLiteral("CRC onjuist :-(");
        const QString sizes = QStringLiteral("3 3");
        QTest::newRow("part-crc-wins") << QByteArray("=yend size=3 pcrc32=352441c2 crc32=00000000") << true << QStringList();
        QTest::newRow("only-crc32") << QByteArray("=yend size=3 crc32=352441C2") << true << QStringList();
        QTest::newRow("more-fields-after-crc") << QByteArray("=yend size=3 pcrc32=352441c2 part=1") << true << QStringList();
        QTest::newRow("wrong-part-crc-beats-right-crc32")
            << QByteArray("=yend size=3 pcrc32=00000000 crc32=352441c2") << false
            << QStringList{wrong, sizes, QStringLiteral("CRC volgens header 0 Berekende CRC 891568578")};
        QTest::newRow("wrong-crc") << QByteArray("=yend size=3 crc32=352441c3") << false
                                   << QStringList{wrong, sizes, QStringLiteral("CRC volgens header 891568579 Berekende CRC 891568578")};
        QTest::newRow("unreadable-crc") << QByteArray("=yend size=3 crc32=xyz") << false
                                        << QStringList{wrong, sizes, QStringLiteral("CRC volgens header 0 Berekende CRC 891568578")};
        QTest::newRow("no-crc") << QByteArray("=yend size=3") << false << QStringList{wrong, sizes};
    }
    // clang-format on

    void checksTrailerCrc()
    {
        QFETCH(QByteArray, trailer);
        QFETCH(bool, crcOk);
        QFETCH(QStringList, log);
        for (const QString &message : log)
            QTest::ignoreMessage(QtDebugMsg, message.toLatin1().constData());
        YencMemDecoder decoder;
        decoder.decode(header + abcData + trailer + "\r\n");
        QCOMPARE(decoder.crcOk(), crcOk);
        QCOMPARE(decoder.decodedData(), QByteArray("abc")); // kept for the owner until reset()
    }

    // Whatever the cuts between chunks, the decoder ends with the same data and verdict.
    // The rows stay as laid out, one case a row.
    // clang-format off
    void sameResultWhateverTheChunks_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Feed>("how");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("crcOk");

        const QByteArray random = randomBytes(40000, 1); // more than one block of the CRC
        const QByteArray dots(600, '\x04'); // every data line starts with a stuffed "."
        const QByteArray escapes = QByteArray("\xd6\xe0\xe3\x13").repeated(100);
        const struct
        {
            const char *name;
            QByteArray stream;
            QByteArray expected;
            bool crcOk;
        } streams[] = {
            {"random", YencEncoder::encode(random) + ".\r\n", random, true},
            {"dot-lines", YencEncoder::encode(dots) + ".\r\n", dots, true},
            {"escapes-only", YencEncoder::encode(escapes) + ".\r\n", escapes, true},
            {"text-before-header", "kkk\r\n..k\r\n" + YencEncoder::encode(random), random, true},
            {"wrong-crc", YencEncoder::encode(random, Trailer::WrongCrc) + ".\r\n", random, false},
        };
        const struct
        {
            const char *name;
            Feed how;
        } feeds[] = {{"whole", Feed::Whole}, {"lines", Feed::Lines}, {"bytes", Feed::Bytes}, {"chunks-of-7", Feed::SevenByteChunks}};
        for (const auto &stream : streams) {
            for (const auto &feed : feeds)
                QTest::addRow("%s/%s", stream.name, feed.name) << stream.stream << feed.how << stream.expected << stream.crcOk;
        }
    }
    // clang-format on

    void sameResultWhateverTheChunks()
    {
        QFETCH(QByteArray, stream);
        QFETCH(Feed, how);
        QFETCH(QByteArray, expected);
        QFETCH(bool, crcOk);
        if (!crcOk)
            expectCrcFailureLog();
        YencMemDecoder decoder;
        feed(decoder, stream, how);
        QCOMPARE(decoder.decodedData(), expected);
        QCOMPARE(decoder.crcOk(), crcOk);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void roundTripsBinaryData_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (const qsizetype size : {0, 1, 127, 128, 129, 256, 100000})
            QTest::addRow("%lld-bytes", qlonglong(size)) << size;
    }
    // clang-format on

    void roundTripsBinaryData()
    {
        QFETCH(qsizetype, size);
        const QByteArray data = randomBytes(size, quint32(size));
        YencMemDecoder decoder;
        feed(decoder, YencEncoder::encode(data) + ".\r\n", Feed::Lines);
        QCOMPARE(decoder.decodedData(), data);
        QVERIFY(decoder.crcOk());
    }

    void compressedReplyInflatesToPlainLines()
    {
        const QByteArray plain = OverviewCorpus::lines(1, 300);
        QCOMPARE(plain.size(), 300 * OverviewCorpus::lineLength);
        const QByteArray reply = YencEncoder::compressedReply(plain);
        QVERIFY(reply.endsWith("\r\n.\r\n"));
        QCOMPARE(reply.count("\n.\r\n"), 1); // stuffed data lines never end the reply early

        YencMemDecoder decoder;
        feed(decoder, reply, Feed::Lines);
        QVERIFY(decoder.crcOk());
        const std::optional<QByteArray> inflated = ZlibStream::inflateRaw(decoder.decodedData());
        QVERIFY(inflated);
        QCOMPARE(*inflated, plain);
    }
};

TARNWICK_TEST_MAIN(TestYencDecoder)
#include "tst_yencdecoder.moc"
