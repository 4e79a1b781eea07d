#pragma once

#include "settings.h"

#include <QByteArray>
#include <QJsonArray>
#include <QNetworkRequest>

#include <optional>

// What every call to NZBGet's JSON-RPC shares: the address <url>/jsonrpc, the credentials in
// an Authorization header (never in the address, where a proxy or a log could see them), and
// the call as one JSON object.
namespace NzbGetRequest {

// nullopt when the settings' address is no http or https address with a host.
std::optional<QNetworkRequest> make(const Settings::NzbHandOff &handOff);
QString invalidAddressText(const Settings::NzbHandOff &handOff);
QByteArray call(const QString &method, const QJsonArray &params);

} // namespace NzbGetRequest
