// Spots of a poster who wants his own script, attributes or requests in the page, shown in
// the real web view: the page holds only the template's elements and the program's link and
// picture, no handler of the poster runs, and the web view asks the network for nothing: the
// program fetches the picture, from a public host only, also after a redirect.
#include "pagecontent.h"
#include "pagetemplates.h"
#include "pagetext.h"
#include "pictureserver.h"
#include "settings.h"
#include "spotarticles.h"
#include "spotview.h"
#include "spotwebpage.h"
#include "syncsession.h"
#include "testmain.h"

#include <QNetworkProxy>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <csignal>
#include <memory>

namespace {

// Each element of the page with its attribute names: "A href".
const QString elementsScript
    = QStringLiteral("Array.from(document.querySelectorAll('*')).map(e => e.tagName + Array.from(e.attributes)"
                     ".map(a => ' ' + a.name).join('')).join('\\n')");

QStringList elementsOf(QWebEngineView *view)
{
    return runScript(view, elementsScript).value_or(QVariant()).toString().split(QLatin1Char('\n'));
}

} // namespace

// Every request that a spot page starts, before the page's own filter decides on it.
class RequestRecorder : public QWebEngineUrlRequestInterceptor
{
public:
    QStringList urls;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override { urls += info.requestUrl().toString(); }
};

class TestSpotViewHostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void hostileSpots_data();
    void hostileSpots();
    void hostileSpotsFromTheirHeads_data();
    void hostileSpotsFromTheirHeads();
    void endedRenderProcessLeavesAMessage();

private:
    // The spot's page opened from its whole article, or from the header block that the
    // details run kept (no ARTICLE asked).
    enum class Source { Article, Head };
    SpotView *openSpot(const QByteArray &posting, const QByteArray &commentName = "Lezer",
                       const QByteArray &commentText = "Reactie", Source source = Source::Article);
    void checkHostileSpot(Source source);

    PictureServer pictures;
    RequestRecorder recorder;
    QSet<QString> ownElements; // the shipped template's, and those the program adds
    std::unique_ptr<SyncSession> session;
    QTabWidget tabs;
};

void TestSpotViewHostile::initTestCase()
{
    // The server is the program's proxy for http: a picture of any public host reaches it.
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpCachingProxy, QStringLiteral("127.0.0.1"), pictures.serverPort()));
    PageContent::profile()->setUrlRequestInterceptor(&recorder);

    QWebEngineView view;
    auto *page = new SpotWebPage(&view);
    view.setPage(page);
    QSignalSpy shown(page, &SpotWebPage::pageShown);
    page->showPage(PageTemplates::shared().spot);
    QVERIFY(shown.wait(20000));
    const QStringList templateElements = elementsOf(&view);
    QVERIFY(templateElements.contains(QStringLiteral("TABLE")));
    ownElements = QSet<QString>(templateElements.cbegin(), templateElements.cend());
    for (const char *element : {"A href", "IMG class style alt src", "B", "I", "U", "BR", "HR"})
        ownElements.insert(QLatin1String(element));
}

void TestSpotViewHostile::init()
{
    session = std::make_unique<SyncSession>();
    session->refreshMs = 600000;
    pictures.targets.clear();
    pictures.redirectTo = "http://127.0.0.1:" + QByteArray::number(pictures.serverPort()) + "/secret.png";
    recorder.urls.clear();
}

void TestSpotViewHostile::cleanup()
{
    while (tabs.count() > 0)
        delete tabs.widget(0);
    endSession(session);
}

SpotView *TestSpotViewHostile::openSpot(const QByteArray &posting, const QByteArray &commentName,
                                        const QByteArray &commentText, Source source)
{
    if (source == Source::Head)
        session->configure({{Settings::Key::detailsFetch, true}});
    session->serveSpots(1, 1, 1);
    session->server.addArticle(Tarnwick::spotGroup, 1, "spot1@free.pt",
                               SpotArticles::spot("<Spotnet><Posting>" + posting + "</Posting></Spotnet>"));
    session->server.addArticle(Tarnwick::commentGroup, 1, "c1@example",
                               SpotArticles::comment(commentName, commentText, "spot1@free.pt"));
    Tarnwick &controller = session->start();
    QSignalSpy details(&controller, &Tarnwick::detailsProgress);
    if (!session->waitForCycle())
        return nullptr;
    if (source == Source::Head
        && !QTest::qWaitFor([&] { return !details.isEmpty() && details.last().at(0) == details.last().at(1); }))
        return nullptr;
    return new SpotView(&controller, &tabs, 1, QStringLiteral("Spot 1"), &tabs);
}

