#include "privatenotificationserver.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString notificationService = QStringLiteral("org.freedesktop.Notifications");

// dbus-monitor's text: a header line per message, then its arguments one a line, indented by
// three spaces, the elements of an array by six. A call counts once its last argument is there.
QList<NotifyCall> parseCalls(const QByteArray &output)
{
    QList<NotifyCall> calls;
    const QString text = QString::fromUtf8(output);
    const QRegularExpression header(QStringLiteral("^method call .*member=Notify$"),
                                    QRegularExpression::MultilineOption);
    const QRegularExpression topString(QStringLiteral(R"re(^   string "(.*)"$)re"));
    const QRegularExpression topUint(QStringLiteral(R"(^   uint32 (\d+)$)"));
    const QRegularExpression elementString(QStringLiteral(R"re(^      string "(.*)"$)re"));
    for (auto match = header.globalMatch(text); match.hasNext();) {
        const QStringList lines = text.mid(match.next().capturedEnd() + 1).split(QLatin1Char('\n'));
        QStringList strings;
        NotifyCall call;
        int arrays = 0;
        bool complete = false;
        for (const QString &line : lines) {
            if (!line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1String("   int32 "))) {
                complete = line.startsWith(QLatin1String("   int32 "));
                break;
            }
            if (line == QLatin1String("   array ["))
                ++arrays;
            else if (const auto string = topString.match(line); string.hasMatch())
                strings.append(string.captured(1));
            else if (const auto number = topUint.match(line); number.hasMatch())
                call.replacesId = number.captured(1).toUInt();
            else if (const auto action = elementString.match(line); action.hasMatch() && arrays == 1)
                call.actions.append(action.captured(1));
        }
        if (!complete || strings.size() != 4)
            continue;
        call.appName = strings.at(0);
        call.icon = strings.at(1);
        call.summary = strings.at(2);
        call.body = strings.at(3);
        calls.append(call);
    }
    return calls;
}

} // namespace

PrivateNotificationServer::~PrivateNotificationServer()
{
    pauseServer(false);
    PrivateSessionBus::stop(dunst);
    PrivateSessionBus::stop(monitor);
}

bool PrivateNotificationServer::isInstalled()
{
    if (!PrivateDisplay::isInstalled())
        return false;
    for (const char *program : {"dunst", "dunstctl", "dbus-monitor"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            return false;
    }
    return true;
}

QString PrivateNotificationServer::startBus()
{
    if (const QString failure = bus.start(); !failure.isEmpty())
        return failure;
    // Only the calls to the server are printed, after two lines that say the monitor is attached.
    PrivateSessionBus::startDaemon(
        monitor, QStringLiteral("dbus-monitor"),
        {QStringLiteral("--address"), bus.address(),
         QStringLiteral("type='method_call',interface='org.freedesktop.Notifications',member='Notify'")},
        bus.environment());
    const QDeadlineTimer deadline(PrivateSessionBus::startTimeoutMs);
    while (!monitored.contains("member=NameLost") && monitor.waitForReadyRead(int(deadline.remainingTime())))
        monitored += monitor.readAllStandardOutput();
    return monitored.contains("member=NameLost") ? QString() : QStringLiteral("dbus-monitor did not attach");
}

QString PrivateNotificationServer::startServer()
{
    if (const QString failure = display.start(bus.environment()); !failure.isEmpty())
        return failure;
    QProcessEnvironment environment = bus.environment();
    environment.insert(QStringLiteral("DISPLAY"), display.name());
    const bool registered = bus.awaitService(notificationService, [&] {
        dunst.setProcessChannelMode(QProcess::MergedChannels); // kept, read only on failure
        PrivateSessionBus::startDaemon(dunst, QStringLiteral("dunst"), {}, environment);
    });
    return registered ? QString()
                      : QStringLiteral("dunst did not start: ") + dunst.errorString() + QLatin1Char(' ')
            + QString::fromLocal8Bit(dunst.readAll());
}

void PrivateNotificationServer::pauseServer(bool paused)
{
    if (dunst.state() == QProcess::Running)
        PrivateSessionBus::pause(dunst, paused);
}

std::optional<QString> PrivateNotificationServer::dunstctl(const QStringList &arguments) const
{
    QProcess control;
    control.setProcessEnvironment(bus.environment());
    control.start(QStringLiteral("dunstctl"), arguments);
    if (!control.waitForFinished(PrivateSessionBus::startTimeoutMs) || control.exitStatus() != QProcess::NormalExit
        || control.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(control.readAllStandardOutput()).trimmed();
}

QList<NotifyCall> PrivateNotificationServer::calls(int atLeast)
{
    // The event loop runs meanwhile: the server's answers reach the client under test. The caller
    // compares the count.
    (void)QTest::qWaitFor(
        [&] {
            monitored += monitor.readAllStandardOutput();
            return parseCalls(monitored).size() >= atLeast;
        },
        10000);
    return parseCalls(monitored);
}
