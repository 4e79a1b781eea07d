#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

class CacheFile;
class SpotNNTP;

// The articles that spot pages ask for: by message-id, or (a bare number) a comment article
// by number in the comment group, which must be selected at that point of the pipeline.
//
// answerFromCache() answers a request from cache.db inside the call (a spot article also with
// the header part the details run kept, see ArticleSource). add() queues a request
// (urgent ones in front). The queue is sent to the client, in its order, in two ways:
// serve() while the client is idle (nothing outstanding), selecting the comment group first
// for numbers when another is selected; sendAlong() between two ranges of a run, behind the
// ranges already asked for, where it sends what the group selected for the run allows
// (GROUP commands are never in the pipeline during a run, so currentGroup() is the group at
// that point). Each article sent ends in exactly one articleData() (stored in the cache
// first) or articleNotFound(), handed in by the caller through onArticleData() /
// onArticleNotFound(), or, when its connection breaks, in requeueInFlight(): the articles go
// back to the front of the queue, and after articleTries broken fetches one is given up (not
// found). Requests of an id already queued or on its way are dropped: the one answer goes to
// every listener.
class ArticleQueue : public QObject
{
    Q_OBJECT

public:
    // An article whose fetch failed this often (the connection broke each time) is not found.
    static constexpr int articleTries = 3;
    // When selecting the comment group for queued numbers fails this often in a row
    // (refused, another group, a broken connection), the queued numbers are answered with
    // articleNotFound(); until the group is selected again, each further failure gives up at once.
    static constexpr int commentGroupTries = 3;

    // client is the caller's pointer to its client; commentGroup holds the comment articles.
    ArticleQueue(CacheFile &cache, const QPointer<SpotNNTP> &client, const QByteArray &commentGroup,
                 QObject *parent = nullptr);

    bool isEmpty() const;
    // True when the article was in the cache: articleData() has been emitted.
    bool answerFromCache(const QByteArray &id);
    void add(const QByteArray &id, bool urgent);
    // While the client is idle: sends the queued requests, and selects the comment group
    // for the numbers when another group is selected (they follow its reply); nothing while
    // the client is busy or gone.
    void serve();
    // Between two ranges: sends the queued requests up to the first number that needs the
    // comment group while another is selected; true when requests are left.
    bool sendAlong();
    void onArticleData(const QByteArray &msgid, const QByteArray &data);
    void onArticleNotFound(const QByteArray &msgid);
    // The articles on their way when the connection broke go back to the front of the
    // queue; those that failed articleTries times are given up and returned (the caller
    // reports them not found once its own reaction to the failure is over).
    QList<QByteArray> requeueInFlight();
    // Answers every queued request with articleNotFound() and forgets the failures.
    void dropAll();

    // The group reply that follows a selection of the comment group for queued numbers:
    // takeCommentGroupAsked() says (once) whether the reply was for the queue.
    bool takeCommentGroupAsked();
    void commentGroupSelected();
    // Counts a failed selection of the comment group for queued numbers; true when that was
    // the last of commentGroupTries and the numbers were given up (not found).
    bool commentGroupFailed();

Q_SIGNALS:
    void articleData(const QByteArray &msgid, const QByteArray &data);
    void articleNotFound(const QByteArray &msgid);

private:
    void sendWithSelectedGroup();

    CacheFile &cache;
    const QPointer<SpotNNTP> &client;
    const QByteArray commentGroup;
    QList<QByteArray> queue;
    QList<QByteArray> inFlight; // asked of the client and not answered yet, in order
    QHash<QByteArray, int> failures; // broken fetches per article id
    bool commentGroupAsked = false; // GROUP free.usenet sent for queued numbers, no reply yet
    int commentGroupFailures = 0; // in a row
};
