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

void CacheFile::storeArticle(const QByteArray &id, const QByteArray &article)
{
    // A row that no longer inflates reads as a miss: were it kept, the article would be
    // fetched again at every request.
    if (cachedArticle(id))
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
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT data FROM cache WHERE id=?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return ZlibStream::inflateZlib(query.value(0).toByteArray(), sizeLimit);
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
