#pragma once

#include "newspotssummary.h"

#include <QDBusConnection>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

// Announces new spots in the filters marked "Melden" as one desktop notification, through the
// desktop's notification server (org.freedesktop.Notifications on the session bus). The Notify
// call carries the application name, the program's desktop id as icon and "desktop-entry" hint,
// the summary and body of NewSpotsSummary, one action "default" ("Openen": a click), the id of
// the notification it replaces, and leaves the expiry to the server.
//
// notify() never waits for the server: the call is asynchronous and given up after a few
// seconds. No bus, no server, a server that does not answer or refuses: nothing is shown and
// nothing is reported. While one call is unanswered, a newer list waits for its answer (only
// the newest is kept), so that it can replace the notification that answer names.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    // On the session bus.
    explicit DesktopNotifier(QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, QObject *parent);

    // Shows one notification, "Nieuwe spots", naming every filter of the list that has new
    // spots with its count, and replacing the one this notifier showed before. Does nothing
    // when no filter has new spots or when the setting "notifications" is off.
    void notify(const QList<FilterNewSpots> &filters);

    // Shows a notification of its own for one download that ended: summary as given, body
    // "<title>: <state>" (with &, < and > escaped). Never replaces another and has no
    // action. Does nothing when the setting "notifications" is off.
    void notifyDownload(const QString &summary, const QString &title, const QString &state);

Q_SIGNALS:
    // The user clicked the notification shown last (its "default" action): the filter it
    // named first. Once per click; never for a notification that was replaced.
    void filterActivated(qint64 filterId);

private Q_SLOTS:
    void onActionInvoked(uint notificationId, const QString &action);

private:
    void send(const QList<FilterNewSpots> &filters);
    void onAnswer(QDBusPendingCallWatcher *call, qint64 firstFilterId);

    QDBusConnection bus;
    uint shownId = 0; // the server's id of the notification shown last; 0 before the first
    qint64 shownFilterId = 0;
    bool calling = false;
    std::optional<QList<FilterNewSpots>> waiting;
};
