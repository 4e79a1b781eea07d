#include "bytetext.h"
#include "testmain.h"

class TestByteText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyByteIsOneCharacter()
    {
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all.append(char(b));
        const QString text = ByteText::toText(all);
        QCOMPARE(text.size(), 255);
        QCOMPARE(text.at(0xe9 - 1), QChar(0xe9));
        QCOMPARE(ByteText::toBytes(text), all);
    }

    void utf8PassesByteForByte()
    {
        const QByteArray utf8("caf\xc3\xa9");
        QCOMPARE(ByteText::toText(utf8).size(), 5);
        QCOMPARE(ByteText::toBytes(ByteText::toText(utf8)), utf8);
    }

    void bytesStopAtTheFirstNul() { QCOMPARE(ByteText::toText(QByteArray("ab\0cd", 5)), QStringLiteral("ab")); }

    void charactersAbove255BecomeQuestionMarks()
    {
        QCOMPARE(ByteText::toBytes(QStringLiteral("a\u20acb\u00ff")), QByteArray("a?b\xff"));
    }
};

TARNWICK_TEST_MAIN(TestByteText)
#include "tst_bytetext.moc"
