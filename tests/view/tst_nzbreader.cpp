#include "nzbescape.h"
#include "nzbreader.h"
#include "spotarticles.h"
#include "testmain.h"
#include "zlibstream.h"

namespace {

// An NZB article as the client delivers it.
QByteArray article(QByteArrayView deflated)
{
    return SpotArticles::delivered(SpotArticles::nzbArticle(deflated));
}

QByteArray nzbFile(const QByteArray &subject, const QByteArray &groups = "<group>alt.binaries.x</group>")
{
    return "<file poster=\"p\" date=\"1\" subject=\"" + subject + "\"><groups>" + groups
        + "</groups><segments><segment bytes=\"10\" number=\"1\">s1@x</segment></segments></file>";
}

QByteArray nzb(const QByteArray &files, const QByteArray &root = "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">")
{
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\n<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" "
           "\"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
        + root + "\n" + files + "\n</nzb>\n";
}

QByteArray quoted(const QByteArray &name)
{
    return "[1/3] - &quot;" + name + "&quot; yEnc (1/20)";
}

QByteArray entityBomb()
{
    const QByteArray subset = SpotArticles::entityBombDeclarations();
    return "<?xml version=\"1.0\"?><!DOCTYPE nzb [" + subset + "]><nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">"
        + nzbFile("&e9;.rar", "<group>&e9;</group>") + "</nzb>";
}

const QString spotGroup = QStringLiteral("spot.group");
const QString undecodable = QStringLiteral("Fout bij decoderen/uitpakken NZB");
const QString untagged = QStringLiteral("NZB ongeldig (geen <nzb> tag)");
const QString badXml = QStringLiteral("NZB bevat foutieve XML");

} // namespace

class TestNzbReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void readNzb_data()
    {
        QTest::addColumn<QByteArray>("article");
        QTest::addColumn<QString>("spotNewsgroup");
        QTest::addColumn<QStringList>("spotFiles");
        QTest::addColumn<QString>("newsgroup");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("diagnostics");
        const auto s = [](const char *text) { return QString::fromLatin1(text); };

