#pragma once

#include "nzbreader.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class ArticleSource;

// Fetches one spot's whole NZB through the article source: the spot article (for the
// segments its XML names), then every segment article, urgently, each once however often
// the spot names it. Answers from the cache come inside the requests, so the signals may
// fire inside start(). After start() there is exactly one of finished() or failed();
// progress() comes before, once per segment.
//
// The spot's XML is the poster's: a spot that names more than maxSegments segments fails
// before any is asked for, and the fetch fails once the segment articles received hold more
// than maxFetchedBytes (segments already asked for may still be fetched by the source).
class NzbFetch : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxSegments = 100;
    // The escaped deflate data of an NZB is far smaller than the NZB it inflates to.
    static constexpr qsizetype maxFetchedBytes = 2 * NzbReader::maxNzbSize;

    NzbFetch(ArticleSource *source, const QByteArray &spotMessageId, QObject *parent = nullptr);

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
    QList<QByteArray> segments; // in the order the spot first names them; empty until it is read
    QSet<QByteArray> segmentIds;
    QHash<QByteArray, QByteArray> received;
    qsizetype receivedBytes = 0;
    bool done = false;
};
