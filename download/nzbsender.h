#pragma once

#include "settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// One spot's NZB as it is handed off.
struct NzbJob
{
    QString name; // the spot's title: the job's name, or the file's name without ".nzb"
    QString category; // the downloader's category, empty for none
    QByteArray messageId; // the spot's message-id: NZBGet's duplicate key and the job's mark
    QByteArray nzb;
};

// Hands one spot's whole NZB to where the user wants it: a downloader's watch folder,
// NZBGet or SABnzbd. After each send() exactly one of sent() or failed() follows, from the
// event loop (never inside send()).
class NzbSender : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void send(const NzbJob &job) = 0;

    // The sender for a destination other than Destination::Save (which asks the user).
    static std::unique_ptr<NzbSender> make(const Settings::NzbHandOff &handOff, QObject *parent = nullptr);

Q_SIGNALS:
    // message: the text for the status bar, e.g. "NZB naar NZBGet gestuurd: <name>"; jobId: the
    // downloader's id of the job (NZBGet's NZBID, SABnzbd's nzo_id), empty for a folder.
    void sent(const QString &message, const QString &jobId);
    // Why it failed, in Dutch, for a message box.
    void failed(const QString &reason);
};
