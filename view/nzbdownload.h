#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class ArticleSource;

// Fetches one spot's whole NZB through the article source: the spot article (for the
// segments its XML names), then every segment article, urgently. Answers from the cache
// come inside the requests, so the signals may fire inside start(). After start() there is
// exactly one of finished() or failed(); progress() comes before, once per segment.
class NzbDownload : public QObject
{
    Q_OBJECT

public:
    NzbDownload(ArticleSource *source, const QByteArray &spotMessageId, QObject *parent = nullptr);

    void start();

Q_SIGNALS:
    void progress(int received, int total);
    void finished(const QByteArray &nzb);
    void failed(const QString &reason);

private Q_SLOTS:
    void onArticleData(const QByteArray &msgid, const QByteArray &data);
    void onArticleNotFound(const QByteArray &msgid);

private:
    void requestSegments(const QByteArray &spotArticle);
    void fail(const QString &reason);
    void finishIfComplete();

    ArticleSource *const source;
    const QByteArray spotId;
    QList<QByteArray> segments; // in the order the spot names them; empty until it is read
    QHash<QByteArray, QByteArray> received;
    bool done = false;
};
