#include "programprocess.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

namespace {

QString runtimeDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QStringList locks()
{
    return QDir(runtimeDir()).entryList({QStringLiteral("tarnwick-*.lock")}, QDir::Files);
}

} // namespace

void ProgramProcess::start(QProcess &process, const QString &program)
{
    process.setProgram(program);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

void ProgramProcess::stop(QProcess &process)
{
    process.kill();
    QVERIFY(process.waitForFinished());
}

qint64 ProgramProcess::lockOwner()
{
    const QStringList found = locks();
    if (found.size() != 1)
        return 0;
    QFile lock(runtimeDir() + QLatin1Char('/') + found.first());
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    return lock.readLine().trimmed().toLongLong();
}

void ProgramProcess::removeLocks()
{
    for (const QString &lock : locks())
        QFile::remove(runtimeDir() + QLatin1Char('/') + lock);
}

QStringList ProgramProcess::mappedFiles(qint64 processId)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(processId));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    // "address perms offset device inode path": the path is the sixth field, when there is one.
    QStringList files;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6)
            files.append(QFile::decodeName(fields.mid(5).join(' ')));
    }
    return files;
}
