#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <functional>

// A D-Bus session bus of the test's own, listening in the test profile's runtime directory (see
// TestProfile), so that nothing the test does reaches the user's desktop. The bus activates
// nothing: a service is there only while the test runs its daemon. The bus and every daemon
// started through here end with this object, or with the test process should it die first.
class PrivateSessionBus
{
public:
    ~PrivateSessionBus();

    // Starts the bus and points this process's DBUS_SESSION_BUS_ADDRESS at it; call it before
    // anything here uses D-Bus. An empty answer means success, otherwise it says what failed.
    QString start();

    QString address() const;

    // For the daemons the test starts: this bus, and no display (a test that wants one adds it).
    QProcessEnvironment environment() const;

    // Runs launch(), which starts a daemon (see startDaemon), and waits until some client owns
    // `service` on the bus. Watched before launch(), so that the registration cannot be missed.
    bool awaitService(const QString &service, const std::function<void()> &launch) const;

    // Starts a daemon that gets SIGTERM when the test process dies.
    static void startDaemon(QProcess &process, const QString &program, const QStringList &arguments,
                            const QProcessEnvironment &environment);
    // Ends a daemon: SIGTERM, then SIGKILL when it does not go.
    static void stop(QProcess &process);
    // Stops or continues a daemon (SIGSTOP, SIGCONT): a stopped one keeps its names on the bus
    // and answers nothing until it continues.
    static void pause(QProcess &process, bool paused);

    static constexpr int startTimeoutMs = 20000;

private:
    QProcess bus;
    QString busAddress;
    QProcessEnvironment daemonEnvironment;
};