void TestSpotViewHostile::hostileSpots_data()
{
    // In the posting, PORT is the picture server's port on loopback.
    QTest::addColumn<QByteArray>("posting");
    QTest::addColumn<QByteArray>("commentName");
    QTest::addColumn<QByteArray>("commentText");
    QTest::addColumn<bool>("images");
    QTest::addColumn<QStringList>("reached"); // what the picture server was asked
    const QByteArray d = "<Description>Beschrijving</Description>";
    const QByteArray handler = "document.title='pwned'";
    const QStringList none;
    const QStringList picture{QStringLiteral("http://images.example/spot.png")};

    QTest::newRow("image-names-a-later-field-with-a-quote")
        << d + "<Image>http://images.example/spot.png?{newsgroup}</Image><Newsgroup>x\" onerror=\"" + handler
            + "</Newsgroup>"
        << QByteArray("Lezer") << QByteArray("Reactie") << true
        << QStringList{QStringLiteral("http://images.example/spot.png?%7Bnewsgroup%7D")};
    QTest::newRow("website-names-a-later-field-with-a-quote")
        << d + "<Website>http://w.example/{firstfile}</Website><Filename>\" onmouseover=\"" + handler
            + "\" style=\"position:fixed</Filename>"
        << QByteArray("Lezer") << QByteArray("Reactie") << false << none;
    QTest::newRow("description-names-fields-with-quotes")
        << "<Description>{website} {newsgroup}</Description><Website>http://w.example/'onmouseover='" + handler
            + "'&lt;img src=x onerror=" + handler + "&gt;</Website><Newsgroup>\"'&lt;b&gt;</Newsgroup>"
        << QByteArray("Lezer") << QByteArray("Reactie") << true << none;
    QTest::newRow("quotes-and-brackets-in-the-image")
        << d + "<Image>http://images.example/spot.png\"'&gt;&lt;img src=x onerror=" + handler + "&gt;</Image>"
        << QByteArray("Lezer") << QByteArray("Reactie") << true
        << QStringList{QStringLiteral("http://images.example/spot.png'%3E%3Cimg%20src=x%20onerror=document.title="
                                      "'pwned'%3E")};
    QTest::newRow("script-and-tags-in-comment")
        << d << QByteArray("{comment}\"'") << "<script>" + handler + "</script><img src=x onerror=" + handler + ">[b]"
        << true << none;
    QTest::newRow("javascript-website") << d + "<Website>javascript:" + handler + "</Website>" << QByteArray("Lezer")
                                        << QByteArray("Reactie") << true << none;
    QTest::newRow("data-image") << d
            + "<Image>data:image/svg+xml,&lt;svg xmlns='http://www.w3.org/2000/svg'/&gt;</Image>"
                                << QByteArray("Lezer") << QByteArray("Reactie") << true << none;
    QTest::newRow("loopback-image") << d + "<Image>http://127.0.0.1:PORT/spot.png</Image>" << QByteArray("Lezer")
                                    << QByteArray("Reactie") << true << none;
    QTest::newRow("localhost-image") << d + "<Image>http://localhost:PORT/spot.png</Image>" << QByteArray("Lezer")
                                     << QByteArray("Reactie") << true << none;
    QTest::newRow("private-image") << d + "<Image>http://192.168.1.1/spot.png</Image>" << QByteArray("Lezer")
                                   << QByteArray("Reactie") << true << none;
    QTest::newRow("local-name-image") << d + "<Image>http://nas.local/spot.png</Image>" << QByteArray("Lezer")
                                      << QByteArray("Reactie") << true << none;
    QTest::newRow("public-image-redirected-to-loopback")
        << d + "<Image>http://images.example/redirect</Image>" << QByteArray("Lezer") << QByteArray("Reactie") << true
        << QStringList{QStringLiteral("http://images.example/redirect")};
    QTest::newRow("public-image-shown") << d + "<Image>http://images.example/spot.png</Image>" << QByteArray("Lezer")
                                        << QByteArray("Reactie") << true << picture;
    QTest::newRow("public-image-hidden") << d + "<Image>http://images.example/spot.png</Image>" << QByteArray("Lezer")
                                         << QByteArray("Reactie") << false << none;
}

void TestSpotViewHostile::hostileSpots()
{
    checkHostileSpot(Source::Article);
}

