// A click on a spot: a SpotView in the real web view, every article answered from the cache.
#include "articlesource.h"
#include "benchsupport.h"
#include "bytetext.h"
#include "figures.h"
#include "spotpagecorpus.h"
#include "spotview.h"
#include "spotwebpage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

namespace {

constexpr int spotId = 1;
constexpr int timeoutMs = 60'000;
const QString connectionName = QStringLiteral("bench-spotview");

// The cache's side of the controller: the spot's articles, each answered inside its request.
class CachedArticles : public ArticleSource
{
public:
    CachedArticles(const QSqlDatabase &db, const SpotPageCorpus::Spot &spot)
        : db(db)
        , spotKey(ByteText::toText(spot.storedMessageId))
    {
        articles.insert(spot.messageId, spot.article);
        articles.insert(spot.nzbMessageId, spot.nzbArticle);
        for (const auto &[number, article] : spot.comments) {
            articles.insert(QByteArray::number(number), article);
            numbers += number;
        }
    }

    QSqlDatabase spotsDatabase() const override { return db; }
    int newSpotCount() const override { return 0; }
    int newEroticSpotCount() const override { return 0; }
    QList<quint32> commentNumbers(const QString &key) override { return key == spotKey ? numbers : QList<quint32>(); }
    void requestArticle(const QByteArray &id, bool) override { answer(id); }
    void requestArticleNumber(qint64 number) override { answer(QByteArray::number(number)); }

private:
    void answer(const QByteArray &id)
    {
        const auto found = articles.constFind(id);
        if (found == articles.cend())
            Q_EMIT articleNotFound(id);
        else
            Q_EMIT articleData(id, *found);
    }

    const QSqlDatabase db;
    const QString spotKey;
    QHash<QByteArray, QByteArray> articles;
    QList<quint32> numbers;
};

QString shownText(QWebEnginePage *page)
{
    QString text;
    QEventLoop loop;
    // The bench's own world: the page itself runs no script.
    page->runJavaScript(QStringLiteral("document.body.innerText"), QWebEngineScript::ApplicationWorld,
                        [&](const QVariant &result) {
                            text = result.toString();
                            loop.quit();
                        });
    Bench::runLoop(loop, "the page did not answer", timeoutMs);
    return text;
}

// Milliseconds from the click to the load of the page that shows the comments.
double shownMs(CachedArticles &source, QTabWidget &tabs, const QByteArray &lastPoster)
{
    QElapsedTimer timer;
    timer.start();
    const auto spot = std::make_unique<SpotView>(&source, &tabs, spotId, QStringLiteral("Vuurtoren"), nullptr);
    auto *page = qobject_cast<SpotWebPage *>(spot->webView()->page());
    double ms = 0;
    QEventLoop loop;
    // Every answer came inside the constructor: the page shown last is the whole page.
    QObject::connect(page, &SpotWebPage::pageShown, &loop, [&] {
        ms = double(timer.nsecsElapsed()) / 1e6;
        loop.quit();
    });
    Bench::runLoop(loop, "the page with the comments never loaded", timeoutMs);
    Bench::require(shownText(page).contains(QStringLiteral("Reactie van ") + ByteText::toText(lastPoster)),
                   "the page shows no comments");
    return ms;
}

struct ShownTimes
{
    double first;
    double later;
};

// One run of pages per process: the first page is only ever the first once.
const ShownTimes &shownTimes()
{
    static const ShownTimes times = [] {
        ShownTimes measured{};
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
            db.setDatabaseName(QStringLiteral(":memory:"));
            Bench::require(db.open(), "the spots database did not open");
            const SpotPageCorpus::Spot &spot = SpotPageCorpus::typicalSpot();
            {
                QSqlQuery query(db);
                // The columns a spot tab reads.
                Bench::require(
                    query.exec(QStringLiteral(
                        "CREATE TABLE spots(id INTEGER PRIMARY KEY, msgid, cat, subcat, spotdate, title, spotter)")),
                    "the spots table was not made");
                query.prepare(QStringLiteral("INSERT INTO spots(id, msgid, cat) VALUES (?, ?, 1)"));
                query.addBindValue(spotId);
                query.addBindValue(spot.storedMessageId);
                Bench::require(query.exec(), "the spot was not stored");
            }
            CachedArticles source(db, spot);
            QTabWidget tabs;
            measured.first = shownMs(source, tabs, spot.lastPoster);
            for (int page = 2; page < Bench::sized(5, 2); ++page)
                shownMs(source, tabs, spot.lastPoster);
            QList<double> later;
            for (int page = 0; page < Bench::sized(5, 1); ++page)
                later += shownMs(source, tabs, spot.lastPoster);
            measured.later = Bench::median(later);
        }
        QSqlDatabase::removeDatabase(connectionName);
        return measured;
    }();
    return times;
}

} // namespace

double spotPageShownMs(SpotPageShown page)
{
    return page == SpotPageShown::First ? shownTimes().first : shownTimes().later;
}
