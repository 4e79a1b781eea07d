// Reading a search text into groups of terms, and the SQL condition made of them.
#include "searchquery.h"
#include "testmain.h"

namespace {

// Terms as [pattern] with their "-" and field, alternatives in parentheses, groups by spaces.
QString described(const SearchQuery &query)
{
    QStringList groups;
    for (const SearchQuery::Group &group : query.groups()) {
        QStringList terms;
        for (const SearchQuery::Term &term : group) {
            const QString field = term.field == SearchQuery::Field::Spotter ? QStringLiteral("spotter:")
                : term.field == SearchQuery::Field::Tag                     ? QStringLiteral("tag:")
                                                                            : QString();
            terms << (term.negated ? QStringLiteral("-") : QString()) + field + QLatin1Char('[')
                    + QString::fromLatin1(term.pattern) + QLatin1Char(']');
        }
        const QString alternatives = terms.join(QLatin1String(" | "));
        groups << (terms.size() > 1 ? QLatin1Char('(') + alternatives + QLatin1Char(')') : alternatives);
    }
    return groups.join(QLatin1Char(' '));
}

} // namespace

class TestSearchQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheTerms_data();
    void readsTheTerms();
    void sqlConditionBindsEveryPattern_data();
    void sqlConditionBindsEveryPattern();
};

void TestSearchQuery::readsTheTerms_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("terms");

    // clang-format off
    QTest::newRow("single-word") << QByteArray("kiwi") << QStringLiteral("[kiwi]");
    QTest::newRow("wildcards-stay") << QByteArray("k_w%i") << QStringLiteral("[k_w%i]");
    QTest::newRow("latin1-bytes-stay") << QByteArray("zo\xeb") << QStringLiteral("[zo\u00eb]");
    QTest::newRow("words-all-occur") << QByteArray("hd kiwi") << QStringLiteral("[hd] [kiwi]");
    QTest::newRow("spaces-and-tabs-around") << QByteArray("  hd\t \tkiwi ") << QStringLiteral("[hd] [kiwi]");
    QTest::newRow("only-spaces") << QByteArray("   ") << QString();
    QTest::newRow("negated-word") << QByteArray("hd -cam") << QStringLiteral("[hd] -[cam]");
    QTest::newRow("hyphen-inside-a-word") << QByteArray("x-men") << QStringLiteral("[x-men]");
    QTest::newRow("second-hyphen-is-the-pattern") << QByteArray("--a") << QStringLiteral("-[-a]");
    QTest::newRow("lone-hyphen-dropped") << QByteArray("a - b") << QStringLiteral("[a] [b]");
    QTest::newRow("trailing-hyphen-dropped") << QByteArray("a -") << QStringLiteral("[a]");
    QTest::newRow("phrase") << QByteArray("\"twee woorden\"") << QStringLiteral("[twee woorden]");
    QTest::newRow("phrase-among-words") << QByteArray("a \"b  c\" d") << QStringLiteral("[a] [b  c] [d]");
    QTest::newRow("negated-phrase") << QByteArray("-\"b c\"") << QStringLiteral("-[b c]");
    QTest::newRow("unclosed-phrase-runs-to-the-end") << QByteArray("a \"b c") << QStringLiteral("[a] [b c]");
    QTest::newRow("lone-quote") << QByteArray("\"") << QString();
    QTest::newRow("empty-phrase-dropped") << QByteArray("a \"\"") << QStringLiteral("[a]");
    QTest::newRow("quote-inside-a-word") << QByteArray("12\" tv") << QStringLiteral("[12\"] [tv]");
    QTest::newRow("closing-quote-ends-the-term") << QByteArray("\"ab\"cd") << QStringLiteral("[ab] [cd]");
    QTest::newRow("bar-inside-a-phrase") << QByteArray("\"a | b\"") << QStringLiteral("[a | b]");
    QTest::newRow("either") << QByteArray("hd a | b") << QStringLiteral("[hd] ([a] | [b])");
    QTest::newRow("either-binds-the-nearest") << QByteArray("a b | c d") << QStringLiteral("[a] ([b] | [c]) [d]");
    QTest::newRow("either-of-three") << QByteArray("a | b | c") << QStringLiteral("([a] | [b] | [c])");
    QTest::newRow("either-without-spaces") << QByteArray("a|b") << QStringLiteral("([a] | [b])");
    QTest::newRow("either-negated-and-fields") << QByteArray("-a | spotter:b | -tag:c")
                                               << QStringLiteral("(-[a] | spotter:[b] | -tag:[c])");
    QTest::newRow("either-of-phrases") << QByteArray("\"a b\"|\"c d\"") << QStringLiteral("([a b] | [c d])");
    QTest::newRow("leading-bar") << QByteArray("| a b") << QStringLiteral("[a] [b]");
    QTest::newRow("trailing-bar") << QByteArray("a b |") << QStringLiteral("[a] [b]");
    QTest::newRow("double-bar") << QByteArray("a || b") << QStringLiteral("([a] | [b])");
    QTest::newRow("bar-alone") << QByteArray("|") << QString();
    QTest::newRow("bar-beside-a-dropped-term") << QByteArray("a | - b") << QStringLiteral("([a] | [b])");
    QTest::newRow("spotter-field") << QByteArray("spotter:naam") << QStringLiteral("spotter:[naam]");
    QTest::newRow("tag-field") << QByteArray("tag:x") << QStringLiteral("tag:[x]");
    QTest::newRow("field-any-case") << QByteArray("Spotter:a TAG:b") << QStringLiteral("spotter:[a] tag:[b]");
    QTest::newRow("field-phrase") << QByteArray("spotter:\"twee woorden\"") << QStringLiteral("spotter:[twee woorden]");
    QTest::newRow("negated-field") << QByteArray("-spotter:x") << QStringLiteral("-spotter:[x]");
    QTest::newRow("field-without-pattern") << QByteArray("a spotter: tag:") << QStringLiteral("[a]");
    QTest::newRow("one-field-only") << QByteArray("tag:spotter:x") << QStringLiteral("tag:[spotter:x]");
    QTest::newRow("unknown-field-is-a-word") << QByteArray("title:x") << QStringLiteral("[title:x]");
    QTest::newRow("field-after-a-space-is-a-word") << QByteArray("spotter :x") << QStringLiteral("[spotter] [:x]");
    QTest::newRow("empty") << QByteArray() << QString();
    // clang-format on
}

