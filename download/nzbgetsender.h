#pragma once

#include "httpsender.h"

// Sends to NZBGet: its JSON-RPC method "append" at <url>/jsonrpc with HTTP basic
// authentication, parameters in the order of NZBGet 21.0 (NZBFilename, Content, Category,
// Priority, AddToTop, AddPaused, DupeKey, DupeScore, DupeMode, PPParameters). The NZB is queued
// as "<title>.nzb" (see NzbFile::fileNameFor), so NZBGet names the job after the title, with the
// category, priority and paused state of the settings, the duplicate key dupeKey() in mode
// "SCORE", and the post-processing parameter spotParameter carrying the spot's message-id. The
// job id of sent() is NZBGet's NZBID.
class NzbGetSender : public HttpSender
{
    Q_OBJECT

public:
    // The name of the post-processing parameter that marks a job as the spot's.
    static const QString spotParameter;
    // "tarnwick:<message-id>": a spot handed off twice is one duplicate in NZBGet's eyes.
    static QString dupeKey(const QByteArray &messageId);
    // NZBGet's own priority numbers.
    static int priorityValue(Settings::NzbHandOff::Priority priority);

    explicit NzbGetSender(const Settings::NzbHandOff &handOff, QObject *parent = nullptr);

    void send(const NzbJob &job) override;

private:
    Settings::NzbHandOff handOff;
};
