#include "articlequeue.h"

#include "cachefile.h"
#include "spotnntp.h"

#include <QDebug>

#include <utility>

ArticleQueue::ArticleQueue(CacheFile &cache, const QPointer<SpotNNTP> &client, const QByteArray &commentGroup,
                           QObject *parent)
    : QObject(parent)
    , cache(cache)
    , client(client)
    , commentGroup(commentGroup)
{
}

bool ArticleQueue::isEmpty() const
{
    return queue.isEmpty();
}

bool ArticleQueue::answerFromCache(const QByteArray &id)
{
    // A spot's header block from the details download serves as its article (ArticleSource).
    std::optional<QByteArray> cached = cache.cachedArticle(id);
    if (!cached)
        cached = cache.cachedHead(id);
    if (cached)
        Q_EMIT articleData(id, *cached);
    return cached.has_value();
}

void ArticleQueue::add(const QByteArray &id, bool urgent)
{
    if (queue.contains(id) || inFlight == id)
        return;
    if (urgent)
        queue.prepend(id);
    else
        queue.append(id);
    serve();
}

void ArticleQueue::serve()
{
    if (queue.isEmpty() || !client || !client->isReady())
        return;
    const QByteArray id = queue.takeFirst();
    // A bare number is a comment article: it needs the comment group selected first.
    if (!id.contains('@') && client->currentGroup() != commentGroup) {
        queue.prepend(id);
        commentGroupAsked = true;
        client->selectGroup(commentGroup);
        return;
    }
    inFlight = id;
    client->fetchArticle(id);
}

void ArticleQueue::onArticleData(const QByteArray &msgid, const QByteArray &data)
{
    inFlight.clear();
    failures.remove(msgid);
    cache.storeArticle(msgid, data);
    Q_EMIT articleData(msgid, data);
}

void ArticleQueue::onArticleNotFound(const QByteArray &msgid)
{
    inFlight.clear();
    failures.remove(msgid);
    Q_EMIT articleNotFound(msgid);
}

std::optional<QByteArray> ArticleQueue::requeueInFlight()
{
    if (inFlight.isEmpty())
        return std::nullopt;
    QByteArray id = std::exchange(inFlight, {});
    if (++failures[id] >= articleTries) {
        failures.remove(id);
        return id;
    }
    queue.prepend(id);
    return std::nullopt;
}

void ArticleQueue::dropAll()
{
    const QList<QByteArray> dropped = std::exchange(queue, {});
    failures.clear();
    commentGroupFailures = 0;
    for (const QByteArray &id : dropped)
        Q_EMIT articleNotFound(id);
}

bool ArticleQueue::takeCommentGroupAsked()
{
    return std::exchange(commentGroupAsked, false);
}

void ArticleQueue::commentGroupSelected()
{
    commentGroupFailures = 0;
}

bool ArticleQueue::commentGroupFailed()
{
    if (++commentGroupFailures < commentGroupTries)
        return false;
    QList<QByteArray> givenUp;
    queue.removeIf([&givenUp](const QByteArray &id) {
        const bool number = !id.contains('@');
        if (number)
            givenUp += id;
        return number;
    });
    qDebug() << "Groep" << commentGroup << "niet te selecteren: reacties niet opgehaald";
    for (const QByteArray &id : std::as_const(givenUp)) {
        failures.remove(id);
        Q_EMIT articleNotFound(id);
    }
    return true;
}
