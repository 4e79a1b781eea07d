#include "nzbgetrequest.h"

#include "httpexchange.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace NzbGetRequest {

std::optional<QNetworkRequest> make(const Settings::NzbHandOff &handOff)
{
    const QUrl rpc = HttpExchange::endpoint(handOff.nzbgetUrl, QStringLiteral("/jsonrpc"));
    if (rpc.isEmpty())
        return std::nullopt;
    QNetworkRequest request(rpc);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setRawHeader("Authorization",
                         "Basic " + (handOff.nzbgetUser + u':' + handOff.nzbgetPassword).toUtf8().toBase64());
    return request;
}

QString invalidAddressText(const Settings::NzbHandOff &handOff)
{
    return QStringLiteral("Het adres van NZBGet is ongeldig: '%1'")
        .arg(QUrl::fromUserInput(handOff.nzbgetUrl).toDisplayString(QUrl::RemoveUserInfo));
}

QByteArray call(const QString &method, const QJsonArray &params)
{
    const QJsonObject call{
        {QStringLiteral("method"), method},
        {QStringLiteral("params"), params},
        {QStringLiteral("id"), 1},
    };
    return QJsonDocument(call).toJson(QJsonDocument::Compact);
}

} // namespace NzbGetRequest
