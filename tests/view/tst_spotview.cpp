// A spot in its tab, in the real web view: what the page shows, where its links go, and
// what it asks of the controller and the news server.
#include "democorpus.h"
#include "pagetext.h"
#include "spotarticles.h"
#include "spotview.h"
#include "syncsession.h"
#include "testmain.h"

#include <QDesktopServices>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace {

const QByteArray spotKey = "spotA";
const QByteArray nzbId = "nzbA@free.pt";

QByteArray spotArticle(const QByteArray &description)
{
    return SpotArticles::spot(SpotArticles::spotXml({{"Description", description},
                                                     {"Size", "1536"},
                                                     {"Website", "http://example.com/?a=1&amp;b=2"},
                                                     {"Newsgroup", "alt.binaries.spot"},
                                                     {"NZB", "<Segment>" + nzbId + "</Segment>"}}));
}

} // namespace

// Records the links that reach the desktop.
class UrlReceiver : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened += url; }
};

class TestSpotView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void spotFromTheServer();
    void linksGoToTheDesktop();
    void pageOfThreeMegabytes();
    void closedPageIgnoresLateAnswers();
    void demoSpot();

private:
    std::unique_ptr<SyncSession> session;
    QTabWidget tabs;
};

void TestSpotView::init()
{
    session = std::make_unique<SyncSession>();
    session->refreshMs = 600000;
    tabs.addTab(new QWidget, QStringLiteral("Nieuw"));
}

void TestSpotView::cleanup()
{
    while (tabs.count() > 0)
        delete tabs.widget(0);
    endSession(session);
}

// A click fetches the spot, its NZB (urgently, before the comments waiting) and its
// comments by number; a second opening is served from the cache without the server.
void TestSpotView::spotFromTheServer()
{
    NewsServer &server = session->server;
    server.addGroup(Tarnwick::spotGroup, 1, 1);
    server.addOverview(Tarnwick::spotGroup, 1, spotLine(1, "Een spot | tag", 1600000000, "2101a01", spotKey));
    server.addArticle(Tarnwick::spotGroup, 1, spotKey + "@free.pt", spotArticle("Beschrijving met \xc3\xa9[br]regel"));
    server.addArticle(Tarnwick::spotGroup, 2, nzbId,
                      SpotArticles::nzb(SpotArticles::nzbXml(
                          {"&quot;a.part1.rar&quot; yEnc", "&quot;a.part2.rar&quot; yEnc", "&quot;a.nfo&quot;"},
                          {"alt.binaries.x"})));
    server.addGroup(Tarnwick::commentGroup, 10, 12);
    for (const qint64 number : {10, 11, 12}) {
        server.addReferences(Tarnwick::commentGroup, number, reference(spotKey));
        server.addArticle(Tarnwick::commentGroup, number, "c" + QByteArray::number(number) + "@example",
                          SpotArticles::comment("Lezer" + QByteArray::number(number), "Dank je!", spotKey + "@free.pt",
                                                number != 12));
    }
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    const qsizetype commandsBefore = session->commands().size();

    auto *spot = new SpotView(&controller, &tabs, 1, QStringLiteral("Een spot"), &tabs);
    QCOMPARE(tabs.count(), 2);
    QCOMPARE(tabs.currentIndex(), 0);
    QCOMPARE(spot->tabIndex(), 1);
    QCOMPARE(tabs.tabText(1), QStringLiteral("Een spot"));
    const QString text = waitForText(spot->webView(), QStringLiteral("Lezer11"));
    QVERIFY2(!text.isEmpty(), "the page never showed its comments");
    for (const QString &shown :
         {QStringLiteral("Beschrijving met \u00e9\nregel"), QStringLiteral("1.50 KB"),
          QStringLiteral("http://example.com/?a=1&b=2"), QStringLiteral("a.part1.rar t/m a.part2.rar"),
          QStringLiteral("alt.binaries.x"), QStringLiteral("Reactie van Lezer10")})
        QVERIFY2(text.contains(shown), qPrintable(shown + QStringLiteral(" not in: ") + text));
    QVERIFY(!text.contains(QStringLiteral("Lezer12"))); // unsigned
    QCOMPARE(session->commands("ARTICLE"),
             QList<QByteArray>(
                 {"ARTICLE <spotA@free.pt>", "ARTICLE <nzbA@free.pt>", "ARTICLE 10", "ARTICLE 11", "ARTICLE 12"}));

    delete spot;
    QCOMPARE(tabs.count(), 1);
    const qsizetype commandsShown = session->commands().size();
    spot = new SpotView(&controller, &tabs, 1, QStringLiteral("Een spot"), &tabs);
    QVERIFY(!waitForText(spot->webView(), QStringLiteral("Lezer11")).isEmpty());
    QCOMPARE(session->commands().size(), commandsShown);
    QVERIFY(commandsShown > commandsBefore);
}

