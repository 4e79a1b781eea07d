#include "privatesessionbus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <csignal>
#include <sys/prctl.h>

namespace {

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

} // namespace

PrivateSessionBus::~PrivateSessionBus()
{
    stop(bus);
}

QString PrivateSessionBus::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Nothing a daemon shows may ever reach a real display.
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
    busAddress = QString::fromLatin1(address);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    daemonEnvironment = environment;
    return QString();
}

QString PrivateSessionBus::address() const
{
    return busAddress;
}

QProcessEnvironment PrivateSessionBus::environment() const
{
    return daemonEnvironment;
}

bool PrivateSessionBus::awaitService(const QString &service, const std::function<void()> &launch) const
{
    const QString probeName = QStringLiteral("probe");
    bool registered = false;
    {
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, probeName);
        if (connection.isConnected()) {
            QDBusServiceWatcher watcher(service, connection, QDBusServiceWatcher::WatchForRegistration);
            QSignalSpy registrations(&watcher, &QDBusServiceWatcher::serviceRegistered);
            launch();
            registered = connection.interface()->isServiceRegistered(service) || registrations.wait(startTimeoutMs);
        }
    }
    QDBusConnection::disconnectFromBus(probeName);
    return registered;
}

void PrivateSessionBus::startDaemon(QProcess &process, const QString &program, const QStringList &arguments,
                                    const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    // Ends the daemon when the test process dies without cleaning up.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
}

void PrivateSessionBus::stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(startTimeoutMs))
        process.kill();
    process.waitForFinished();
}

void PrivateSessionBus::pause(QProcess &process, bool paused)
{
    ::kill(pid_t(process.processId()), paused ? SIGSTOP : SIGCONT);
}
