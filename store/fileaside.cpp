#include "fileaside.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLatin1StringView>

bool setFileAside(const QString &path, const QString &suffix, QString *newPath)
{
    const QString base = path + QLatin1Char('.') + suffix + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QLatin1String("-wal")); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!QDir().rename(path, target))
        return false;
    for (const QLatin1StringView companion : {QLatin1StringView("-wal"), QLatin1StringView("-shm")}) {
        if (QFileInfo::exists(path + companion))
            QDir().rename(path + companion, target + companion);
    }
    *newPath = target;
    return true;
}
