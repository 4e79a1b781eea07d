#include "privatesecretservice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <csignal>
#include <sys/prctl.h>

namespace {

const QString secretService = QStringLiteral("org.freedesktop.secrets");
constexpr int startTimeoutMs = 20000;

// A session bus that listens in the profile's runtime directory and has no service files.
const char busConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

void startDaemon(QProcess &process, const QString &program, const QStringList &arguments,
                 const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    // Ends the daemon when the test process dies without cleaning up.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(startTimeoutMs))
        process.kill();
    process.waitForFinished();
}

} // namespace

PrivateSecretService::~PrivateSecretService()
{
    stop(keyring);
    stop(bus);
}

QString PrivateSecretService::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No prompt may ever reach a real display.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));

    const QString configPath = QDir::home().filePath(QStringLiteral("session-bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write ") + configPath;
    config.write(QString::fromUtf8(busConfiguration).arg(QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"))).toUtf8());
    config.close();

    bus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    startDaemon(bus, QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")},
                environment);
    if (!bus.waitForStarted(startTimeoutMs) || !bus.waitForReadyRead(startTimeoutMs))
        return QStringLiteral("dbus-daemon did not start: ") + bus.errorString();
    const QByteArray address = bus.readLine().trimmed();
    if (!address.startsWith("unix:"))
        return QStringLiteral("dbus-daemon gave no address");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));

    // Watched before the keyring starts, so that its registration cannot be missed.
    QDBusConnection connection = QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("probe"));
    if (!connection.isConnected())
        return QStringLiteral("cannot reach the private bus");
    bool registered = false;
    {
        QDBusServiceWatcher watcher(secretService, connection, QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registrations(&watcher, &QDBusServiceWatcher::serviceRegistered);
        // Kept, not shown: it warns at every replaced item. --unlock: the login keyring is
        // created, unlocked, with the password read from stdin.
        keyring.setProcessChannelMode(QProcess::MergedChannels);
        startDaemon(
            keyring, QStringLiteral("gnome-keyring-daemon"),
            {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")},
            environment);
        if (keyring.waitForStarted(startTimeoutMs)) {
            keyring.write("test-keyring-password");
            keyring.closeWriteChannel();
            registered
                = connection.interface()->isServiceRegistered(secretService) || registrations.wait(startTimeoutMs);
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
    return registered ? QString()
                      : QStringLiteral("gnome-keyring-daemon did not start: ") + keyring.errorString()
            + QLatin1Char(' ') + QString::fromLocal8Bit(keyring.readAll());
}

void PrivateSecretService::pauseKeyring(bool paused)
{
    ::kill(pid_t(keyring.processId()), paused ? SIGSTOP : SIGCONT);
}

void PrivateSecretService::stopKeyring()
{
    stop(keyring);
}
