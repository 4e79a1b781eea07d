#pragma once

#include "downloadstate.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// What a downloader's answer says of its jobs, by job id (NZBGet's NZBID in decimal, SABnzbd's
// nzo_id). Pure: the answers are the downloader's JSON as it sent it, read with bounds on every
// text kept. nullopt when the answer is not one of the kind asked for.
namespace JobStates {

using States = QHash<QString, DownloadState>;

// NZBGet's "listgroups": queued, paused or fetching is "In wachtrij", downloading is "Bezig"
// with the share of the unpaused files downloaded, every post-processing step "Nabewerking".
std::optional<States> nzbgetQueue(const QByteArray &answer);
// NZBGet's "history" (hidden records included): SUCCESS is "Klaar"; FAILURE, WARNING,
// DELETED/HEALTH, DELETED/BAD and DELETED/SCAN are "Mislukt" with the status as reason;
// DELETED/DUPE, DELETED/COPY and DELETED/GOOD are "Dubbel"; DELETED/MANUAL is "Verwijderd".
std::optional<States> nzbgetHistory(const QByteArray &answer);
// The state of one history status such as "FAILURE/HEALTH".
DownloadState nzbgetHistoryState(const QString &status);

// SABnzbd's "queue": "Downloading" is "Bezig" with its percentage, the checks and repairs
// "Nabewerking", everything else "In wachtrij".
std::optional<States> sabnzbdQueue(const QByteArray &answer);
// SABnzbd's "history": "Completed" is "Klaar", "Failed" is "Mislukt" with its fail_message
// (or "Dubbel" when that names a duplicate), the post-processing steps "Nabewerking".
std::optional<States> sabnzbdHistory(const QByteArray &answer);

} // namespace JobStates
