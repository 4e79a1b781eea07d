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

    // Keeps a fetched article compressed. An id already stored keeps its first article,
    // unless that one no longer inflates within the default bound: then it is replaced.
    void storeArticle(const QByteArray &id, const QByteArray &article);
    // The stored article, or nullopt when there is none or it does not inflate within the bound.
    // Never a header block of storeHeads().
    std::optional<QByteArray> cachedArticle(const QByteArray &id,
                                            qsizetype sizeLimit = ZlibStream::defaultOutputLimit) const;
    // Keeps header blocks of spot articles (the article id, and the block, as much of the
    // header as the spot page reads, in a zlib stream: ZlibStream::deflateZlibEach()), in one transaction, under keys
    // of their own: a header block is never taken for the whole article (cachedArticle()), nor
    // does it replace one or is replaced by one. A block kept before under the same id is
    // replaced. False when the write failed.
    bool storeHeads(const QList<std::pair<QByteArray, QByteArray>> &compressedHeads);
    // The header block kept by storeHeads(), or nullopt.
    std::optional<QByteArray> cachedHead(const QByteArray &id) const;
    // Drops the articles stored under an article number (the comments).
    void dropNumberedArticles();
    void deleteAll();

    Q_DISABLE_COPY_MOVE(CacheFile)

private:
    // Message-ids hold no space: no article id is ever one of these.
    static QByteArray headKey(const QByteArray &id) { return "head " + id; }
    std::optional<QByteArray> readRow(const QByteArray &key, qsizetype sizeLimit) const;

    SqlConnection connection;
};
