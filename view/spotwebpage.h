#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

// The web page of a spot tab. It shows the pages it is given, one load at a time: a page
// given while another still loads waits for that load to finish, and only the newest of
// the waiting ones is shown, so the last page given is always the one that stays. It goes
// nowhere else: a click on a link is refused and reported as linkClicked(), every other
// navigation is refused. Of the network it loads nothing but, when images are shown,
// images over http or https from a public host (isPublicImageAddress(); also for every
// redirect), so that a spot's picture cannot reach the user's machine or network. When
// the render process ends, the page it held is gone and the next page given is shown.
class SpotWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    SpotWebPage(bool showImages, QObject *parent);
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
        RequestFilter(bool showImages, QObject *parent);
        void interceptRequest(QWebEngineUrlRequestInfo &info) override;

    private:
        const bool showImages;
    };

    void loadWaiting();
    void onLoadFinished();
    void onRenderProcessTerminated();

    QUrl shown;   // the page loaded last
    QUrl loading; // the page on its way; empty when none
    QByteArray waiting;
    bool pageWaiting = false;
};
