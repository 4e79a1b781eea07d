#pragma once

#include "downloadstate.h"
#include "spotrow.h"

#include <QString>

// A spot whose NZB was handed off: where to, when, the downloader's id for the job, and the
// last state seen. The user file keeps one per spot; handing a spot off again replaces it.
struct HandOff
{
    enum class Target { File, Folder, NzbGet, Sabnzbd };

    SpotRow spot; // its message-id as spots.msgid holds it is the key
    Target target = Target::File;
    QString jobId; // NZBGet's NZBID or SABnzbd's nzo_id; empty for a file or a folder
    qint64 sentAt = 0; // seconds since the epoch
    DownloadState state;

    friend bool operator==(const HandOff &a, const HandOff &b)
    {
        return a.spot == b.spot && a.target == b.target && a.jobId == b.jobId && a.sentAt == b.sentAt
            && a.state == b.state;
    }
};
