#include "cachefile.h"

#include "databasesetuperror.h"
#include "sqlfile.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QStringList cacheSchema = {
    QStringLiteral("CREATE TABLE cache(id VARCHAR(255) PRIMARY KEY,dateadded INT,data BLOB )"),
    QStringLiteral("CREATE INDEX dateidx ON cache(dateadded)"),
};

} // namespace

CacheFile::CacheFile(const QString &directory)
    : connection(QStringLiteral("cache"), directory + QLatin1String("/cache.db"), tr("Fout bij openen cache database"))
{
    if (!SqlFile::tableExists(database(), QStringLiteral("cache")) && !SqlFile::createTable(database(), cacheSchema))
        throw DatabaseSetupError(tr("Fout bij openen cache database"));
}

QSqlDatabase CacheFile::database() const
{
    return connection.database();
}

QString CacheFile::filePath() const
{
    return database().databaseName();
}

void CacheFile::storeArticle(const QByteArray &id, const QByteArray &article)
{
    // A row that no longer inflates reads as a miss: were it kept, the article would be
    // fetched again at every request. No article id holds a space (see headKey()).
    if (id.contains(' ') || cachedArticle(id))
        return;
    const QByteArray compressed = ZlibStream::deflateZlib(article, 6);
    if (compressed.isEmpty())
        return;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("REPLACE INTO cache(id,dateadded,data) VALUES (?,?,?)"));
    query.addBindValue(id);
    query.addBindValue(QDateTime::currentSecsSinceEpoch());
    query.addBindValue(compressed);
    query.exec();
}

std::optional<QByteArray> CacheFile::cachedArticle(const QByteArray &id, qsizetype sizeLimit) const
{
    // An id with a space (from a spot's XML, say) could only name a header block.
    if (id.contains(' '))
        return std::nullopt;
    return readRow(id, sizeLimit);
}

std::optional<QByteArray> CacheFile::readRow(const QByteArray &key, qsizetype sizeLimit) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT data FROM cache WHERE id=?"));
    query.addBindValue(key);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return ZlibStream::inflateZlib(query.value(0).toByteArray(), sizeLimit);
}

std::optional<QByteArray> CacheFile::cachedHead(const QByteArray &id) const
{
    return readRow(headKey(id), ZlibStream::defaultOutputLimit);
}

void CacheFile::dropNumberedArticles()
{
    SqlFile::execute(database(),
                     QStringLiteral("DELETE FROM cache WHERE length(id)>0 AND CAST(id AS TEXT) NOT GLOB '*[^0-9]*'"));
}

void CacheFile::deleteAll()
{
    SqlFile::execute(database(), QStringLiteral("DELETE FROM cache"));
}