        QTest::newRow("rar-set-drops-nfo")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("x.part2.rar")) + nzbFile(quoted("x.part1.rar")) + nzbFile(quoted("x.nfo")))))
            << QString() << QStringList() << s("alt.binaries.x") << QStringList{s("x.part1.rar"), s("x.part2.rar")} << QStringList();
        QTest::newRow("rar-filter-keeps-dot-r-and-covers-spot-names")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("x.rar")) + nzbFile(quoted("my.release.nfo")))))
            << spotGroup << QStringList{s("cover.jpg"), s("x.r00")} << s("alt.binaries.x")
            << QStringList{s("my.release.nfo"), s("x.r00"), s("x.rar")} << QStringList();
        QTest::newRow("no-rar-sorted-none-removed")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("b.mkv")) + nzbFile(quoted("a.nfo")))))
            << QString() << QStringList{s("c.jpg")} << s("alt.binaries.x") << QStringList{s("a.nfo"), s("b.mkv"), s("c.jpg")}
            << QStringList();
        QTest::newRow("two-groups-joined-by-one-space")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("a.avi"), "<group>a.b.one</group>\n<group>a.b.two</group>")
                                      + nzbFile(quoted("b.avi"), "<group>a.b.three</group>"))))
            << spotGroup << QStringList() << s("a.b.one a.b.two") << QStringList{s("a.avi"), s("b.avi")} << QStringList();
        QTest::newRow("group-written-as-xml")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("a.avi"), "<group>a&amp;b&#10;</group>"))))
            << spotGroup << QStringList() << s("a&amp;b") << QStringList{s("a.avi")} << QStringList();
        QTest::newRow("escaped-equals-before-C")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("a=C=B.avi"))), 0))
            << QString() << QStringList() << s("alt.binaries.x") << QStringList{s("a=C=B.avi")} << QStringList();
        QTest::newRow("no-namespace-first-group-and-subject-by-pattern")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("b.rar"), "<group>\n  alt.first \n</group>") + nzbFile(quoted("a.rar")), "<nzb>")))
            << spotGroup << QStringList{s("z.nfo")} << s("alt.first \n") << QStringList{s("z.nfo"), s("b.rar")}
            << QStringList{badXml, QStringLiteral("\"[1/3] - &quot;b.rar&quot; yEnc (1/20)\"")};
        QTest::newRow("no-group-files-listed-once")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("a.avi"), "")))) << QString() << QStringList{s("c.jpg")}
            << QString() << QStringList{s("c.jpg"), s("a.avi")}
            << QStringList{badXml, QStringLiteral("\"[1/3] - &quot;a.avi&quot; yEnc (1/20)\"")};
        QTest::newRow("xml-does-not-parse")
            << article(ZlibStream::deflateRaw("<nzb><file subject=\"a.rar\"><group>g.h</group></nzb>")) << QString() << QStringList()
            << s("g.h") << QStringList{s("a.rar")} << QStringList{badXml, QStringLiteral("\"a.rar\"")};
        QTest::newRow("long-white-space-before-a-later-group")
            << article(ZlibStream::deflateRaw("<nzb>\n<group>" + QByteArray(200000, ' ') + "<group>alt.late</group>\n</nzb>"))
            << QString() << QStringList() << s("alt.late") << QStringList() << QStringList{badXml};
        QTest::newRow("entity-bomb-never-expanded")
            << article(ZlibStream::deflateRaw(entityBomb())) << spotGroup << QStringList() << s("&e9;") << QStringList{s("e9;.rar")}
            << QStringList{badXml, QStringLiteral("\"&e9;.rar\"")};
        QTest::newRow("corrupt-deflate-keeps-spot-fields")
            << article("this is no deflate data") << spotGroup << QStringList{s("a.rar")} << spotGroup
            << QStringList{s("a.rar")} << QStringList{undecodable, untagged};
        QTest::newRow("corrupt-deflate-without-spot-newsgroup")
            << article("\x01\x02\x03") << QString() << QStringList() << QString() << QStringList()
            << QStringList{undecodable, untagged};
        QTest::newRow("truncated-deflate")
            << article(ZlibStream::deflateRaw(nzb(nzbFile(quoted("a.rar")))).chopped(8)) << spotGroup << QStringList() << spotGroup
            << QStringList() << QStringList{undecodable, untagged};
        QTest::newRow("inflates-past-the-bound")
            << article(ZlibStream::deflateRaw(QByteArray(NzbReader::maxNzbSize + 1024 * 1024, 'n'))) << spotGroup << QStringList()
            << spotGroup << QStringList() << QStringList{undecodable, untagged};
        QTest::newRow("no-nzb-tag") << article(ZlibStream::deflateRaw("<html><group>g</group></html>")) << spotGroup << QStringList()
                                    << spotGroup << QStringList() << QStringList{untagged};
    }
    // clang-format on

    void readNzb()
    {
        QFETCH(QByteArray, article);
        QFETCH(QString, spotNewsgroup);
        QFETCH(QStringList, spotFiles);
        QFETCH(QString, newsgroup);
        QFETCH(QStringList, files);
        QFETCH(QStringList, diagnostics);
        for (const QString &line : diagnostics)
            QTest::ignoreMessage(QtDebugMsg, line.toLatin1().constData());
        QString readGroup = spotNewsgroup;
        QStringList readFiles = spotFiles;
        QCOMPARE(NzbReader::readNzb(article, readGroup, readFiles), !newsgroup.isEmpty());
        QCOMPARE(readGroup, newsgroup);
        QCOMPARE(readFiles, files);
    }

    void articleWithoutBodyIsIgnored()
    {
        QString group = spotGroup;
        QStringList files{QStringLiteral("a.rar")};
        QVERIFY(!NzbReader::readNzb("Subject: nzb\r\n", group, files));
        QCOMPARE(group, spotGroup);
        QCOMPARE(files, QStringList{QStringLiteral("a.rar")});
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void decodeBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("escapes") << QByteArray("a=Ab=Bc=Cd=De\r\n.\r\n") << QByteArray("a\0b\rc\nd=e", 9);
        QTest::newRow("escaped-equals-before-C") << QByteArray("=DC\r\n.\r\n") << QByteArray("=C");
        QTest::newRow("first-line-dot-stuffed") << QByteArray("..ab\r\n.\r\n") << QByteArray(".ab");
        QTest::newRow("later-line-dot-stuffed") << QByteArray("ab\r\n...c\r\n.\r\n") << QByteArray("ab..c");
        QTest::newRow("dots-inside-a-line-kept") << QByteArray("a..b\r\n.\r\n") << QByteArray("a..b");
        QTest::newRow("escape-split-over-lines") << QByteArray("ab=\r\nCd\r\n.\r\n") << QByteArray("ab\nd");
        QTest::newRow("unknown-escape-kept") << QByteArray("=E=\r\n.\r\n") << QByteArray("=E=");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    // clang-format on

    void decodeBody()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, bytes);
        QCOMPARE(NzbEscape::decodeBody(body), bytes);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void fileNameFromSubject_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("name");
        const auto s = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("quoted-name-with-space") << s("[1/3] - \"a b.rar\" yEnc (1/20)") << s("a b.rar");
        QTest::newRow("path-before-name") << s("a/b/c.d.rar (1/2)") << s("c.d.rar");
        QTest::newRow("dot-first") << s(".hidden") << s(".hidden");
        QTest::newRow("two-extensions") << s("x.tar.gz") << s("x.tar.gz");
        QTest::newRow("one-quote-only") << s("een \"film.mkv yEnc") << s("film.mkv");
        QTest::newRow("extension-ends-at-punctuation") << s("film.mkv-(1/5)") << s("film.mkv");
        QTest::newRow("unicode-letter-in-extension") << s("boek.\xe9pub (1/1)") << s("boek.\xe9pub");
        QTest::newRow("backslash-and-colon-stop") << s("C:\\map\\f.nfo") << s("f.nfo");
        QTest::newRow("empty-extension") << s("raar. (1/1)") << s("raar.");
        QTest::newRow("empty-quotes") << s("\"\" x.rar") << QString();
        QTest::newRow("no-dot-kept-whole") << s("geen punt") << s("geen punt");
    }
    // clang-format on

    void fileNameFromSubject()
    {
        QFETCH(QString, subject);
        QFETCH(QString, name);
        QCOMPARE(NzbReader::fileNameFromSubject(subject), name);
    }
};

TARNWICK_TEST_MAIN(TestNzbReader)
#include "tst_nzbreader.moc"
