#include "spotview.h"

#include "articlesource.h"
#include "bytetext.h"
#include "pagecontent.h"
#include "settings.h"
#include "spotrow.h"
#include "spotwebpage.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>
#include <utility>

SpotView::SpotView(ArticleSource *source, QTabWidget *tabs, int spotId, const QString &title, QObject *parent)
    : SpotView(source, tabs, source->findSpot(spotId), title, parent)
{
}

SpotView::SpotView(ArticleSource *source, QTabWidget *tabs, const std::optional<SpotRow> &spot, const QString &title,
                   QObject *parent)
    : QObject(parent)
    , source(source)
    , tabs(tabs)
    , shownSpot(spot)
    , page(PageTemplates::shared(), Settings::showImages())
{
    // Before any request: a cached article is answered inside it.
    connect(source, &ArticleSource::articleData, this, &SpotView::onArticleData);
    connect(source, &ArticleSource::articleNotFound, this, &SpotView::onArticleNotFound);

    tabPage = new QWidget(tabs);
    auto *layout = new QVBoxLayout(tabPage);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeBar());
    view = new QWebEngineView(tabPage);
    layout->addWidget(view, 1);
    webPage = new SpotWebPage(view);
    view->setPage(webPage);
    connect(webPage, &SpotWebPage::linkClicked, this, &SpotView::onLinkClick);
    // Once: a page that ends its render process again must not load it in a loop.
    connect(webPage, &QWebEnginePage::renderProcessTerminated, this, [this] {
        if (!std::exchange(pageFailed, true))
            setPageContent(SpotPage::notShownPage());
    });
    setPageContent(SpotPage::loadingPage());
    tabs->addTab(tabPage, title);
    requestArticles();
}

SpotView::~SpotView()
{
    delete tabPage; // unless it went with the tab widget already
}

void SpotView::startWebEngine(QWidget *window)
{
    auto *warm = new QWebEngineView(window);
    warm->setPage(new QWebEnginePage(PageContent::profile(), warm));
    warm->setAttribute(Qt::WA_DontShowOnScreen);
    warm->show();
    connect(warm->page(), &QWebEnginePage::loadFinished, warm, &QObject::deleteLater);
    warm->load(QUrl(QStringLiteral("about:blank")));
}

QWidget *SpotView::makeBar()
{
    auto *bar = new QWidget(tabPage);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 2, 4, 2);
    saveButton = new QPushButton(tr("NZB opslaan"), bar);
    downloadButton = new QPushButton(tr("Downloaden"), bar);
    for (QPushButton *button : {saveButton, downloadButton}) {
        button->setEnabled(false);
        layout->addWidget(button);
    }
    downloadStateLabel = new QLabel(bar);
    downloadStateLabel->setObjectName(QStringLiteral("downloadState"));
    downloadStateLabel->setTextFormat(Qt::PlainText); // a downloader's words
    layout->addWidget(downloadStateLabel);
    layout->addStretch();
    markButton = new QPushButton(tr("Bewaren"), bar);
    markButton->setCheckable(true);
    markButton->setEnabled(shownSpot.has_value());
    markButton->setToolTip(tr("Bewaar deze spot in \"Bewaard\" (Ctrl+B)"));
    layout->addWidget(markButton);
    connect(markButton, &QPushButton::clicked, this, [this](bool checked) { Q_EMIT markRequested(checked); });
    connect(saveButton, &QPushButton::clicked, this, [this] { Q_EMIT nzbRequested(NzbHandOffJob::Mode::Save); });
    connect(downloadButton, &QPushButton::clicked, this,
            [this] { Q_EMIT nzbRequested(NzbHandOffJob::Mode::Download); });
    return bar;
}

void SpotView::requestArticles()
{
    if (!shownSpot) {
        setPageContent(SpotPage::notInDatabasePage());
        return;
    }
    page.open(shownSpot->messageId, source->commentNumbers(ByteText::toText(shownSpot->messageId)));
    // Taken before the first request: answers from the cache change the pending list.
    const QList<qint32> comments = page.pendingComments();
    source->requestArticle(page.spotMessageId(), false);
    for (const qint32 number : comments)
        source->requestArticleNumber(number);
}

void SpotView::setDownloadState(const QString &text)
{
    downloadStateLabel->setText(text.isEmpty() ? QString() : tr("Download: %1").arg(text));
}

QByteArray SpotView::messageId() const
{
    return shownSpot ? shownSpot->messageId : QByteArray();
}

void SpotView::setMarked(bool marked)
{
    if (!markButton)
        return;
    markButton->setChecked(marked);
    markButton->setText(marked ? tr("Bewaard") : tr("Bewaren"));
}

int SpotView::tabIndex() const
{
    return tabPage ? tabs->indexOf(tabPage) : -1;
}

void SpotView::showTab()
{
    if (tabPage)
        tabs->setCurrentWidget(tabPage);
}

QWebEngineView *SpotView::webView() const
{
    return tabPage ? view : nullptr;
}

void SpotView::onArticleData(const QByteArray &msgid, const QByteArray &data)
{
    const SpotPage::Update update = page.articleData(msgid, data);
    if (!update.page.isEmpty())
        setPageContent(update.page);
    if (tabPage) {
        saveButton->setEnabled(page.namesNzb());
        downloadButton->setEnabled(page.namesNzb());
    }
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
    if (tabPage)
        webPage->showPage(bytes);
}
