#pragma once

#include "articlequeue.h"
#include "articlesource.h"
#include "commentrun.h"
#include "detailsrun.h"
#include "headerrun.h"
#include "spotdetailsstore.h"
#include "spotstore.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>

class SpotNNTP;

// The controller at the centre of the program. It owns the spot store and at most one
// NNTP client, and runs the download cycle that keeps the store current:
//   GROUP free.pt, the header run (HeaderRun), GROUP free.usenet, the comment run
//   (CommentRun), the details run (DetailsRun, into spotdetails.db, which it owns too),
//   then the refresh timer.
// Between ranges (in the pipeline, behind the ranges already asked for) and while idle, it
// fetches the articles that spot pages ask for (ArticleQueue). The client's signals come to
// its slots, which hand them on to the job that is active; the client's errors are turned
// into notices and reactions here.
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
    // See ArticleQueue: the cycle goes on without the comment numbers given up.
    static constexpr int articleTries = ArticleQueue::articleTries;
    static constexpr int commentGroupTries = ArticleQueue::commentGroupTries;

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
    // After each batch of details stored, and when a details run starts with spots to ask:
    // spots answered and spots in the store; (0, 0) once every spot is deleted.
    void detailsProgress(qint64 done, qint64 total);

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
    // A header range holds its transaction: the maintenance operations stay away from it.
    virtual bool headerRangeOpen() const;

    // Counted since construction or the last deleteAllSpots().
    qint64 runStart = 0;
    int spotsAdded = 0;
    int eroticSpotsAdded = 0;

private:
    // Stops listening to the client and lets go of it; dropClient() also deletes it.
    SpotNNTP *forgetClient();
    void dropClient(SpotNNTP *dropped);
    void progress(const QString &text);
    // The notice and the refresh timer of a cycle that cannot go on.
    void cycleFailed(const QString &reason);
    void startHeaderRun(qint64 min, qint64 max, bool empty);
    void startCommentRun(qint64 min, qint64 max, bool empty);
    void headerRunFinished();
    void onHeadData(const QByteArray &msgid, const QByteArray &head);

    SpotStore store;
    SpotDetailsStore detailsStore;
    // Declared before the jobs, which read it.
    QPointer<SpotNNTP> client;
    ArticleQueue articles;
    HeaderRun headers;
    CommentRun comments;
    DetailsRun details;
    QTimer refreshTimer;
    int reconnectDelay = reconnectDelaySeconds;
};
