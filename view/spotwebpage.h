#pragma once

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

// The web page of a spot tab. It goes only where show() sends it: a click on a link is
// refused and reported as linkClicked(), every other navigation is refused. Of the network
// it loads nothing but, when images are shown, images over http or https (the page's only
// image is the spot's own: article text never makes a tag).
class SpotWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    SpotWebPage(bool showImages, QObject *parent);

    void show(const QUrl &url);

Q_SIGNALS:
    void linkClicked(const QUrl &url);

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

    QUrl shown;
};
