#include "placeholders.h"
#include "testmain.h"

class TestPlaceholders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void fill_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<QByteArray>("filled"); // null: past the limit
        const qsizetype any = 1000;
        QTest::newRow("each-occurrence") << QByteArray("{a}-{b}-{a}") << any << QByteArray("1-{a}{b}-1");
        QTest::newRow("value-never-searched") << QByteArray("{b}") << any << QByteArray("{a}{b}");
        QTest::newRow("unknown-and-open-braces") << QByteArray("{{c}{a}{") << any << QByteArray("{{c}1{");
        QTest::newRow("empty") << QByteArray() << any << QByteArray("");
        QTest::newRow("exactly-the-limit") << QByteArray("x{b}") << qsizetype(7) << QByteArray("x{a}{b}");
        QTest::newRow("past-the-limit-by-a-value") << QByteArray("x{b}") << qsizetype(6) << QByteArray();
        QTest::newRow("past-the-limit-by-text") << QByteArray("{a}xyz") << qsizetype(3) << QByteArray();
    }
    // clang-format on

    void fill()
    {
        QFETCH(QByteArray, text);
        QFETCH(qsizetype, limit);
        QFETCH(QByteArray, filled);
        const std::optional<QByteArray> result = fillPlaceholders(text, {{"{a}", "1"}, {"{b}", "{a}{b}"}}, limit);
        QCOMPARE(result.has_value(), !filled.isNull());
        if (result)
            QCOMPARE(*result, filled);
    }
};

TARNWICK_TEST_MAIN(TestPlaceholders)
#include "tst_placeholders.moc"
