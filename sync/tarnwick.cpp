#include "tarnwick.h"

#include "settings.h"

Tarnwick::Tarnwick(QObject *parent)
    : SpotSource(parent)
{
}

Tarnwick::~Tarnwick() = default;

QSqlDatabase Tarnwick::spotsDatabase() const
{
    return store.spotsDatabase();
}

int Tarnwick::newSpotCount() const
{
    return spotsAdded;
}

int Tarnwick::newEroticSpotCount() const
{
    return eroticSpotsAdded;
}

qint64 Tarnwick::headerRunStart() const
{
    return runStart;
}

bool Tarnwick::tableExists(const QSqlDatabase &db, const QString &name)
{
    return SpotStore::tableExists(db, name);
}

bool Tarnwick::optimizeDatabases()
{
    if (headerSyncBusy)
        return false;
    store.optimize();
    return true;
}

bool Tarnwick::deleteAllSpots()
{
    if (headerSyncBusy)
        return false;
    // Positions first: a kill half-way then downloads again what is still stored (the
    // duplicate test skips it) instead of never again what is already gone.
    Settings::resetDownloadPositions();
    store.deleteAll();
    runStart = 0;
    spotsAdded = 0;
    eroticSpotsAdded = 0;
    Q_EMIT newSpots();
    return true;
}

void Tarnwick::clearCommentIndex()
{
    store.clearCommentIndex();
}

QList<quint32> Tarnwick::commentNumbers(const QString &spotKey)
{
    return store.commentNumbers(spotKey);
}
