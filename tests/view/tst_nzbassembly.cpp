#include "nzbassembly.h"
#include "nzbescape.h"
#include "nzbreader.h"
#include "spotarticles.h"
#include "testmain.h"
#include "zlibstream.h"

namespace {

const QByteArray nzbNamespace = "http://www.newzbin.com/DTD/2003/nzb";

// The segment articles, as the client delivers them, of deflated cut at the given offsets
// into its escaped form.
QList<QByteArray> articles(QByteArrayView deflated, const QList<qsizetype> &cuts = {})
{
    QList<QByteArray> delivered;
    for (const QByteArray &article : SpotArticles::nzbArticles(deflated, cuts))
        delivered.append(SpotArticles::delivered(article));
    return delivered;
}

QByteArray document(const QByteArray &root, const QByteArray &file)
{
    return "<?xml version=\"1.0\"?>\n" + root + "<file subject=\"a.rar\"><groups><group>a.b</group></groups>" + file
        + "</file></nzb>\n";
}

const QString unreadable = QStringLiteral("NZB-artikel is onleesbaar");
const QString uninflatable = QStringLiteral("NZB kon niet uitgepakt worden");
const QString noFileList = QStringLiteral("NZB bevat geen geldige bestandslijst");

} // namespace

class TestNzbAssembly : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void join_data()
    {
        QTest::addColumn<QList<QByteArray>>("articles");
        QTest::addColumn<QByteArray>("nzb");
        QTest::addColumn<QString>("error");

        const QByteArray nzb = SpotArticles::nzbXml({"[1/2] &quot;x..y=z.rar&quot; yEnc", "x.nfo"}, {"alt.binaries.x"});
        const QByteArray deflated = ZlibStream::deflateRaw(nzb);
        // Stored blocks keep the text as it is, so cuts can be put next to its "=" and dots.
        const QByteArray stored = ZlibStream::deflateRaw(nzb, 0);
        const QByteArray escaped = SpotArticles::nzbEscaped(stored);
        const qsizetype equals = escaped.indexOf("y=Dz") + 2;
        const qsizetype dots = escaped.indexOf("x..y") + 1;

        QTest::newRow("one-segment") << articles(deflated) << nzb << QString();
        QTest::newRow("arbitrary-cuts") << articles(deflated, {1, 119, 120, 121, deflated.size() / 2}) << nzb << QString();
        QTest::newRow("cut-after-escape-equals") << articles(stored, {equals}) << nzb << QString();
        QTest::newRow("cut-before-dot-stuffed-line") << articles(stored, {dots}) << nzb << QString();
        QTest::newRow("cut-inside-line-starting-with-dots") << articles(stored, {dots, dots + 3}) << nzb << QString();
        QTest::newRow("article-of-one-dot") << articles(stored, {dots, dots + 1}) << nzb << QString();
        QTest::newRow("empty-middle-article") << articles(stored, {equals, equals}) << nzb << QString();
        QTest::newRow("no-articles") << QList<QByteArray>() << QByteArray() << unreadable;
        QTest::newRow("article-without-header-end")
            << QList<QByteArray>{articles(deflated).constFirst(), QByteArray("Subject: NZB\r\n")} << QByteArray() << unreadable;
        QTest::newRow("corrupt-stream") << articles("this is no deflate data") << QByteArray() << uninflatable;
        QTest::newRow("last-segment-missing") << articles(deflated, {deflated.size() / 2}).mid(0, 1) << QByteArray() << uninflatable;
        QTest::newRow("inflates-past-the-bound")
            << articles(ZlibStream::deflateRaw(QByteArray(NzbReader::maxNzbSize + 1, 'n')), {40}) << QByteArray() << uninflatable;
        QTest::newRow("other-root")
            << articles(ZlibStream::deflateRaw("<html xmlns=\"" + nzbNamespace + "\"><file><segments/></file></html>"))
            << QByteArray() << noFileList;
        QTest::newRow("no-file-with-segments")
            << articles(ZlibStream::deflateRaw(document("<nzb xmlns=\"" + nzbNamespace + "\">", ""))) << QByteArray() << noFileList;
        QTest::newRow("other-namespace")
            << articles(ZlibStream::deflateRaw(document("<nzb xmlns=\"http://www.newzbin.com/DTD/2004/nzb\">", "<segments/>")))
            << QByteArray() << noFileList;
        QTest::newRow("no-namespace")
            << articles(ZlibStream::deflateRaw(document("<nzb>", "<segments/>"))) << QByteArray() << noFileList;
        QTest::newRow("not-well-formed") << articles(ZlibStream::deflateRaw(nzb.chopped(3))) << QByteArray() << noFileList;
        QTest::newRow("entity-bomb")
            << articles(ZlibStream::deflateRaw(
                   document("<!DOCTYPE nzb [" + SpotArticles::entityBombDeclarations() + "]><nzb xmlns=\"" + nzbNamespace + "\">",
                            "<segments><segment>&e9;</segment></segments>")))
            << QByteArray() << noFileList;
    }
    // clang-format on

    void join()
    {
        QFETCH(QList<QByteArray>, articles);
        QFETCH(QByteArray, nzb);
        QFETCH(QString, error);
        const NzbAssembly::Result result = NzbAssembly::join(articles);
        QCOMPARE(result.nzb.value_or(QByteArray()), nzb);
        QCOMPARE(result.nzb.has_value(), error.isEmpty());
        QCOMPARE(result.error, error);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void decodeBodies_data()
    {
        QTest::addColumn<QList<QByteArray>>("bodies");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("one-body-as-decodeBody") << QList<QByteArray>{"x=Cy..\r\n..z=\r\n.\r\n"} << QByteArray("x\ny...z=");
        QTest::newRow("escape-split-between-articles") << QList<QByteArray>{"ab=\r\n.\r\n", "Cd\r\n.\r\n"} << QByteArray("ab\nd");
        QTest::newRow("each-terminating-dot-dropped") << QList<QByteArray>{"a\r\n.\r\n", "b\r\n.\r\n"} << QByteArray("ab");
        QTest::newRow("each-first-line-dot-stuffed") << QList<QByteArray>{"..a\r\n.\r\n", "..\r\n.\r\n"} << QByteArray(".a.");
        QTest::newRow("equals-at-the-end-kept") << QList<QByteArray>{"a=D=\r\n.\r\n", ".\r\n"} << QByteArray("a==");
        QTest::newRow("unknown-escape-kept") << QList<QByteArray>{"=\r\n.\r\n", "E\r\n.\r\n"} << QByteArray("=E");
    }
    // clang-format on

    void decodeBodies()
    {
        QFETCH(QList<QByteArray>, bodies);
        QFETCH(QByteArray, bytes);
        const QList<QByteArrayView> views(bodies.cbegin(), bodies.cend());
        QCOMPARE(NzbEscape::decodeBodies(views), bytes);
        if (bodies.size() == 1)
            QCOMPARE(NzbEscape::decodeBody(bodies.constFirst()), bytes);
    }
};

TARNWICK_TEST_MAIN(TestNzbAssembly)
#include "tst_nzbassembly.moc"
