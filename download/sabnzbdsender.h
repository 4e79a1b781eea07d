#pragma once

#include "httpsender.h"

// Sends to SABnzbd: its API call "addfile" at <url>/api, the NZB uploaded as the form field
// "name" of a multipart/form-data POST, the title as the job's name and the spot's category
// (when there is one) as SABnzbd's category, which SABnzbd maps to its own or its default.
// The API key travels in the address, as SABnzbd wants it; it is never written to a log.
class SabnzbdSender : public HttpSender
{
    Q_OBJECT

public:
    explicit SabnzbdSender(const Settings::NzbHandOff &handOff, QObject *parent = nullptr);

    void send(const QString &name, const QString &category, const QByteArray &nzb) override;

private:
    QString url;
    QString key;
};
