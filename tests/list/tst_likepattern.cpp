// LIKE patterns against a plain matcher, with the literal at every place of texts of every
// length up to a few times the sixteen bytes compared at once.
#include "likepattern.h"
#include "testmain.h"

namespace {

// '%'||pattern||'%' of LIKE over ASCII, one byte at a time.
bool plainMatch(const QByteArray &pattern, qsizetype p, const QByteArray &text, qsizetype t)
{
    if (p == pattern.size())
        return true; // the trailing '%'
    if (pattern[p] == '%')
        return plainMatch(pattern, p + 1, text, t);
    for (qsizetype start = t; start < text.size(); ++start) {
        qsizetype i = p;
        qsizetype at = start;
        while (i < pattern.size() && pattern[i] != '%' && at < text.size()
               && (pattern[i] == '_' || pattern[i] == text[at])) {
            ++i;
            ++at;
        }
        if (i == pattern.size() || pattern[i] == '%')
            return plainMatch(pattern, i, text, at);
    }
    return false;
}

} // namespace

class TestLikePattern : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesAsPlainMatcher_data();
    void matchesAsPlainMatcher();
};

// clang-format off
void TestLikePattern::matchesAsPlainMatcher_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("placed");
    QTest::newRow("one byte") << QByteArray("x") << QByteArray("x");
    QTest::newRow("literal") << QByteArray("xyz") << QByteArray("xyz");
    QTest::newRow("literal, first and last bytes alone") << QByteArray("xyz") << QByteArray("xqz");
    QTest::newRow("literal of sixteen bytes") << QByteArray("0123456789abcdef") << QByteArray("0123456789abcdef");
    QTest::newRow("two literals") << QByteArray("xy%zx") << QByteArray("xyzx");
    QTest::newRow("two literals apart") << QByteArray("xy%zx") << QByteArray("xy..zx");
    QTest::newRow("any character") << QByteArray("x_z") << QByteArray("xqz");
    QTest::newRow("leading any character") << QByteArray("_yz") << QByteArray("yz");
}
// clang-format on

// Texts of '.' with the placed bytes at every place, and cut short at every length.
void TestLikePattern::matchesAsPlainMatcher()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, placed);
    const LikePattern like(pattern);
    for (int length = 0; length <= 50; ++length) {
        for (int place = 0; place <= length; ++place) {
            QByteArray text(length, '.');
            text.replace(place, placed.size(), placed);
            text.truncate(length);
            QVERIFY2(like.matches(text.constData(), text.size()) == plainMatch(pattern, 0, text, 0), text.constData());
        }
    }
}

TARNWICK_TEST_MAIN(TestLikePattern)
#include "tst_likepattern.moc"
