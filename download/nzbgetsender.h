#pragma once

#include "httpsender.h"

// Sends to NZBGet: its JSON-RPC method "append" (NZBGet 13 and later, parameters as of
// version 16) at <url>/jsonrpc, with HTTP basic authentication. The NZB is queued as
// "<title>.nzb" (see NzbFile::fileNameFor), so NZBGet names the job after the title; the
// spot's category goes along only when the user chose so.
class NzbGetSender : public HttpSender
{
    Q_OBJECT

public:
    explicit NzbGetSender(const Settings::NzbHandOff &handOff, QObject *parent = nullptr);

    void send(const QString &name, const QString &category, const QByteArray &nzb) override;

private:
    QString url;
    QString user;
    QString password;
    bool useCategory;
};
