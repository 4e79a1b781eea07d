#include "pagecontent.h"

#include "spotimagefetch.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

QWebEngineProfile *PageContent::profile()
{
    static QWebEngineProfile *const shared = [] {
        // Registered before the first web engine object exists, as the engine requires.
        QWebEngineUrlScheme ownScheme(pageScheme);
        ownScheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::registerScheme(ownScheme);
        auto *made = new QWebEngineProfile(QCoreApplication::instance());
        made->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        made->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        made->installUrlSchemeHandler(pageScheme, &instance());
        // A spot page is text and a picture: no script runs in it, whatever a poster or a
        // template writes, and nothing it holds reaches the desktop's files or plugins.
        QWebEngineSettings *settings = made->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
        settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
        return made;
    }();
    return shared;
}

PageContent &PageContent::instance()
{
    static PageContent *const handler = new PageContent(QCoreApplication::instance());
    return *handler;
}

QUrl PageContent::publish(const QByteArray &page)
{
    const QUrl url(QLatin1StringView(pageScheme) + QLatin1Char(':') + QString::number(++published));
    pages.insert(url, page);
    return url;
}

void PageContent::withdraw(const QUrl &url)
{
    pages.remove(url);
}

void PageContent::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl image = imageOfPageImageAddress(job->requestUrl());
    if (image.isValid()) {
        // A child of the job: a page that gives up the image ends its fetch.
        auto *fetch = new SpotImageFetch(image, job);
        connect(fetch, &SpotImageFetch::finished, job, [job, fetch](SpotImageFetch::Outcome outcome) {
            if (outcome != SpotImageFetch::Outcome::Fetched) {
                job->fail(outcome == SpotImageFetch::Outcome::Refused ? QWebEngineUrlRequestJob::RequestDenied
                                                                      : QWebEngineUrlRequestJob::RequestFailed);
                return;
            }
            auto *body = new QBuffer(job);
            body->setData(fetch->body());
            body->open(QIODevice::ReadOnly);
            job->reply(fetch->contentType(), body);
        });
        return;
    }
    const auto page = pages.constFind(job->requestUrl());
    if (page == pages.cend()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *body = new QBuffer(job);
    body->setData(*page);
    body->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html"), body);
}
