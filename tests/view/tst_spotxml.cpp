#include "bytetext.h"
#include "spotarticles.h"
#include "spotdetails.h"
#include "spotxml.h"
#include "testmain.h"

namespace {

const QByteArray segment = "<NZB><Segment>nzb1@spot.net</Segment><Segment>nzb2@spot.net</Segment></NZB>";

QByteArray posting(const QByteArray &inner, const QByteArray &root = "Spotnet")
{
    return "<" + root + "><Posting>" + inner + "</Posting></" + root + ">";
}

// A spot article whose XML is spread over the given "X-XML: " lines, between other headers.
QByteArray article(const QList<QByteArray> &xmlLines)
{
    QByteArray text = "Path: news.example\r\nFrom: Jan <x@y>\r\n";
    for (const QByteArray &line : xmlLines)
        text += "X-XML: " + line + "\r\n";
    return text + "Subject: Titel\r\n\r\nBody\r\n.\r\n";
}

QByteArray article(const QByteArray &xml)
{
    return article(QList<QByteArray>{xml});
}

// Ten levels of ten references each: a billion "lol"s if anything expanded it.
QByteArray entityBomb()
{
    const QByteArray subset = SpotArticles::entityBombDeclarations();
    return "<?xml version=\"1.0\"?><!DOCTYPE Spotnet [" + subset + "]>"
        + posting("<Description>&e9;</Description>" + segment);
}

} // namespace

