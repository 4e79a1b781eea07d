#include "crc32.h"
#include "testmain.h"

#include <QRandomGenerator>

namespace {

// The textbook bit-at-a-time CRC, to hold the fast one against.
quint32 bitwiseCrc32(QByteArrayView data)
{
    quint32 reg = 0xFFFFFFFFu;
    for (const char byte : data) {
        reg ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    }
    return ~reg;
}

quint32 crc32Of(const char *data, qsizetype len)
{
    return crc32Final(crc32Update(crc32Init(), data, len));
}

} // namespace

class TestCrc32 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void knownValues_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("empty") << QByteArray() << 0u;
        QTest::newRow("abc") << QByteArray("abc") << 0x352441C2u;
        QTest::newRow("check-string") << QByteArray("123456789") << 0xCBF43926u;
    }
    // clang-format on

    void knownValues()
    {
        QFETCH(QByteArray, data);
        QFETCH(quint32, crc);
        QCOMPARE(crc32Of(data.constData(), data.size()), crc);
    }

    // Every start alignment and a length around each multiple of eight bytes.
    void oddAlignmentsMatchBitwise()
    {
        QByteArray buffer(1100, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char &c : buffer)
            c = char(random.bounded(256));
        for (qsizetype offset = 0; offset < 8; ++offset) {
            for (const qsizetype len : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 1000, 1091}) {
                const QByteArrayView data(buffer.constData() + offset, len);
                QCOMPARE(crc32Of(data.data(), len), bitwiseCrc32(data));
            }
        }
    }

    // The decoder feeds the register piece by piece: any cut gives the CRC of the whole.
    void updatesChainAcrossPieces()
    {
        const QByteArray data = QByteArray("The quick brown fox jumps over the lazy dog").repeated(5);
        const quint32 whole = crc32Of(data.constData(), data.size());
        for (qsizetype cut = 0; cut <= data.size(); ++cut) {
            quint32 reg = crc32Update(crc32Init(), data.constData(), cut);
            reg = crc32Update(reg, data.constData() + cut, data.size() - cut);
            QCOMPARE(crc32Final(reg), whole);
        }
    }
};

TARNWICK_TEST_MAIN(TestCrc32)
#include "tst_crc32.moc"
