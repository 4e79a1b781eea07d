#pragma once

#include "sqlconnection.h"
#include "zlibstream.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

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
    QString filePath() const;

    // Keeps a fetched article compressed. An id already stored keeps its first article,
    // unless that one no longer inflates within the default bound: then it is replaced.
    void storeArticle(const QByteArray &id, const QByteArray &article);
    // The stored article, or nullopt when there is none or it does not inflate within the bound.
    // Never a header block (cachedHead()).
    std::optional<QByteArray> cachedArticle(const QByteArray &id,
                                            qsizetype sizeLimit = ZlibStream::defaultOutputLimit) const;
    // The header block of a spot article (as much of the header as the spot page reads), kept
    // by the details run (DetailsWriter) under headKey(), or nullopt. Header blocks have keys
    // of their own: one is never taken for the whole article (cachedArticle()), nor does it
    // replace one or is replaced by one.
    std::optional<QByteArray> cachedHead(const QByteArray &id) const;
    // Message-ids hold no space: no article id is ever one of these.
    static QByteArray headKey(const QByteArray &id) { return "head " + id; }
    // Drops the articles stored under an article number (the comments).
    void dropNumberedArticles();
    void deleteAll();

    Q_DISABLE_COPY_MOVE(CacheFile)

private:
    std::optional<QByteArray> readRow(const QByteArray &key, qsizetype sizeLimit) const;

    SqlConnection connection;
};
