#pragma once

#include "httpsender.h"

// Sends to SABnzbd: its API call "addfile" at <url>/api, the NZB uploaded as the form field
// "name" of a multipart/form-data POST, with the title as "nzbname", the category of the
// settings as "cat" (none when empty), the priority ("priority", -2 when added paused) and
// full post-processing ("pp" 3: repair, unpack, delete). The job id of sent() is the first
// "nzo_ids" entry of SABnzbd's answer.
class SabnzbdSender : public HttpSender
{
    Q_OBJECT

public:
    // SABnzbd's own priority numbers; added paused is its priority -2.
    static int priorityValue(const Settings::NzbHandOff &handOff);

    explicit SabnzbdSender(const Settings::NzbHandOff &handOff, QObject *parent = nullptr);

    void send(const NzbJob &job) override;

private:
    Settings::NzbHandOff handOff;
};
