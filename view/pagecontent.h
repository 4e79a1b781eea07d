#pragma once

#include <QByteArray>
#include <QHash>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include "webaddress.h"

class QWebEngineProfile;

// Serves the bytes of spot pages to their web views under URLs of a scheme of our own, as
// "text/html" with no charset (the page's meta element says UTF-8) and without the size
// limit of setContent(), and the images those pages name under the same scheme
// (pageImageAddress()), which it fetches itself (SpotImageFetch): a failed or refused fetch
// fails the request, and a request that the page gives up ends its fetch. One off-the-record
// profile, without a disk cache or cookies of its own, is shared by every spot page; it runs
// no JavaScript, so a spot page never runs script, neither a poster's nor a template's.
class PageContent : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    // The profile of the spot pages, made (with the scheme registered) on first use.
    static QWebEngineProfile *profile();
    static PageContent &instance();

    // A new URL that serves these bytes until withdraw().
    QUrl publish(const QByteArray &page);
    void withdraw(const QUrl &url);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    QHash<QUrl, QByteArray> pages;
    quint64 published = 0;
};
