#pragma once

#include "sqlconnection.h"
#include "zlibstream.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <optional>

// cache.db: the articles already fetched, compressed, by message-id or (comments) by
// article number, on the connection "cache".
class CacheFile
{
    Q_DECLARE_TR_FUNCTIONS(CacheFile)

public:
    // Opens or creates the file in that directory with its table; throws DatabaseSetupError
    // when it cannot be opened or the table cannot be created.
    explicit CacheFile(const QString &directory);

    QSqlDatabase database() const;

    // Keeps a fetched article compressed. An id already stored keeps its first article,
    // unless that one no longer inflates within the default bound: then it is replaced.
    void storeArticle(const QByteArray &id, const QByteArray &article);
    // The stored article, or nullopt when there is none or it does not inflate within the bound.
    std::optional<QByteArray> cachedArticle(const QByteArray &id,
                                            qsizetype sizeLimit = ZlibStream::defaultOutputLimit) const;
    // Drops the articles stored under an article number (the comments).
    void dropNumberedArticles();
    void deleteAll();

    Q_DISABLE_COPY_MOVE(CacheFile)

private:
    SqlConnection connection;
};
