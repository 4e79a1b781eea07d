#include "pagestructure.h"
#include "spotarticles.h"
#include "spotpage.h"
#include "testmain.h"

namespace {

const PageTemplates templates{
    "D={description}|S={size}|W={website}|N={numfiles}|F={firstfile}|L={lastfile}|G={newsgroup}|C={comments}",
    "<{name}:{comment}>"};

const QByteArray spotId = "k3y@free.pt";

// A spot article as delivered, its XML split over "X-XML: " lines of 40 bytes.
QByteArray spotArticle(const QByteArray &posting)
{
    return SpotArticles::delivered(SpotArticles::spot("<Spotnet><Posting>" + posting + "</Posting></Spotnet>", 40));
}

QByteArray comment(const QByteArray &name, const QByteArray &text)
{
    return SpotArticles::delivered(SpotArticles::comment(name, text, spotId));
}

// The fragment of comment(name, text): the text as written, without its transfer's end.
QByteArray shown(const QByteArray &name, const QByteArray &text)
{
    return '<' + name + ':' + text + "\r\n>";
}

QByteArray page(const QByteArray &description, const QByteArray &size = "-", const QByteArray &files = "N=-|F=-|L=-",
                const QByteArray &group = "-", const QByteArray &comments = {})
{
    return "D=" + description + "|S=" + size + "|W=-|" + files + "|G=" + group + "|C=" + comments;
}

SpotPage opened(const QList<quint32> &comments = {}, bool showImages = false)
{
    SpotPage spot(templates, showImages);
    spot.open(spotId, comments);
    return spot;
}

} // namespace

// Found by QCOMPARE through the type's namespace.
bool operator==(const SpotPage::Update &a, const SpotPage::Update &b)
{
    return a.page == b.page && a.urgentRequest == b.urgentRequest;
}

char *toString(const SpotPage::Update &update)
{
    return QTest::toString("{" + update.page + ", " + update.urgentRequest + "}");
}

class TestSpotPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void sizes_data()
    {
        QTest::addColumn<QByteArray>("size");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("zero") << QByteArray("0") << QByteArray("-");
        QTest::newRow("not-a-number") << QByteArray("groot") << QByteArray("-");
        QTest::newRow("below-a-kilobyte") << QByteArray("1023") << QByteArray("1023.00 B");
        QTest::newRow("one-kilobyte") << QByteArray("1024") << QByteArray("1.00 KB");
        QTest::newRow("kilobyte-and-a-half") << QByteArray("1536") << QByteArray("1.50 KB");
        QTest::newRow("gigabytes") << QByteArray("5905580032") << QByteArray("5.50 GB");
        QTest::newRow("1024-terabytes-stay-terabytes") << QByteArray("1125899906842624") << QByteArray("1024.00 TB");
        QTest::newRow("past-terabytes") << QByteArray("3377699720527872") << QByteArray("3072.00 TB");
    }
    // clang-format on

    void sizes()
    {
        QFETCH(QByteArray, size);
        QFETCH(QByteArray, text);
        SpotPage spot = opened();
        const SpotPage::Update update
            = spot.articleData(spotId, spotArticle("<Description>d</Description><Size>" + size + "</Size>"));
        QCOMPARE(update.page, page("d", text));
        QCOMPARE(update.urgentRequest, QByteArray());
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void fields_data()
    {
        QTest::addColumn<QByteArray>("posting");
        QTest::addColumn<bool>("showImages");
        QTest::addColumn<QByteArray>("page");
        const QByteArray image = "<Image>http://i.example/a.jpg?x=1&amp;y=\"2\"</Image>";
        const QByteArray imageTag
            = "<img class=\"spotimage\" style=\"float:left; margin-right: 10px; margin-bottom:15px; max-width: 500px; "
              "max-height: 500px;\" alt=\"Plaatje\" src=\"tarnwick-page:image?http%3A%2F%2Fi.example%2Fa.jpg%3Fx%3D1%26y%3D2\"> ";
        QTest::newRow("website-written-once")
            << QByteArray("<Description>d</Description><Website>http://w.example/?a=1&amp;b=\"2\"</Website>") << false
            << QByteArray("D=d|S=-|W=<a href=\"http://w.example/?a=1&amp;b=2\">http://w.example/?a=1&amp;b=2</a>"
                          "|N=-|F=-|L=-|G=-|C=");
        QTest::newRow("website-without-http-is-no-link")
            << QByteArray("<Description>d</Description><Website>javascript:alert(1)</Website>") << false
            << QByteArray("D=d|S=-|W=javascript:alert(1)|N=-|F=-|L=-|G=-|C=");
        QTest::newRow("image-shown") << "<Description>d</Description>" + image << true << page(imageTag + "d");
        QTest::newRow("image-hidden") << "<Description>d</Description>" + image << false << page("d");
        QTest::newRow("no-image") << QByteArray("<Description>d</Description>") << true << page("d");
        QTest::newRow("rar-set-opens-with-rar")
            << QByteArray("<Description>d</Description><Filename>a.r00</Filename><Filename>a.r01</Filename>"
                          "<Filename>a.rar</Filename>")
            << false << page("d", "-", "N=3|F=a.rar|L=a.r01");
        QTest::newRow("first-and-last-otherwise")
            << QByteArray("<Description>d</Description><Filename>a.r00</Filename><Filename>a.nfo</Filename>") << false
            << page("d", "-", "N=2|F=a.r00|L=a.nfo");
        QTest::newRow("one-file-is-first-and-last")
            << QByteArray("<Description>d</Description><Filename>x.nfo</Filename>") << false
            << page("d", "-", "N=1|F=x.nfo|L=x.nfo");
        QTest::newRow("newsgroup") << QByteArray("<Description>d</Description><Newsgroup>alt.b</Newsgroup>") << false
                                   << page("d", "-", "N=-|F=-|L=-", "alt.b");
        QTest::newRow("description-shows-size")
            << QByteArray("<Description>size {size}</Description><Size>1024</Size>") << false
            << page("size 1.00 KB", "1.00 KB");
        QTest::newRow("later-placeholder-in-newsgroup-stays")
            << QByteArray("<Description>d</Description><Newsgroup>{size}</Newsgroup>") << false
            << page("d", "-", "N=-|F=-|L=-", "{size}");
        QTest::newRow("earlier-placeholder-in-newsgroup-stays")
            << QByteArray("<Description>d</Description><Newsgroup>{description}</Newsgroup>") << false
            << page("d", "-", "N=-|F=-|L=-", "{description}");
        QTest::newRow("description-shows-what-a-field-names-as-written")
            << QByteArray("<Description>{newsgroup} {description}</Description><Newsgroup>{size}</Newsgroup>") << false
            << page("{size} {description}", "-", "N=-|F=-|L=-", "{size}");
        QTest::newRow("image-of-loopback-not-shown")
            << QByteArray("<Description>d</Description><Image>http://127.0.0.1:6789/a.png</Image>") << true << page("d");
    }
    // clang-format on

    void fields()
    {
        QFETCH(QByteArray, posting);
        QFETCH(bool, showImages);
        QFETCH(QByteArray, page);
        SpotPage spot = opened({}, showImages);
        QCOMPARE(spot.articleData(spotId, spotArticle(posting)).page, page);
    }

    // Fields of a poster who wants a script or attributes of his own in the page, with the
    // templates the program ships: only their elements and the page's own link and picture
    // come out, every value inside its attribute or in text.
    // The rows stay as laid out, one case a row.
    // clang-format off
    void hostileFields_data()
    {
        QTest::addColumn<QByteArray>("posting");
        QTest::addColumn<QByteArray>("commentName");
        QTest::addColumn<QByteArray>("commentText");
        QTest::addColumn<QByteArray>("shown"); // in the page bytes
        const QByteArray d = "<Description>d</Description>";
        QTest::newRow("image-names-a-later-field-with-a-quote")
            << d + "<Image>http://i.example/{newsgroup}.png</Image><Newsgroup>x\" onerror=\"document.title='p'</Newsgroup>"
            << QByteArray("n") << QByteArray("t") << QByteArray("src=\"tarnwick-page:image?http%3A%2F%2Fi.example%2F%257Bnewsgroup%257D.png\">");
        QTest::newRow("website-names-a-later-field-with-a-quote")
            << d + "<Website>http://w.example/{firstfile}</Website><Filename>\" onmouseover=\"x\" style=\"top:0</Filename>"
            << QByteArray("n") << QByteArray("t")
            << QByteArray("<a href=\"http://w.example/{firstfile}\">http://w.example/{firstfile}</a>");
        QTest::newRow("website-names-the-comments")
            << d + "<Website>http://w.example/{comments}</Website>" << QByteArray("n")
            << QByteArray("\" onmouseover=\"x") << QByteArray("<a href=\"http://w.example/{comments}\">");
        QTest::newRow("double-quote-in-image")
            << d + "<Image>http://i.example/a.png\" onerror=\"x</Image>" << QByteArray("n") << QByteArray("t")
            << QByteArray("src=\"tarnwick-page:image?http%3A%2F%2Fi.example%2Fa.png%2520onerror%3Dx\">");
        QTest::newRow("single-quotes-in-website")
            << d + "<Website>http://w.example/a' onmouseover='x</Website>" << QByteArray("n") << QByteArray("t")
            << QByteArray("<a href=\"http://w.example/a&#39; onmouseover=&#39;x\">");
        QTest::newRow("brackets-and-entities-in-website")
            << d + "<Website>http://w.example/&lt;b&gt;&amp;quot;&amp;amp;</Website>" << QByteArray("n")
            << QByteArray("t") << QByteArray("<a href=\"http://w.example/&lt;b&gt;&amp;quot;&amp;amp;\">");
        QTest::newRow("javascript-website-is-text")
            << d + "<Website>javascript:document.title='p'</Website>" << QByteArray("n") << QByteArray("t")
            << QByteArray("<td> javascript:document.title=&#39;p&#39;</td>");
        QTest::newRow("data-image-not-shown")
            << QByteArray("<Description>[b]d[/b]</Description><Image>data:image/svg+xml,&lt;svg onload='x'&gt;</Image>")
            << QByteArray("n") << QByteArray("t") << QByteArray("<div class=\"content\"><b>d</b></div>");
        QTest::newRow("tags-in-description-and-file-names")
            << QByteArray("<Description>&lt;script&gt;x&lt;/script&gt;</Description><Filename>&lt;img src=x "
                          "onerror=y&gt;</Filename>")
            << QByteArray("n") << QByteArray("t") << QByteArray("&lt;img src=x onerror=y&gt;</span>");
        QTest::newRow("comment-name-names-the-comment")
            << d << QByteArray("{comment}") << QByteArray("<script>x</script>[i]")
            << QByteArray("<b>{comment}</b>\n<hr>\n\n&lt;script&gt;x&lt;/script&gt;<i>");
    }
    // clang-format on

    void hostileFields()
    {
        QFETCH(QByteArray, posting);
        QFETCH(QByteArray, commentName);
        QFETCH(QByteArray, commentText);
        QFETCH(QByteArray, shown);
        const PageTemplates shipped = PageTemplates::load(QStringLiteral("/nonexistent"));
        SpotPage spot(shipped, true);
        spot.open(spotId, {1});
        spot.articleData(spotId, spotArticle(posting));
        const QByteArray page = spot.articleData("1", comment(commentName, commentText)).page;
        QVERIFY2(page.contains(shown), page.constData());
        QCOMPARE(PageStructure::foreignTag(page, shipped), QByteArray());
    }

    // Fields that name each other's placeholders multiplied the page with every step.
    void fieldsNamingEachOtherDoNotMultiply()
    {
        const QByteArray posting = "<Description>" + QByteArray("{website}").repeated(500)
            + "</Description><Website>http://w/" + QByteArray("{firstfile}").repeated(200) + "</Website><Filename>"
            + QByteArray("{newsgroup}").repeated(200) + "</Filename><Newsgroup>" + QByteArray(10000, 'g')
            + "</Newsgroup>";
        SpotPage spot = opened();
        const QByteArray page = spot.articleData(spotId, spotArticle(posting)).page;
        QVERIFY2(page.startsWith("D=<a href=\"http://w/{firstfile}"), page.left(200).constData());
        // Each of the 500 links as long as the website; the website not filled in further.
        QVERIFY2(page.size() < 2 * 500 * 2300 + posting.size(), QByteArray::number(page.size()).constData());
    }

    void descriptionPlaceholdersPastTheLimitStayAsWritten()
    {
        SpotPage spot = opened({1});
        spot.articleData(spotId,
                         spotArticle("<Description>" + QByteArray("{comments}").repeated(100) + "</Description>"));
        const QByteArray text(100 * 1024, 'c');
        const QByteArray shownPage = spot.articleData("1", comment("n", text)).page;
        QCOMPARE(shownPage, page(QByteArray("{comments}").repeated(100), "-", "N=-|F=-|L=-", "-", shown("n", text)));
    }

    void pagePastTheLimitIsAMessage()
    {
        SpotPage spot = opened();
        const QByteArray description(SpotPage::defaultPageLimit, 'd');
        QCOMPARE(spot.articleData(spotId, spotArticle("<Description>" + description + "</Description>")).page,
                 QByteArray("Deze spot is te groot om te tonen."));
    }

    // A comment that the page could not hold is left out; the spot and the others show.
    void commentsPastTheLimitLeftOut()
    {
        SpotPage spot = opened({1, 2, 3});
        spot.articleData(spotId, spotArticle("<Description>d</Description>"));
        const QByteArray text(3 * 1024 * 1024, 'c');
        spot.articleData("1", comment("a", text));
        spot.articleData("2", comment("b", text));
        const QByteArray shownPage = spot.articleData("3", comment("c", text)).page;
        QCOMPARE(shownPage, page("d", "-", "N=-|F=-|L=-", "-", shown("a", text) + shown("b", text)));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void messageIds_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("requested");
        QTest::newRow("spot-key-gets-spot-domain") << QByteArray("k3y") << QByteArray("k3y@free.pt");
        QTest::newRow("message-id-unchanged") << QByteArray("k3y@example.com") << QByteArray("k3y@example.com");
    }
    // clang-format on

    void messageIds()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, requested);
        SpotPage spot(templates, false);
        spot.open(stored, {7, 4294967295u});
        QCOMPARE(spot.spotMessageId(), requested);
        QCOMPARE(spot.pendingComments(), (QList<qint32>{7, -1}));
        QCOMPARE(spot.articleData("-1", comment("Jan", "a")).page, QByteArray());
        QCOMPARE(spot.pendingComments(), QList<qint32>{7});
    }

    void renderedOnceWhenTheLastCommentIsAnswered()
    {
        SpotPage spot = opened({5, 6, 7});
        QVERIFY(!spot.articleData(spotId, spotArticle("<Description>d</Description>")).page.isEmpty());
        QCOMPARE(spot.articleData("7", comment("Piet", "b")).page, QByteArray());
        QCOMPARE(spot.articleNotFound("6"), QByteArray());
        // In arrival order, not in number order.
        QCOMPARE(spot.articleData("5", comment("Jan", "a")).page,
                 page("d", "-", "N=-|F=-|L=-", "-", shown("Piet", "b") + shown("Jan", "a")));
        QVERIFY(spot.pendingComments().isEmpty());
    }

    void commentsBeforeTheSpotRenderEmptyFields()
    {
        SpotPage spot = opened({1});
        QCOMPARE(spot.articleNotFound("1"), page({}));
        QCOMPARE(spot.articleData(spotId, spotArticle("<Description>d</Description>")).page, page("d"));
    }

    void aNumberTwoPagesWaitForIsRenderedByBoth()
    {
        SpotPage first = opened({9});
        SpotPage second(templates, false);
        second.open("other", {9, 9});
        const QByteArray article = comment("Jan", "a");
        QCOMPARE(first.articleData("9", article).page, page({}, "-", "N=-|F=-|L=-", "-", shown("Jan", "a")));
        QCOMPARE(second.articleData("9", article).page, QByteArray()); // one of its two is still pending
        QCOMPARE(second.pendingComments(), QList<qint32>{9});
    }

    void renderedAfterTheSpotAndAfterTheNzb()
    {
        SpotPage spot = opened();
        const SpotPage::Update afterSpot = spot.articleData(
            spotId,
            spotArticle("<Description>d</Description><Filename>b.nfo</Filename><NZB><Segment>nzb1@x</Segment></NZB>"));
        QCOMPARE(afterSpot.page, page("d", "-", "N=1|F=b.nfo|L=b.nfo"));
        QCOMPARE(afterSpot.urgentRequest, QByteArray("nzb1@x"));

        const QByteArray nzb = SpotArticles::delivered(SpotArticles::nzb(SpotArticles::nzbXml(
            {"&quot;a.rar&quot; yEnc (1/9)", "&quot;a.r00&quot; yEnc (1/9)"}, {"alt.binaries.x"})));
        const QByteArray afterNzb = page("d", "-", "N=2|F=a.rar|L=a.r00", "alt.binaries.x");
        QCOMPARE(spot.articleData("nzb1@x", nzb), (SpotPage::Update{afterNzb, {}}));
        // The NZB again (another page of this spot asked for it too) adds nothing twice.
        QCOMPARE(spot.articleData("nzb1@x", nzb).page, afterNzb);
        QCOMPARE(spot.articleNotFound("nzb1@x"), QByteArray());
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void unusableSpotArticle_data()
    {
        QTest::addColumn<QByteArray>("article");
        QTest::newRow("no-header-end") << QByteArray("X-XML: <Spotnet><Posting><Description>d</Description>\r\n");
        QTest::newRow("no-xml") << QByteArray("From: s\r\n\r\nbody\r\n.\r\n");
        QTest::newRow("empty-description") << spotArticle("<Description></Description>");
    }
    // clang-format on

    void unusableSpotArticle()
    {
        QFETCH(QByteArray, article);
        SpotPage spot = opened();
        QCOMPARE(spot.articleData(spotId, article), (SpotPage::Update{"Spot bevat ongeldige informatie :-(", {}}));
    }

    void spotArticleNotFound()
    {
        SpotPage spot = opened({3});
        QCOMPARE(spot.articleNotFound(spotId), QByteArray("Spot informatie niet aanwezig op Usenet server :-("));
        QCOMPARE(spot.pendingComments(), QList<qint32>{3});
    }

    void idsOfOtherPagesIgnored()
    {
        SpotPage spot = opened({4});
        const QByteArray article = spotArticle("<Description>d</Description>");
        QCOMPARE(spot.articleData("other@free.pt", article), (SpotPage::Update{}));
        QCOMPARE(spot.articleData("k3y", article), (SpotPage::Update{}));
        QCOMPARE(spot.articleData("5", comment("Jan", "a")), (SpotPage::Update{}));
        QCOMPARE(spot.articleNotFound("other@free.pt"), QByteArray());
        QCOMPARE(spot.articleNotFound("5"), QByteArray());
        QCOMPARE(spot.pendingComments(), QList<qint32>{4});
    }
};

TARNWICK_TEST_MAIN(TestSpotPage)
#include "tst_spotpage.moc"
