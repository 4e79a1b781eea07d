#include "spotstore.h"

#include "databasesetuperror.h"
#include "sqlfile.h"

#include <QDebug>
#include <QDir>
#include <QStandardPaths>

SpotStore::SpotStore()
    : directory(openDataDirectory())
    , spotsFile(directory)
    , cacheFile(directory)
    , commentIndexFile(directory)
{
}

QString SpotStore::dataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString SpotStore::openDataDirectory()
{
    const QString dir = dataDirectory();
    qDebug() << "Database map:" << dir;
    if (!QDir().mkpath(dir))
        throw DatabaseSetupError(tr("Fout bij aanmaken database map"));
    return dir;
}

SpotsFile &SpotStore::spots()
{
    return spotsFile;
}

const SpotsFile &SpotStore::spots() const
{
    return spotsFile;
}

CacheFile &SpotStore::cache()
{
    return cacheFile;
}

CommentIndexFile &SpotStore::commentIndex()
{
    return commentIndexFile;
}

QSqlDatabase SpotStore::spotsDatabase() const
{
    return spotsFile.database();
}

void SpotStore::optimize()
{
    for (const QSqlDatabase &db : {spotsFile.database(), cacheFile.database(), commentIndexFile.database()})
        SqlFile::execute(db, QStringLiteral("VACUUM"));
}

void SpotStore::deleteAll()
{
    spotsFile.deleteAll();
    cacheFile.deleteAll();
    clearCommentIndex();
    optimize();
}

void SpotStore::clearCommentIndex()
{
    commentIndexFile.clear();
    cacheFile.dropNumberedArticles();
}
