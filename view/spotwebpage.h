#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

// The web page of a spot tab. It shows the pages it is given, one load at a time: a page
// given while another still loads waits for that load to finish, and only the newest of
// the waiting ones is shown, so the last page given is always the one that stays. It goes
// nowhere else: a click on a link is refused and reported as linkClicked(), every other
// navigation is refused. It loads nothing from the network: every request but those of our
// own scheme (the page and its image, which PageContent fetches) is blocked. When the
// render process ends, the page it held is gone and the next page given is shown.
class SpotWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit SpotWebPage(QObject *parent);
    ~SpotWebPage() override;

    void showPage(const QByteArray &bytes);

Q_SIGNALS:
    void linkClicked(const QUrl &url);
    // A load finished with no newer page waiting: the page given last is the one shown.
    void pageShown();

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    class RequestFilter : public QWebEngineUrlRequestInterceptor
    {
    public:
        using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
        void interceptRequest(QWebEngineUrlRequestInfo &info) override;
    };

    void loadWaiting();
    void onLoadFinished();
    void onRenderProcessTerminated();

    QUrl shown; // the page loaded last
    QUrl loading; // the page on its way; empty when none
    QByteArray waiting;
    bool pageWaiting = false;
};
