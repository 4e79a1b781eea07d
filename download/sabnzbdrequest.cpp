#include "sabnzbdrequest.h"

#include "httpexchange.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace SabnzbdRequest {

QUrl make(const Settings::NzbHandOff &handOff, const QString &mode, Items items)
{
    QUrl api = HttpExchange::endpoint(handOff.sabnzbdUrl, QStringLiteral("/api"));
    if (api.isEmpty())
        return api;
    QByteArray query = "mode=" + QUrl::toPercentEncoding(mode)
        + "&output=json&apikey=" + QUrl::toPercentEncoding(handOff.sabnzbdKey);
    for (const auto &[key, value] : items) {
        if (!value.isEmpty())
            query += '&' + QByteArray(key) + '=' + QUrl::toPercentEncoding(value);
    }
    api.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return api;
}

QString invalidAddressText(const Settings::NzbHandOff &handOff)
{
    return QStringLiteral("Het adres van SABnzbd is ongeldig: '%1'")
        .arg(QUrl::fromUserInput(handOff.sabnzbdUrl).toDisplayString(QUrl::RemoveUserInfo));
}

QString reasonOf(const QByteArray &body)
{
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    QString reason = answer.value(QStringLiteral("error")).toString();
    if (reason.isEmpty() && answer.isEmpty()) {
        reason = QString::fromUtf8(body.left(body.indexOf('\n'))).trimmed();
        if (reason.startsWith(QLatin1StringView("error:"), Qt::CaseInsensitive))
            reason = reason.mid(6).trimmed();
    }
    for (QChar &c : reason) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return reason.left(200).simplified();
}

} // namespace SabnzbdRequest
