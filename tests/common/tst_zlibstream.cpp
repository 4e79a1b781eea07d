#include "testmain.h"
#include "zlibstream.h"

#include <QRandomGenerator>

#include <zlib.h>

namespace {

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

} // namespace

class TestZlibStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The codes are made from the first pieces: bytes that they lack still go through.
    void piecesUnlikeTheFirst()
    {
        const QList<QByteArray> pieces{QByteArray(70000, 'a'), randomBytes(4096), QByteArray(1, '\xff')};
        const QList<QByteArray> each = ZlibStream::deflateZlibEach(pieces);
        for (qsizetype i = 0; i < pieces.size(); ++i)
            QCOMPARE(ZlibStream::inflateZlib(each.at(i)), std::optional<QByteArray>(pieces.at(i)));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void zlibStreamsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << randomBytes(4096) + QByteArray(4096, '\0');
        QTest::newRow("20-MB-article") << QByteArray("Subject: x\r\n\r\n").repeated(1500000);
    }
    // clang-format on

    void zlibStreamsRoundTrip()
    {
        QFETCH(QByteArray, data);
        const QByteArray packed = ZlibStream::deflateZlib(data);
        QCOMPARE(quint8(packed.at(0)), quint8(0x78)); // a zlib header, as the cache stores it
        QCOMPARE(ZlibStream::inflateZlib(packed), std::optional<QByteArray>(data));
        // Many pieces at once, each a stream of its own.
        const QList<QByteArray> pieces{data, "x", data};
        const QList<QByteArray> each = ZlibStream::deflateZlibEach(pieces);
        QCOMPARE(each.size(), pieces.size());
        for (qsizetype i = 0; i < pieces.size(); ++i)
            QCOMPARE(ZlibStream::inflateZlib(each.at(i)), std::optional<QByteArray>(pieces.at(i)));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void rawDeflateRoundTrip_data()
    {
        QTest::addColumn<int>("level");
        QTest::newRow("stored-blocks") << 0;
        QTest::newRow("zlib-default") << int(Z_DEFAULT_COMPRESSION);
        QTest::newRow("best") << 9;
    }
    // clang-format on

    void rawDeflateRoundTrip()
    {
        QFETCH(int, level);
        const QByteArray lines = QByteArray("1\tTitel\r\n").repeated(10000);
        const QByteArray packed = ZlibStream::deflateRaw(lines, level);
        QVERIFY(!packed.isEmpty());
        QCOMPARE(ZlibStream::inflateRaw(packed), std::optional<QByteArray>(lines));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void brokenStreamsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("packed");
        const QByteArray good = ZlibStream::deflateZlib(QByteArray(100000, 'x'));
        QTest::newRow("truncated") << good.left(good.size() / 2);
        QTest::newRow("garbage") << QByteArray("not a zlib stream at all");
        QTest::newRow("raw-deflate-given-as-zlib") << ZlibStream::deflateRaw("abc");
        QTest::newRow("empty") << QByteArray();
    }
    // clang-format on

    void brokenStreamsAreRefused()
    {
        QFETCH(QByteArray, packed);
        QVERIFY(!ZlibStream::inflateZlib(packed));
    }

    void outputIsBounded()
    {
        // A bomb: 64 MiB of zeros in about 64 KiB.
        const QByteArray bomb = ZlibStream::deflateZlib(QByteArray(64 * 1024 * 1024, '\0'));
        QVERIFY(bomb.size() < 100 * 1024);
        QVERIFY(!ZlibStream::inflateZlib(bomb, 1024 * 1024));
        QVERIFY(!ZlibStream::inflateRaw(ZlibStream::deflateRaw(QByteArray(1024 * 1024 + 1, '\0')), 1024 * 1024));
    }

    void outputExactlyAtTheBoundIsAccepted()
    {
        const QByteArray data = randomBytes(1000);
        QCOMPARE(ZlibStream::inflateZlib(ZlibStream::deflateZlib(data), 1000), std::optional<QByteArray>(data));
        QVERIFY(!ZlibStream::inflateZlib(ZlibStream::deflateZlib(data), 999));
    }
};

TARNWICK_TEST_MAIN(TestZlibStream)
#include "tst_zlibstream.moc"