void TestSearchQuery::readsTheTerms()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, terms);

    const SearchQuery query(text);
    QCOMPARE(described(query), terms);
    QCOMPARE(query.isEmpty(), terms.isEmpty());
}

void TestSearchQuery::sqlConditionBindsEveryPattern_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QVariantList>("values");

    const QString title = QStringLiteral("CAST(title AS TEXT) LIKE '%'||?||'%'");
    const QString spotter = QStringLiteral("CAST(spotter AS TEXT) LIKE '%'||?||'%'");
    const QString tag = QStringLiteral("CAST(tag AS TEXT) LIKE '%'||?||'%'");
    const QString any
        = QLatin1Char('(') + title + QLatin1String(" OR ") + spotter + QLatin1String(" OR ") + tag + QLatin1Char(')');
    const QByteArray quote("x' OR 1=1 --");
    // clang-format off
    QTest::newRow("single-word") << QByteArray("a") << any
                                 << QVariantList{QByteArray("a"), QByteArray("a"), QByteArray("a")};
    QTest::newRow("negated-field") << QByteArray("-tag:b") << QStringLiteral("NOT coalesce((%1),0)").arg(tag)
                                   << QVariantList{QByteArray("b")};
    QTest::newRow("group-and-word") << QByteArray("spotter:a | tag:b c")
                                    << QStringLiteral("((%1) OR (%2)) AND %3").arg(spotter, tag, any)
                                    << QVariantList{QByteArray("a"), QByteArray("b"), QByteArray("c"),
                                                    QByteArray("c"), QByteArray("c")};
    QTest::newRow("quote-is-bound") << QByteArray("spotter:\"") + quote + '"'
                                    << QLatin1Char('(') + spotter + QLatin1Char(')') << QVariantList{quote};
    QTest::newRow("empty-is-every-row") << QByteArray(" - ") << QStringLiteral("1") << QVariantList{};
    // clang-format on
}

void TestSearchQuery::sqlConditionBindsEveryPattern()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, condition);
    QFETCH(QVariantList, values);

    const SearchQuery::Sql sql = SearchQuery(text).sqlCondition();
    QCOMPARE(sql.condition, condition);
    QCOMPARE(sql.values, values);
}

TARNWICK_TEST_MAIN(TestSearchQuery)
#include "tst_searchquery.moc"