class TestSpotXml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void fields_data()
    {
        QTest::addColumn<QByteArray>("article");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("newsgroup");
        QTest::addColumn<QByteArray>("nzb");
        QTest::addColumn<QStringList>("files");

        const QByteArray full = posting("<Description>Een [b]film[/b]</Description><Image>http://img/a.jpg</Image>"
                                        "<Website>http://site/</Website><Newsgroup>alt.binaries.x</Newsgroup>"
                                        + segment + "<Filename>a.rar</Filename>");
        QTest::newRow("all-fields") << article(full) << QStringLiteral("Een [b]film[/b]") << QStringLiteral("http://img/a.jpg") << QStringLiteral("http://site/")
                                    << QStringLiteral("alt.binaries.x") << QByteArray("nzb1@spot.net") << QStringList{QStringLiteral("a.rar")};
        QTest::newRow("root-written-SpotNet")
            << article(posting("<Description>d</Description>" + segment, "SpotNet")) << QStringLiteral("d") << QString()
            << QString() << QString() << QByteArray("nzb1@spot.net") << QStringList();
        QTest::newRow("only-closing-tag-SpotNet")
            << article("<Spotnet><Posting><Description>d</Description>" + segment + "</Posting></SpotNet>")
            << QStringLiteral("d") << QString() << QString() << QString() << QByteArray("nzb1@spot.net") << QStringList();
        QTest::newRow("lines-joined-without-separator")
            << article({"<Spotnet><Post", "ing><Description>een", "twee</Description>" + segment + "</Posting></Spotnet>"})
            << QStringLiteral("eentwee") << QString() << QString() << QString() << QByteArray("nzb1@spot.net") << QStringList();
        QTest::newRow("x-xml-without-space-ignored")
            << article(posting("<Description>d</Description>" + segment)).replace("From:", "X-XML:<broken\r\nFrom:")
            << QStringLiteral("d") << QString() << QString() << QString() << QByteArray("nzb1@spot.net") << QStringList();
        QTest::newRow("single-values-written-as-xml")
            << article(posting("<Description>a &amp; b &lt;i&gt; &amp;amp;</Description><Website>http://s/?a=1&amp;b=2</Website>"
                               "<Newsgroup>a&#10;b</Newsgroup>" + segment + "<Filename>x &amp; y.rar</Filename>"))
            << QStringLiteral("a &amp; b &lt;i&gt; &amp;amp;") << QString() << QStringLiteral("http://s/?a=1&amp;b=2")
            << QStringLiteral("ab") << QByteArray("nzb1@spot.net") << QStringList{QStringLiteral("x & y.rar")};
        QTest::newRow("several-file-names-in-order")
            << article(posting("<Description>d</Description>" + segment
                               + "<Filename>b.r00</Filename><Filename>a.r01</Filename><Filename>c.rar</Filename>"))
            << QStringLiteral("d") << QString() << QString() << QString() << QByteArray("nzb1@spot.net")
            << QStringList{QStringLiteral("b.r00"), QStringLiteral("a.r01"), QStringLiteral("c.rar")};
        QTest::newRow("no-nzb-segment") << article(posting("<Description>d</Description>")) << QStringLiteral("d")
                                        << QString() << QString() << QString() << QByteArray() << QStringList();
        QTest::newRow("utf8-byte-for-byte")
            << article(posting("<Description>caf\xc3\xa9</Description>" + segment))
            << ByteText::toText("caf\xc3\xa9") << QString() << QString() << QString() << QByteArray("nzb1@spot.net") << QStringList();
        QTest::newRow("declared-encoding-ignored")
            << article("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + posting("<Description>\xe9</Description>" + segment))
            << ByteText::toText("\xe9") << QString() << QString() << QString() << QByteArray("nzb1@spot.net") << QStringList();
    }
    // clang-format on

    // A spot page reads of a spot article only what readPart() keeps of its header.
    void readPartIsAllThatIsRead()
    {
        const QByteArray xml = posting("<Description>Tekst</Description><Size>5</Size>" + segment);
        const QByteArray whole = article({xml.left(30), xml.mid(30)});
        const QByteArray part = SpotFields::readPart(QByteArrayView(whole).first(whole.indexOf("\r\n\r\n") + 2));
        QCOMPARE(part, "X-XML: " + xml.left(30) + "\r\nX-XML: " + xml.mid(30) + "\r\n\r\n");
        const std::optional<SpotFields> fromPart = SpotFields::parseArticle(part);
        const std::optional<SpotFields> fromWhole = SpotFields::parseArticle(whole);
        QVERIFY(fromPart && fromWhole);
        QCOMPARE(fromPart->description, fromWhole->description);
        QCOMPARE(fromPart->size, 5);
        QCOMPARE(fromPart->nzbSegments, fromWhole->nzbSegments);
    }

    void fields()
    {
        QFETCH(QByteArray, article);
        QFETCH(QString, description);
        QFETCH(QString, image);
        QFETCH(QString, website);
        QFETCH(QString, newsgroup);
        QFETCH(QByteArray, nzb);
        QFETCH(QStringList, files);
        if (nzb.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, "Geen NZB referentie in spot informatie");
        const std::optional<SpotFields> fields = SpotFields::parseArticle(article);
        QVERIFY(fields);
        QCOMPARE(fields->description, description);
        QCOMPARE(fields->image, image);
        QCOMPARE(fields->website, website);
        QCOMPARE(fields->newsgroup, newsgroup);
        QCOMPARE(fields->nzbMessageId, nzb);
        QCOMPARE(fields->fileNames, files);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void nzbSegments_data()
    {
        QTest::addColumn<QByteArray>("segments");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QList<QByteArray>>("all");
        QTest::newRow("several-in-order")
            << QByteArray("<Segment>c@x</Segment><Segment>a@x</Segment><Segment>b@x</Segment>") << QByteArray("c@x")
            << QList<QByteArray>{"c@x", "a@x", "b@x"};
        QTest::newRow("as-given-not-written-as-xml") << QByteArray("<Segment>a&amp;b@x</Segment><Segment>c&lt;d@x</Segment>")
                                                     << QByteArray("a&amp;b@x") << QList<QByteArray>{"a&b@x", "c<d@x"};
    }
    // clang-format on

    void nzbSegments()
    {
        QFETCH(QByteArray, segments);
        QFETCH(QByteArray, first);
        QFETCH(QList<QByteArray>, all);
        const auto fields
            = SpotFields::parseArticle(article(posting("<Description>d</Description><NZB>" + segments + "</NZB>")));
        QVERIFY(fields);
        QCOMPARE(fields->nzbMessageId, first);
        QCOMPARE(fields->nzbSegments, all);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void unusable_data()
    {
        QTest::addColumn<QByteArray>("article");
        QTest::addColumn<bool>("diagnosed");
        const QByteArray good = posting("<Description>d</Description>" + segment);
        QTest::newRow("no-end-of-headers") << QByteArray("X-XML: " + good + "\r\n") << false;
        QTest::newRow("no-x-xml-lines") << QByteArray("Subject: x\r\n\r\nbody\r\n.\r\n") << false;
        QTest::newRow("only-x-xml-without-space") << QByteArray("X-XML:" + good + "\r\n\r\nbody\r\n.\r\n") << false;
        QTest::newRow("x-xml-in-body-only") << QByteArray("Subject: x\r\n\r\nX-XML: " + good + "\r\n.\r\n") << false;
        QTest::newRow("empty-description") << article(posting("<Description></Description>" + segment)) << true;
        QTest::newRow("no-description") << article(posting(segment)) << true;
        QTest::newRow("xml-does-not-parse") << article(posting("<Description>d</Descr>" + segment)) << true;
        QTest::newRow("other-root") << article(posting("<Description>d</Description>", "Spot")) << true;
        QTest::newRow("entity-bomb") << article(entityBomb()) << true;
        QTest::newRow("external-entity")
            << article("<!DOCTYPE Spotnet [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>"
                       + posting("<Description>d&x;</Description>" + segment))
            << true;
    }
    // clang-format on

    void unusable()
    {
        QFETCH(QByteArray, article);
        QFETCH(bool, diagnosed);
        if (diagnosed)
            QTest::ignoreMessage(QtDebugMsg, "Fout bij het parsen van XML");
        QVERIFY(!SpotFields::parseArticle(article));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void size_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("size");
        QTest::newRow("kilobyte") << QByteArray("1024") << qint64(1024);
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("not-a-number") << QByteArray("12 MB") << qint64(0);
        QTest::newRow("beyond-32-bit") << QByteArray("5497558138880") << qint64(5497558138880);
        QTest::newRow("spaces") << QByteArray(" 77 ") << qint64(77);
        QTest::newRow("negative") << QByteArray("-5") << qint64(0);
        QTest::newRow("above-bound") << QByteArray("9223372036854775807") << SpotDetails::maxSize;
        QTest::newRow("beyond-64-bit") << QByteArray("92233720368547758080000") << SpotDetails::maxSize;
    }
    // clang-format on

    void size()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, size);
        const auto fields = SpotFields::parseArticle(
            article(posting("<Description>d</Description><Size>" + text + "</Size>" + segment)));
        QVERIFY(fields);
        QCOMPARE(fields->size, size);
    }
};

TARNWICK_TEST_MAIN(TestSpotXml)
#include "tst_spotxml.moc"