void TestSpotView::linksGoToTheDesktop()
{
    session->serveSpots(1, 1, 1);
    session->server.addArticle(Tarnwick::spotGroup, 1, "spot1@free.pt",
                               SpotArticles::spot(SpotArticles::spotXml(
                                   {{"Description", "[b]x[/b]"}, {"Website", "http://example.com/site"}})));
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    UrlReceiver receiver;
    for (const char *scheme : {"http", "https", "mailto"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &receiver, "open");
    auto *spot = new SpotView(&controller, &tabs, 1, QStringLiteral("Spot 1"), &tabs);
    QVERIFY(!waitForText(spot->webView(), QStringLiteral("example.com/site")).isEmpty());

    QVERIFY(runScript(spot->webView(), QStringLiteral("document.querySelector('a').click()")));
    QTRY_COMPARE(receiver.opened, QList<QUrl>{QUrl(QStringLiteral("http://example.com/site"))});
    spot->onLinkClick(QUrl(QStringLiteral("mailto:jan@example")));
    QCOMPARE(receiver.opened.size(), 1);
    // The page itself stays.
    QVERIFY(!waitForText(spot->webView(), QStringLiteral("example.com/site")).isEmpty());
    for (const char *scheme : {"http", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    delete spot;
}

// setContent() refuses pages over 2 MB: a spot with thousands of comments must still show.
void TestSpotView::pageOfThreeMegabytes()
{
    session->serveSpots(1, 1, 1);
    const QByteArray description = "Begin " + QByteArray(3 * 1024 * 1024, 'x') + " Einde";
    session->server.addArticle(Tarnwick::spotGroup, 1, "spot1@free.pt",
                               SpotArticles::spot(SpotArticles::spotXml({{"Description", description}})));
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());

    auto *spot = new SpotView(&controller, &tabs, 1, QStringLiteral("Spot 1"), &tabs);
    const QString text = waitForText(spot->webView(), QStringLiteral(" Einde"), 60000);
    QVERIFY(text.contains(QString::fromLatin1(description)));
    delete spot;
}

// A tab closed before its articles arrive: the answers reach the cache, and nothing else.
void TestSpotView::closedPageIgnoresLateAnswers()
{
    session->serveSpots(1, 1, 1);
    session->server.addArticle(Tarnwick::spotGroup, 1, "spot1@free.pt",
                               SpotArticles::spot(SpotArticles::spotXml({{"Description", "Laat"}})));
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());

    delete new SpotView(&controller, &tabs, 1, QStringLiteral("Spot 1"), &tabs);
    QCOMPARE(tabs.count(), 1);
    QTRY_COMPARE(countRows("cache", QStringLiteral("SELECT count(*) FROM cache")), 1);
}

// A spot of the demo corpus, as a click on it in scripts/run shows it: the description
// with its markup undone, the file list of its NZB and its signed comments.
void TestSpotView::demoSpot()
{
    const DemoCorpus demo({DemoCorpus::Options().seed, 300, 0});
    session->server.setGenerator(&demo);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    // The newest commented spot with a signed comment and an NZB of one segment.
    DemoCorpus::Comment comment;
    for (qint64 number = demo.commentCount(); number > 0 && comment.number == 0; --number) {
        const DemoCorpus::Comment candidate = demo.comment(number);
        if (candidate.isSigned && !demo.spot(candidate.spot).isErotic()
            && demo.spot(candidate.spot).nzbMessageIds.size() == 1)
            comment = candidate;
    }
    const DemoCorpus::Spot spot = demo.spot(comment.spot);
    QSqlQuery id(controller.spotsDatabase());
    id.prepare(QStringLiteral("SELECT id FROM spots WHERE msgid=?"));
    id.addBindValue(spot.key);
    QVERIFY(id.exec() && id.next());

    auto *view = new SpotView(&controller, &tabs, id.value(0).toInt(), QString::fromUtf8(spot.title), &tabs);
    const QString text = waitForText(view->webView(), QString::fromUtf8(comment.text.left(12)));
    QVERIFY2(!text.isEmpty(), "the page never showed the comment");
    const QList<DemoCorpus::File> files = DemoCorpus::files(spot);
    for (const QString &shown : {QStringLiteral("Veel plezier!"), QString::fromLatin1(files.first().name),
                                 QString::fromLatin1(spot.newsgroup), QString::fromUtf8(comment.poster)})
        QVERIFY2(text.contains(shown), qPrintable(shown + QStringLiteral(" not in: ") + text));
    delete view;
}

TARNWICK_TEST_MAIN(TestSpotView)
#include "tst_spotview.moc"
