#pragma once

#include "articlesource.h"
#include "spotstore.h"
#include "sqltransaction.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>

class SpotNNTP;

// The controller at the centre of the program. It owns the spot store and at most one
// NNTP client, and runs the download cycle that keeps the store current:
//   GROUP free.pt, overview ranges of at most 50,001 articles (each in one transaction),
//   GROUP free.usenet, reference ranges into the comment index, then the refresh timer.
// Between ranges, and while idle, it fetches the articles that spot pages ask for.
// Progress goes out as notice(), failures as error(), stored spots as newSpots().
//
// Positions move only to what was stored: lines outside the range asked for are ignored, a
// range whose writes fail is rolled back whole, and a cycle that cannot go on (a group reply
// for another group, a failed write) ends with a "Fout: " notice and the refresh timer. A
// group whose numbers lie below the saved position was numbered anew: its newest articles
// are fetched again (for the comment group, into an emptied index).
class Tarnwick : public ArticleSource
{
    Q_OBJECT

public:
    static const QByteArray spotGroup;
    static const QByteArray commentGroup;
    static constexpr int refreshIntervalMs = 119000;
    static constexpr int reconnectDelaySeconds = 60;
    // An article whose fetch failed this often (the connection broke each time) is not found.
    static constexpr int articleTries = 3;
    // Comment articles are fetched by number, in the comment group. When selecting that
    // group for them fails this often in a row (refused, another group, a broken connection),
    // the queued numbers are answered with articleNotFound() and the cycle goes on without
    // them; until the group is selected again, each further failure gives up at once.
    static constexpr int commentGroupTries = 3;

    // Opens the databases; throws DatabaseSetupError when that fails. Does not connect.
    explicit Tarnwick(QObject *parent = nullptr);
    ~Tarnwick() override;

    QSqlDatabase spotsDatabase() const override;
    int newSpotCount() const override;
    int newEroticSpotCount() const override;
    // The first article number of the download run: the base of the progress percentage.
    qint64 headerRunStart() const;

    static bool tableExists(const QSqlDatabase &db, const QString &name);
    // Both refuse (false, nothing done) while a header download holds its transaction.
    bool optimizeDatabases();
    // Also resets the download positions and the counters, answers every queued article
    // request with articleNotFound(), then emits newSpots().
    bool deleteAllSpots();
    // Empties the comment index and drops the comments cached under their article number:
    // for a new server, whose numbers name other articles.
    void clearCommentIndex();
    QList<quint32> commentNumbers(const QString &spotKey) override;

    // Drops the client (notice "Instellingen gewijzigd") and connects anew with the settings.
    void reconnectToServer();

    // Answered from the cache at once (inside this call), or later from the server.
    void requestArticle(const QByteArray &id, bool urgent) override;
    void requestArticleNumber(qint64 number) override;

    // The delays of the cycle, shortened by tests.
    void setRefreshInterval(int milliseconds);
    void setReconnectDelay(int seconds);

Q_SIGNALS:
    // code is always 0 in both, and no receiver reads it: it is none of SpotNNTP's codes,
    // where 0 is both bad compressed data and QAbstractSocket::ConnectionRefusedError.
    // msg is the text shown to the user.
    void error(int code, const QString &msg);
    void notice(int code, const QString &msg);
    // The percentage of the progress notice of the header download, 0 to 100, and the end
    // of that download (complete, paused for an article, or failed).
    void headerProgress(int percent);
    void headerDownloadStopped();
    // The spot group is downloaded up to its newest header: once per download cycle, after
    // the cycle's last newSpots(), also when there was nothing new.
    void spotsUpToDate();

public Q_SLOTS:
    void onArticleData(const QByteArray &msgid, const QByteArray &data);
    void onHeaderLine(const QByteArray &line);
    void onGroupResponse(const QByteArray &group, qint64 min, qint64 max);
    void onXroverLine(qint64 nr, const QByteArray &references);
    void onError(int error, const QString &msg);
    void onArticleNotFound(const QByteArray &msgid);
    void onLoggedIn();
    void onRefreshTimer();
    // Creates and logs in a client from the settings; nothing when one exists or the
    // program is not configured.
    void connectToServer();

protected:
    // Set while a range is in progress; the maintenance operations stay away from an open
    // header transaction.
    bool headerSyncBusy = false;
    bool commentSyncBusy = false;
    // Counted since construction or the last deleteAllSpots().
    qint64 runStart = 0;
    int spotsAdded = 0;
    int eroticSpotsAdded = 0;

private:
    // One range of article numbers of a group, and where its download stands. The
    // arithmetic never overflows, whatever numbers a server reports.
    struct Range
    {
        qint64 groupLast = 0; // highest article of the group when the download started
        qint64 first = 0; // first article of the range in progress
        qint64 batchEnd = 0; // last article of the range in progress
        qint64 current = 0; // last article handled in the range; 0 when none yet
        qint64 reported = -1; // current when progress was last shown in the range
        bool anyLine = false; // a range since start() had a line to handle

        // Sets up the first range after lastDone, keeping to the newest maxArticles, of a
        // group with articles (1 <= min <= max).
        void start(qint64 lastDone, qint64 min, qint64 max, int maxArticles);
        // Advances to the range after the current one; false when the group is done.
        bool next();
        bool contains(qint64 number) const;
    };

    void serveQueue();
    // Counts a failed selection of the comment group for queued numbers; true when that
    // was the last try and the numbers were given up.
    bool commentGroupFailed();
    // Stops listening to the client and lets go of it; dropClient() also deletes it.
    SpotNNTP *forgetClient();
    void dropClient(SpotNNTP *dropped);
    // The article that was on its way when its connection broke goes back to the front of
    // the queue; after articleTries failures it is given up and returned.
    std::optional<QByteArray> requeueArticleInFlight();
    void progress(const QString &text);
    // The notice and the refresh timer of a cycle that cannot go on.
    void cycleFailed(const QString &reason);

    void storeHeader(const QByteArray &line);
    // Commits the range's transaction or rolls it back; its rows count as new only once committed.
    bool endHeaderTransaction(bool commit);
    // Opens the transaction of the header range set up in headers and asks for its overview.
    void beginHeaderRange(const QString &noticeText);
    // Expires old spots and commits; false when the commit failed.
    bool commitHeaderRange();
    void finishHeaderRange();
    void storeReference(qint64 nr, const QByteArray &references);
    void finishCommentRange();

    SpotStore store;
    std::optional<SqlTransaction> headerTransaction;
    int rangeSpotsAdded = 0;
    int rangeEroticSpotsAdded = 0;

    QList<QByteArray> articleQueue;
    QByteArray articleInFlight; // asked of the client and not answered yet
    QHash<QByteArray, int> articleFailures; // broken fetches per article id
    bool commentGroupAsked = false; // GROUP free.usenet sent for queued numbers, no reply yet
    int commentGroupFailures = 0; // in a row
    qint64 expiryLimit = 0; // spots posted before this are expired; 0 when none are
    QPointer<SpotNNTP> client;
    Range headers;
    Range comments;
    // Comment numbers by spot key, read since the comment index was last written.
    QMap<QString, QList<quint32>> pendingCommentIndex;
    QTimer refreshTimer;
    int reconnectDelay = reconnectDelaySeconds;
};
