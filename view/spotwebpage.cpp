#include "spotwebpage.h"

#include "pagecontent.h"

#include <QWebEngineUrlRequestInfo>

#include <utility>

SpotWebPage::SpotWebPage(QObject *parent)
    : QWebEnginePage(PageContent::profile(), parent)
{
    setUrlRequestInterceptor(new RequestFilter(this));
    connect(this, &QWebEnginePage::loadFinished, this, &SpotWebPage::onLoadFinished);
    connect(this, &QWebEnginePage::renderProcessTerminated, this, &SpotWebPage::onRenderProcessTerminated);
}

SpotWebPage::~SpotWebPage()
{
    PageContent::instance().withdraw(shown);
    PageContent::instance().withdraw(loading);
}

void SpotWebPage::showPage(const QByteArray &bytes)
{
    waiting = bytes;
    // A second load would cancel the one on its way, and the engine may keep either. The
    // first waits for the event loop, so that pages given one after the other (answers
    // from the cache) load only the newest.
    if (!std::exchange(pageWaiting, true) && loading.isEmpty())
        QMetaObject::invokeMethod(this, &SpotWebPage::loadWaiting, Qt::QueuedConnection);
}

void SpotWebPage::loadWaiting()
{
    if (!pageWaiting || !loading.isEmpty())
        return;
    pageWaiting = false;
    loading = PageContent::instance().publish(std::exchange(waiting, {}));
    load(loading);
}

void SpotWebPage::onLoadFinished()
{
    if (loading.isEmpty())
        return;
    PageContent::instance().withdraw(std::exchange(shown, std::exchange(loading, {})));
    if (pageWaiting)
        loadWaiting();
    else
        Q_EMIT pageShown();
}

void SpotWebPage::onRenderProcessTerminated()
{
    // No load finishes any more: the next page given starts a new one.
    PageContent::instance().withdraw(std::exchange(shown, {}));
    PageContent::instance().withdraw(std::exchange(loading, {}));
    if (pageWaiting)
        QMetaObject::invokeMethod(this, &SpotWebPage::loadWaiting, Qt::QueuedConnection);
}

bool SpotWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (type == NavigationTypeLinkClicked) {
        Q_EMIT linkClicked(url);
        return false;
    }
    return isMainFrame && url == loading;
}

void SpotWebPage::RequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    info.block(info.requestUrl().scheme() != QLatin1StringView(pageScheme));
}
