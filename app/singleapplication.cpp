#include "singleapplication.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <QWidget>

#include <unistd.h>

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
    , lock(lockFilePath())
{
    // Age never makes a lock stale: a long-running instance keeps its lock for days.
    // Only a lock whose process is gone is taken over.
    lock.setStaleLockTime(0);
    running = !lock.tryLock(0) && lock.error() == QLockFile::LockFailedError;
}

QString SingleApplication::lockFilePath()
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        directory = QDir::tempPath();
    const QByteArray identity = applicationFilePath().toUtf8() + '\n' + QByteArray::number(::getuid());
    const QByteArray hash = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(24);
    return directory + QLatin1String("/tarnwick-") + QLatin1String(hash) + QLatin1String(".lock");
}

bool SingleApplication::isRunning() const
{
    return running;
}

void SingleApplication::setActivationWindow(QWidget *window, bool)
{
    activationWindow = window;
}

void SingleApplication::activateWindow()
{
    if (!activationWindow)
        return;
    activationWindow->setWindowState(activationWindow->windowState() & ~Qt::WindowMinimized);
    activationWindow->raise();
    activationWindow->activateWindow();
}
