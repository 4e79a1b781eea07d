#include "privatesecretservice.h"

PrivateSecretService::~PrivateSecretService()
{
    stopKeyring();
}

QString PrivateSecretService::start()
{
    if (const QString failure = bus.start(); !failure.isEmpty())
        return failure;
    const bool registered = bus.awaitService(QStringLiteral("org.freedesktop.secrets"), [this] {
        // Kept, not shown: it warns at every replaced item. --unlock: the login keyring is
        // created, unlocked, with the password read from stdin.
        keyring.setProcessChannelMode(QProcess::MergedChannels);
        PrivateSessionBus::startDaemon(
            keyring, QStringLiteral("gnome-keyring-daemon"),
            {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")},
            bus.environment());
        if (keyring.waitForStarted(PrivateSessionBus::startTimeoutMs)) {
            keyring.write("test-keyring-password");
            keyring.closeWriteChannel();
        }
    });
    return registered ? QString()
                      : QStringLiteral("gnome-keyring-daemon did not start: ") + keyring.errorString()
            + QLatin1Char(' ') + QString::fromLocal8Bit(keyring.readAll());
}

void PrivateSecretService::pauseKeyring(bool paused)
{
    PrivateSessionBus::pause(keyring, paused);
}

void PrivateSecretService::stopKeyring()
{
    PrivateSessionBus::stop(keyring);
}
