#include "spotwebpage.h"

#include "pagecontent.h"

#include <QWebEngineUrlRequestInfo>

SpotWebPage::SpotWebPage(bool showImages, QObject *parent)
    : QWebEnginePage(PageContent::profile(), parent)
{
    setUrlRequestInterceptor(new RequestFilter(showImages, this));
}

void SpotWebPage::show(const QUrl &url)
{
    shown = url;
    load(url);
}

bool SpotWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (type == NavigationTypeLinkClicked) {
        Q_EMIT linkClicked(url);
        return false;
    }
    return isMainFrame && url == shown;
}

SpotWebPage::RequestFilter::RequestFilter(bool showImages, QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent), showImages(showImages)
{
}

void SpotWebPage::RequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QString scheme = info.requestUrl().scheme();
    const bool ownPage = scheme == QLatin1StringView(PageContent::scheme);
    const bool image = showImages && info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage
        && (scheme == QLatin1StringView("http") || scheme == QLatin1StringView("https"));
    info.block(!ownPage && !image);
}
