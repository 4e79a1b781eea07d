#include "spotview.h"

#include "articlesource.h"
#include "bytetext.h"
#include "settings.h"
#include "spotwebpage.h"

#include <QDesktopServices>
#include <QSqlQuery>
#include <QTabWidget>
#include <QVariant>
#include <QWebEngineView>

#include <optional>

namespace {

// The spot's message-id as the spot table stores it; erotic spots have negative ids.
std::optional<QByteArray> storedMessageId(const QSqlDatabase &db, int spotId)
{
    QSqlQuery query(db);
    query.prepare(spotId < 0 ? QStringLiteral("SELECT msgid FROM erospots WHERE id=?")
                             : QStringLiteral("SELECT msgid FROM spots WHERE id=?"));
    query.addBindValue(spotId < 0 ? -qint64(spotId) : qint64(spotId));
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toByteArray();
}

} // namespace

SpotView::SpotView(ArticleSource *source, QTabWidget *tabs, int spotId, const QString &title, QObject *parent)
    : QObject(parent)
    , source(source)
    , tabs(tabs)
    , id(spotId)
    , page(PageTemplates::shared(), Settings::showImages())
{
    // Before any request: a cached article is answered inside it.
    connect(source, &ArticleSource::articleData, this, &SpotView::onArticleData);
    connect(source, &ArticleSource::articleNotFound, this, &SpotView::onArticleNotFound);

    view = new QWebEngineView(tabs);
    webPage = new SpotWebPage(Settings::showImages(), view);
    view->setPage(webPage);
    connect(webPage, &SpotWebPage::linkClicked, this, &SpotView::onLinkClick);
    setPageContent(SpotPage::loadingPage());
    tabs->addTab(view, title);
    requestArticles();
}

SpotView::~SpotView()
{
    delete view; // unless it went with the tab widget already
}

void SpotView::requestArticles()
{
    const std::optional<QByteArray> stored = storedMessageId(source->spotsDatabase(), id);
    if (!stored) {
        setPageContent(SpotPage::notInDatabasePage());
        return;
    }
    page.open(*stored, source->commentNumbers(ByteText::toText(*stored)));
    // Taken before the first request: answers from the cache change the pending list.
    const QList<qint32> comments = page.pendingComments();
    source->requestArticle(page.spotMessageId(), false);
    for (const qint32 number : comments)
        source->requestArticleNumber(number);
}

int SpotView::spotId() const
{
    return id;
}

int SpotView::tabIndex() const
{
    return view ? tabs->indexOf(view) : -1;
}

void SpotView::showTab()
{
    if (view)
        tabs->setCurrentWidget(view);
}

QWebEngineView *SpotView::webView() const
{
    return view;
}

void SpotView::onArticleData(const QByteArray &msgid, const QByteArray &data)
{
    const SpotPage::Update update = page.articleData(msgid, data);
    if (!update.page.isEmpty())
        setPageContent(update.page);
    if (!update.urgentRequest.isEmpty())
        source->requestArticle(update.urgentRequest, true);
}

void SpotView::onArticleNotFound(const QByteArray &msgid)
{
    const QByteArray shown = page.articleNotFound(msgid);
    if (!shown.isEmpty())
        setPageContent(shown);
}

void SpotView::onLinkClick(const QUrl &url)
{
    if (url.scheme() == QLatin1StringView("http") || url.scheme() == QLatin1StringView("https"))
        QDesktopServices::openUrl(url);
}

void SpotView::setPageContent(const QByteArray &bytes)
{
    if (view)
        webPage->showPage(bytes);
}
