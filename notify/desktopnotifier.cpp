#include "desktopnotifier.h"

#include "settings.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <algorithm>
#include <utility>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = service;
const QString defaultAction = QStringLiteral("default");
// A server that holds its name but does not answer must not keep later notifications waiting long.
constexpr int callTimeoutMs = 5000;
constexpr int serverDefaultExpiry = -1;

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent)
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus(bus)
{
    if (this->bus.isConnected())
        this->bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                          SLOT(onActionInvoked(uint, QString)));
}

void DesktopNotifier::notify(const QList<FilterNewSpots> &filters)
{
    if (NewSpotsSummary::total(filters) == 0 || !Settings::notifications() || !bus.isConnected())
        return;
    if (calling)
        waiting = filters;
    else
        send(filters);
}

void DesktopNotifier::notifyDownload(const QString &summary, const QString &title, const QString &state)
{
    if (!Settings::notifications() || !bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral(TARNWICK_APP_ID)}};
    const QString body = NewSpotsSummary::escapeMarkup(title + QStringLiteral(": ") + state);
    call << QCoreApplication::applicationName() << uint(0) << QStringLiteral(TARNWICK_APP_ID) << summary << body
         << QStringList() << hints << serverDefaultExpiry;
    // Nothing waits for the answer: a lost notification is lost.
    bus.asyncCall(call, callTimeoutMs);
}

void DesktopNotifier::send(const QList<FilterNewSpots> &filters)
{
    const auto first = std::find_if(filters.begin(), filters.end(), [](const auto &f) { return f.count > 0; });
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral(TARNWICK_APP_ID)}};
    call << QCoreApplication::applicationName() << shownId << QStringLiteral(TARNWICK_APP_ID)
         << NewSpotsSummary::summary() << NewSpotsSummary::notificationBody(filters)
         << QStringList{defaultAction, tr("Openen")} << hints << serverDefaultExpiry;
    calling = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, firstFilterId = first->filterId](QDBusPendingCallWatcher *answered) {
                onAnswer(answered, firstFilterId);
            });
}

void DesktopNotifier::onAnswer(QDBusPendingCallWatcher *call, qint64 firstFilterId)
{
    call->deleteLater();
    calling = false;
    const QDBusPendingReply<uint> reply = *call;
    // Without an answer the old id is kept: the next notification still replaces what may be shown.
    if (reply.isValid()) {
        shownId = reply.value();
        shownFilterId = firstFilterId;
    }
    if (waiting) {
        const QList<FilterNewSpots> next = *std::exchange(waiting, std::nullopt);
        send(next);
    }
}

void DesktopNotifier::onActionInvoked(uint notificationId, const QString &action)
{
    if (shownId != 0 && notificationId == shownId && action == defaultAction)
        Q_EMIT filterActivated(shownFilterId);
}
