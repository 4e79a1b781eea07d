#include "pagedetails.h"
#include "spotheadreader.h"
#include "testmain.h"

namespace {

// A HEAD reply's block: some headers, the X-XML lines, no empty line and no body.
QByteArray head(const QByteArray &xml)
{
    QByteArray block = "Path: news.example\r\nFrom: Jan <x@y>\r\n";
    for (qsizetype from = 0; from < xml.size(); from += 40)
        block += "X-XML: " + xml.mid(from, 40) + "\r\n";
    return block + "Subject: Titel\r\n";
}

QByteArray posting(const QByteArray &inner)
{
    return "<Spotnet><Posting><Description>d</Description>" + inner + "</Posting></Spotnet>";
}

} // namespace

class TestSpotHeadReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // clang-format off
    void read_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("found");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("newsgroup");
        QTest::addColumn<int>("segments");
        QTest::addColumn<int>("files");
        const QByteArray full = posting("<Size>1503238553</Size><Image>http://i/a.jpg</Image><Website>http://w/</Website>"
                                        "<Newsgroup>alt.binaries.x</Newsgroup><NZB><Segment>a@b</Segment><Segment>c@d</Segment></NZB>"
                                        "<Filename>a.rar</Filename><Filename>a.r00</Filename><Filename>a.nfo</Filename>");
        QTest::newRow("normal") << head(full) << true << qint64(1503238553) << QStringLiteral("alt.binaries.x") << 2 << 3;
        QTest::newRow("ends-with-empty-line") << head(full) + "\r\n" << true << qint64(1503238553) << QStringLiteral("alt.binaries.x") << 2 << 3;
        QTest::newRow("no-x-xml") << QByteArray("Path: p\r\nSubject: s\r\n") << false << qint64(0) << QString() << 0 << 0;
        QTest::newRow("empty") << QByteArray() << false << qint64(0) << QString() << 0 << 0;
        QTest::newRow("broken-xml") << head("<Spotnet><Posting><Description>d</Descr") << false << qint64(0) << QString() << 0 << 0;
        QTest::newRow("nul-in-newsgroup") << head(posting(QByteArray("<Newsgroup>alt.b\0x</Newsgroup><Size>5</Size>", 44))) << false << qint64(0) << QString() << 0 << 0;
        QTest::newRow("huge-size") << head(posting("<Size>99999999999999999999999</Size>")) << true << SpotDetails::maxSize << QString() << 0 << 0;
        QTest::newRow("negative-size") << head(posting("<Size>-1024</Size>")) << true << qint64(0) << QString() << 0 << 0;
        QTest::newRow("missing-fields") << head(posting({})) << true << qint64(0) << QString() << 0 << 0;
        QTest::newRow("no-description") << head("<Spotnet><Posting><Size>5</Size></Posting></Spotnet>") << false << qint64(0) << QString() << 0 << 0;
        QTest::newRow("beyond-bound") << head(posting("<Website>" + QByteArray(SpotHeadReader::maxHeadSize, 'w') + "</Website>"))
                                      << false << qint64(0) << QString() << 0 << 0;
    }
    // clang-format on

    void read()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, found);
        QFETCH(qint64, size);
        QFETCH(QString, newsgroup);
        QFETCH(int, segments);
        QFETCH(int, files);
        const std::optional<SpotDetails> details = SpotHeadReader::read(block);
        QCOMPARE(details.has_value(), found);
        if (!details)
            return;
        QCOMPARE(details->size, size);
        QCOMPARE(details->newsgroup, newsgroup);
        QCOMPARE(details->segments, segments);
        QCOMPARE(details->files, files);
    }

    // XML that the one pass must read exactly as the page's document and queries do.
    // clang-format off
    void sameAsThePage_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("newsgroup");
        const QByteArray d = "<Description>d</Description>";
        QTest::newRow("two-postings-joined") << head("<Spotnet><Posting>" + d + "<Size>5</Size><Newsgroup>a</Newsgroup></Posting><Posting>" + d + "<Size>6</Size><Newsgroup>b</Newsgroup></Posting></Spotnet>") << true << QStringLiteral("a b");
        QTest::newRow("first-of-a-kind") << head(posting("<Newsgroup>a</Newsgroup><Newsgroup>b</Newsgroup>")) << true << QStringLiteral("a");
        QTest::newRow("markup-inside") << head(posting("<Newsgroup>alt.<b>bin</b>aries<!-- c --><?pi x?></Newsgroup>")) << true << QStringLiteral("alt.binaries");
        QTest::newRow("cdata-and-escapes") << head(posting("<Newsgroup><![CDATA[a&b<c>]]>&amp;&#10;&#233;</Newsgroup>")) << true << QStringLiteral("a&amp;b&lt;c&gt;&amp;\u00e9");
        QTest::newRow("latin-1-bytes") << head(posting("<Newsgroup>caf\xe9</Newsgroup>")) << true << QStringLiteral("caf\u00e9");
        QTest::newRow("root-spelled-SpotNet") << head("<SpotNet><Posting>" + d + "<Newsgroup>a</Newsgroup></Posting></SpotNet>") << true << QStringLiteral("a");
        QTest::newRow("default-namespace") << head("<Spotnet xmlns=\"urn:x\"><Posting>" + d + "</Posting></Spotnet>") << false << QString();
        QTest::newRow("prefixed-root") << head("<p:Spotnet xmlns:p=\"urn:x\"><Posting>" + d + "</Posting></p:Spotnet>") << false << QString();
        QTest::newRow("undeclared-prefix") << head("<Spotnet><p:Posting>" + d + "</p:Posting></Spotnet>") << false << QString();
        QTest::newRow("deeper-elements-ignored") << head(posting("<X><Newsgroup>a</Newsgroup><Filename>f</Filename><NZB><Segment>s</Segment></NZB></X><NZB><X><Segment>s</Segment></X></NZB>")) << true << QString();
        QTest::newRow("segments-of-two-nzbs") << head(posting("<NZB><Segment>a</Segment></NZB><NZB><Segment>b</Segment><Segment>c</Segment></NZB><Filename>f</Filename>")) << true << QString();
        QTest::newRow("entity-declared") << head("<!DOCTYPE Spotnet [<!ENTITY e \"b\">]>" + posting("<Newsgroup>a</Newsgroup>")) << false << QString();
        QTest::newRow("undeclared-entity") << head(posting("<Newsgroup>&e;</Newsgroup>")) << false << QString();
        QTest::newRow("description-line-feeds-only") << head("<Spotnet><Posting><Description>&#10;&#10;</Description></Posting></Spotnet>") << false << QString();
        QTest::newRow("two-empty-descriptions") << head("<Spotnet><Posting><Description/></Posting><Posting><Description/></Posting></Spotnet>") << true << QString();
        QTest::newRow("text-after-root") << head(posting({}) + "x") << false << QString();
        QTest::newRow("empty-line-ends-headers") << head(posting("<Newsgroup>a</Newsgroup>")) + "\r\nX-XML: <Newsgroup>b</Newsgroup>\r\n" << true << QStringLiteral("a");
    }
    // clang-format on

    void sameAsThePage()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, found);
        QFETCH(QString, newsgroup);
        const std::optional<SpotDetails> details = SpotHeadReader::read(block);
        QCOMPARE(details, pageDetails(block));
        QCOMPARE(details.has_value(), found);
        if (details)
            QCOMPARE(details->newsgroup, newsgroup);
    }

    // A poster's texts are kept up to the bound alone.
    void longTextsAreCut()
    {
        const QByteArray image(100000, 'i');
        const auto details = SpotHeadReader::read(head(posting("<Image>" + image + "</Image>")));
        QVERIFY(details);
        QCOMPARE(details->image.size(), SpotDetails::maxTextLength);
    }
};

TARNWICK_TEST_MAIN(TestSpotHeadReader)
#include "tst_spotheadreader.moc"
