#pragma once

#include "spotsource.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What a spot page needs of whoever fetches articles, besides the spot tables: the comment
// index and article requests. Every request ends in exactly one articleData() or
// articleNotFound() with the same id, emitted to every listener; an article the cache holds
// is answered inside the request call itself. A spot article may be answered with the part
// of its header that the details download kept in the cache (its "X-XML: " lines and the
// empty line that ends the headers, no body): all that a spot page and the NZB fetch read of
// it. Every other article comes whole.
class ArticleSource : public SpotSource
{
    Q_OBJECT

public:
    using SpotSource::SpotSource;

    // The comment article numbers indexed under a spot key (the msgid column).
    virtual QList<quint32> commentNumbers(const QString &spotKey) = 0;
    // id: a message-id without angle brackets, or a decimal comment article number. Urgent
    // requests go ahead of those already waiting.
    virtual void requestArticle(const QByteArray &id, bool urgent) = 0;
    // A comment article of the comment group by number, not urgent.
    virtual void requestArticleNumber(qint64 number) = 0;

Q_SIGNALS:
    void articleData(const QByteArray &msgid, const QByteArray &data);
    void articleNotFound(const QByteArray &msgid);
};
