#pragma once

#include "nzbhandoffjob.h"
#include "spotpage.h"
#include "spotrow.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class ArticleSource;
class QLabel;
class QPushButton;
class QTabWidget;
class QWebEngineView;
class SpotWebPage;

// One spot in a tab of its own. With the spot's row (found in the spot tables, or kept by
// the watch list for a spot that has expired from them), it asks
// the source for the spot article and the comments that the index lists (an answer from
// the cache arrives inside the request, while the constructor runs), and, once the spot
// article is read, urgently for its NZB. After each answer that changes the page it shows
// the page again. Links go to the desktop, http and https ones only. When the web view's
// render process ends (a page it could not hold), the tab says so and stays; the other tabs
// and the program go on.
//
// Above the page, "NZB opslaan" and "Downloaden" ask for the spot's NZB with
// nzbRequested(); both are enabled once the spot article is read and names an NZB.
// "Bewaren" asks for the spot to be marked or unmarked with markRequested(); setMarked()
// says which it is. Beside the buttons, setDownloadState() shows where the spot's NZB
// stands ("Klaar"), empty for a spot never handed off.
//
// The tab's page goes with the spot view; the caller removes the tab and deletes the view
// (deferred) when the tab is closed.
class SpotView : public QObject
{
    Q_OBJECT

public:
    // Adds the tab, titled title, as the last tab of tabs without making it current. Without
    // a row, the tab says that the spot is not in the database.
    SpotView(ArticleSource *source, QTabWidget *tabs, const std::optional<SpotRow> &spot, const QString &title,
             QObject *parent);
    // The spot of that id in the spot tables (SpotSource::findSpot()).
    SpotView(ArticleSource *source, QTabWidget *tabs, int spotId, const QString &title, QObject *parent);
    ~SpotView() override;

    // Starts the web engine with a hidden page of the spot pages' profile, so that the
    // first spot opened does not: starting it inside the click handler swallowed the
    // second click of a double click.
    static void startWebEngine(QWidget *window);

    // The spot's row; nullopt when it was not in the database.
    const std::optional<SpotRow> &spot() const { return shownSpot; }
    // The spot's message-id as stored; empty when it was not in the database.
    QByteArray messageId() const;
    void setMarked(bool marked);
    void setDownloadState(const QString &text);
    // The index of the tab in the tab widget; -1 when it is not there.
    int tabIndex() const;
    void showTab();

    QWebEngineView *webView() const;

Q_SIGNALS:
    void nzbRequested(NzbHandOffJob::Mode mode);
    // The user asks for the spot to be marked (marked true) or unmarked.
    void markRequested(bool marked);

public Q_SLOTS:
    void onArticleData(const QByteArray &msgid, const QByteArray &data);
    void onArticleNotFound(const QByteArray &msgid);
    void onLinkClick(const QUrl &url);

private:
    void setPageContent(const QByteArray &bytes);
    void requestArticles();
    QWidget *makeBar();

    ArticleSource *const source;
    QPointer<QWidget> tabPage; // the bar and the web view
    QWebEngineView *view = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *downloadButton = nullptr;
    QPushButton *markButton = nullptr;
    QLabel *downloadStateLabel = nullptr;
    SpotWebPage *webPage = nullptr;
    QTabWidget *const tabs;
    const std::optional<SpotRow> shownSpot;
    SpotPage page;
    bool pageFailed = false; // the render process ended once; its message is shown
};
