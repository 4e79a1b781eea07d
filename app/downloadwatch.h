#pragma once

#include "handoff.h"
#include "jobpoller.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <optional>

class DesktopNotifier;
class SpotsModel;
class UserStore;

// The spots handed off or saved, behind the window: kept in the user file, their downloader
// jobs followed (a JobPoller per downloader) while they are open, their states shown in the
// list, and "Klaar" or "Mislukt" announced on the desktop, once per job.
//
// Every change goes to the user file first; changed() follows it, once per change.
class DownloadWatch : public QObject
{
    Q_OBJECT

public:
    DownloadWatch(UserStore &store, SpotsModel *model, QObject *parent);

    // Reads the user file's hand-offs and follows the open ones; call once the file is open.
    void load();

    // Newest sent first.
    const QList<HandOff> &handOffs() const { return all; }
    std::optional<HandOff> handOff(const QByteArray &messageId) const;
    // A spot handed off again replaces what was known of it. False when it could not be written.
    bool record(const HandOff &handOff);

    JobPoller &poller(JobPoller::Downloader downloader);

Q_SIGNALS:
    // A hand-off was recorded, or the state of one changed.
    void changed(const QByteArray &messageId);
    // For the status bar: a downloader could not be asked.
    void notice(const QString &text);

private:
    void onStateChanged(HandOff::Target target, const QString &jobId, const DownloadState &state);
    void follow(const HandOff &handOff);
    void showStates();

    UserStore &store;
    SpotsModel *model;
    DesktopNotifier *notifier;
    JobPoller *nzbget;
    JobPoller *sabnzbd;
    QList<HandOff> all;
};
