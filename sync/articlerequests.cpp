// Article requests of Tarnwick: answered from the cache at once, or queued and fetched
// between download ranges or while idle.
#include "tarnwick.h"

#include "spotnntp.h"

#include <QDebug>

void Tarnwick::requestArticle(const QByteArray &id, bool urgent)
{
    if (const std::optional<QByteArray> cached = store.cache().cachedArticle(id)) {
        Q_EMIT articleData(id, *cached);
        return;
    }
    if (!client)
        connectToServer();
    if (articleQueue.contains(id) || !client || articleInFlight == id)
        return;
    if (urgent)
        articleQueue.prepend(id);
    else
        articleQueue.append(id);
    serveQueue();
}

void Tarnwick::requestArticleNumber(qint64 number)
{
    requestArticle(QByteArray::number(number), false);
}

void Tarnwick::serveQueue()
{
    if (articleQueue.isEmpty() || !client || !client->isReady())
        return;
    const QByteArray id = articleQueue.takeFirst();
    // A bare number is a comment article: it needs the comment group selected first.
    if (!id.contains('@') && client->currentGroup() != commentGroup) {
        articleQueue.prepend(id);
        commentGroupAsked = true;
        client->selectGroup(commentGroup);
        return;
    }
    articleInFlight = id;
    client->fetchArticle(id);
}

bool Tarnwick::commentGroupFailed()
{
    if (++commentGroupFailures < commentGroupTries)
        return false;
    QList<QByteArray> givenUp;
    articleQueue.removeIf([&givenUp](const QByteArray &id) {
        const bool number = !id.contains('@');
        if (number)
            givenUp += id;
        return number;
    });
    qDebug() << "Groep" << commentGroup << "niet te selecteren: reacties niet opgehaald";
    for (const QByteArray &id : std::as_const(givenUp)) {
        articleFailures.remove(id);
        Q_EMIT articleNotFound(id);
    }
    return true;
}

void Tarnwick::onArticleData(const QByteArray &msgid, const QByteArray &data)
{
    articleInFlight.clear();
    articleFailures.remove(msgid);
    store.cache().storeArticle(msgid, data);
    Q_EMIT articleData(msgid, data);
    onLoggedIn();
}

void Tarnwick::onArticleNotFound(const QByteArray &msgid)
{
    articleInFlight.clear();
    articleFailures.remove(msgid);
    Q_EMIT articleNotFound(msgid);
    onLoggedIn();
}
