#pragma once

#include "settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Hands one spot's whole NZB to where the user wants it: a downloader's watch folder,
// NZBGet or SABnzbd. After each send() exactly one of sent() or failed() follows, from the
// event loop (never inside send()).
class NzbSender : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // name: the spot's title (the job's name, or the file's name without ".nzb");
    // category: the spot's category name, empty for none.
    virtual void send(const QString &name, const QString &category, const QByteArray &nzb) = 0;

    // The sender for a destination other than Destination::Save (which asks the user).
    static std::unique_ptr<NzbSender> make(const Settings::NzbHandOff &handOff, QObject *parent = nullptr);

Q_SIGNALS:
    // The text for the status bar, e.g. "NZB naar NZBGet gestuurd: <name>".
    void sent(const QString &message);
    // Why it failed, in Dutch, for a message box.
    void failed(const QString &reason);
};
