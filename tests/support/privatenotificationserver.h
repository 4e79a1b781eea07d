#pragma once

#include "privatedisplay.h"
#include "privatesessionbus.h"

#include <QList>
#include <QProcess>
#include <QStringList>

#include <optional>

// What a client asked of the notification server, as dbus-monitor printed it.
struct NotifyCall
{
    QString appName;
    uint replacesId = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions; // identifiers and labels, in turn
};

// Debian's dunst as the desktop's notification server, on a private session bus and a private
// X display (Xvfb, on a display number it chooses free), with dbus-monitor reading every Notify
// call on that bus. Every process ends with this object.
class PrivateNotificationServer
{
public:
    ~PrivateNotificationServer();

    // Whether dunst, dunstctl and Xvfb are installed.
    static bool isInstalled();

    // Starts the bus and the monitor; no server yet. Empty on success, else what failed.
    QString startBus();
    // Starts Xvfb and dunst and waits until dunst owns its name on the bus.
    QString startServer();
    void pauseServer(bool paused);

    // Runs dunstctl with these arguments against this bus: what it printed, or nothing when it failed.
    std::optional<QString> dunstctl(const QStringList &arguments) const;

    // Every Notify call seen so far, oldest first; waits up to ten seconds, running the event
    // loop, until there are at least `atLeast`.
    QList<NotifyCall> calls(int atLeast);

private:
    PrivateSessionBus bus;
    QProcess monitor;
    PrivateDisplay display;
    QProcess dunst;
    QByteArray monitored;
};