void TestSpotViewHostile::hostileSpotsFromTheirHeads_data()
{
    QTest::addColumn<QByteArray>("posting");
    QTest::addColumn<QByteArray>("commentName");
    QTest::addColumn<QByteArray>("commentText");
    QTest::addColumn<bool>("images");
    QTest::addColumn<QStringList>("reached");
    const QByteArray handler = "document.title='pwned'";
    QTest::newRow("description-names-fields-with-quotes")
        << "<Description>{website} {newsgroup}&lt;script&gt;" + handler
            + "&lt;/script&gt;</Description><Website>http://w.example/'onmouseover='" + handler
            + "'</Website><Newsgroup>\"'&lt;b&gt;</Newsgroup>"
        << QByteArray("Lezer") << QByteArray("Reactie") << true << QStringList();
    QTest::newRow("line-breaks-placeholders-huge-size-long-text")
        << "<Description>" + QByteArray(20'000, 'd')
            + "&#13;&#10;{comment}{website}&#13;&#10;\"'&lt;b&gt;</Description>"
            + "<Website>http://w.example/&#13;&#10;'onmouseover='" + handler
            + "'</Website><Newsgroup>{description}&#13;&#10;</Newsgroup><Size>99999999999999999999999</Size>"
        << QByteArray("Lezer") << QByteArray("Reactie") << true << QStringList();
    QTest::newRow("javascript-website") << "<Description>x</Description><Website>javascript:" + handler + "</Website>"
                                        << QByteArray("Lezer") << QByteArray("Reactie") << true << QStringList();
}

void TestSpotViewHostile::hostileSpotsFromTheirHeads()
{
    checkHostileSpot(Source::Head);
    QCOMPARE(session->commands("HEAD <spot1@").size(), 1);
    QCOMPARE(session->commands("ARTICLE <spot1@"), QList<QByteArray>());
}

void TestSpotViewHostile::checkHostileSpot(Source source)
{
    QFETCH(QByteArray, posting);
    QFETCH(QByteArray, commentName);
    QFETCH(QByteArray, commentText);
    QFETCH(bool, images);
    QFETCH(QStringList, reached);
    posting.replace("PORT", QByteArray::number(pictures.serverPort()));
    QSettings().setValue(Settings::Key::images, images);
    SpotView *spot = openSpot(posting, commentName, commentText, source);
    QVERIFY(spot);
    QWebEngineView *view = spot->webView();
    QVERIFY(!waitForText(view, QStringLiteral("Reactie van")).isEmpty());
    // Every picture has loaded or failed: nothing more is on its way.
    QTRY_VERIFY_WITH_TIMEOUT(
        runScript(view, QStringLiteral("Array.from(document.images).every(i => i.complete)")).value_or(false).toBool(),
        20000);
    // The program fetched the picture or gave up on it before the page gave up waiting.
    QVERIFY2(pictures.targets == reached, qPrintable(pictures.targets.join(QLatin1Char(' '))));

    const QStringList elements = elementsOf(view);
    for (const QString &element : elements)
        QVERIFY2(ownElements.contains(element), qPrintable(element));
    QCOMPARE(runScript(view, QStringLiteral("document.title")).value_or(QVariant()).toString(),
             QStringLiteral("spot template"));
    QCOMPARE(runScript(view, QStringLiteral("document.images.length")).value_or(-1).toInt(),
             int(images && !reached.isEmpty()));
    // The picture the program fetched is the one shown; a refused one shows nothing.
    const bool served = reached.size() == 1 && !reached.first().endsWith(QLatin1String("/redirect"));
    QCOMPARE(runScript(view, QStringLiteral("Array.from(document.images).map(i => i.naturalWidth).join()"))
                 .value_or(QVariant())
                 .toString(),
             QString::fromLatin1(served                  ? "2"
                                     : reached.isEmpty() ? ""
                                                         : "0"));
    // The web view itself asks the network for nothing: the program fetches the picture.
    for (const QString &url : std::as_const(recorder.urls))
        QVERIFY2(url.startsWith(QLatin1String(pageScheme) + QLatin1Char(':')), qPrintable(url));
}

// A render process that ends shows a message in the tab; a spot opened next shows as usual.
void TestSpotViewHostile::endedRenderProcessLeavesAMessage()
{
    SpotView *spot = openSpot("<Description>Eerste</Description>");
    QVERIFY(spot);
    QVERIFY(!waitForText(spot->webView(), QStringLiteral("Reactie van")).isEmpty());
    const qint64 pid = spot->webView()->page()->renderProcessPid();
    QVERIFY(pid > 0);
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(!waitForText(spot->webView(), QStringLiteral("Deze spot kon niet worden getoond.")).isEmpty());

    auto *again = new SpotView(session->controller.get(), &tabs, 1, QStringLiteral("Spot 1"), &tabs);
    QVERIFY(!waitForText(again->webView(), QStringLiteral("Eerste")).isEmpty());
}

TARNWICK_TEST_MAIN(TestSpotViewHostile)
#include "tst_spotviewhostile.moc"
