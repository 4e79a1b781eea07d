#include "markup.h"
#include "testmain.h"

class TestMarkup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void convertMarkup_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("html");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("escaped-line-break") << QStringLiteral("a&lt;br /&gt;b") << QByteArray("a<br>b");
        QTest::newRow("escaped-twice-line-break") << QStringLiteral("a&amp;lt;br /&amp;gt;b") << QByteArray("a<br>b");
        QTest::newRow("escaped-twice-opening-only") << QStringLiteral("a&amp;amp;lt;br /&gt;b") << QByteArray("a<br>b");
        QTest::newRow("literal-line-break-shows-as-text") << QStringLiteral("a<br />b") << QByteArray("a&lt;br /&gt;b");
        QTest::newRow("angle-brackets-show-as-text") << QStringLiteral("1 < 2 > 0") << QByteArray("1 &lt; 2 &gt; 0");
        QTest::newRow("script-tag-shows-as-text") << QStringLiteral("<script>x</script>")
                                                  << QByteArray("&lt;script&gt;x&lt;/script&gt;");
        QTest::newRow("bracket-codes") << QStringLiteral("[b]bold[/b] [i]x[/i] [u]y[/u]")
                                       << QByteArray("<b>bold</b> <i>x</i> <u>y</u>");
        QTest::newRow("bracket-line-break") << QStringLiteral("a[br]b") << QByteArray("a<br>b");
        QTest::newRow("upper-case-code-stays") << QStringLiteral("[B]x[/B]") << QByteArray("[B]x[/B]");
        QTest::newRow("unbalanced-code-is-left-to-the-view") << QStringLiteral("[b]open [/i]")
                                                             << QByteArray("<b>open </i>");
        QTest::newRow("character-reference-escaped-once") << QStringLiteral("&amp;#233;") << QByteArray("&#233;");
        QTest::newRow("character-reference-escaped-twice") << QStringLiteral("&amp;amp;#233;") << QByteArray("&#233;");
        QTest::newRow("character-reference-stays") << QStringLiteral("&#233;") << QByteArray("&#233;");
        QTest::newRow("escaped-quote") << QStringLiteral("&amp;quot;x&amp;quot;") << QByteArray("&quot;x&quot;");
        QTest::newRow("plain-ampersand-stays") << QStringLiteral("a & b &amp; c") << QByteArray("a & b &amp; c");
        QTest::newRow("every-occurrence") << QStringLiteral("[b]1[b]2&lt;br /&gt;&lt;br /&gt;")
                                          << QByteArray("<b>1<b>2<br><br>");
        QTest::newRow("utf8-passes-byte-per-byte") << QString::fromLatin1("caf\xc3\xa9") << QByteArray("caf\xc3\xa9");
        QTest::newRow("beyond-latin1-becomes-question-mark") << QString(QChar(0x20ac)) << QByteArray("?");
    }
    // clang-format on

    void convertMarkup()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, html);
        QCOMPARE(::convertMarkup(text), html);
    }
};

TARNWICK_TEST_MAIN(TestMarkup)
#include "tst_markup.moc"
