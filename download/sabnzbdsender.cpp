#include "sabnzbdsender.h"

#include "nzbfile.h"

#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>

namespace {

// Every value fully percent-encoded: QUrlQuery would leave "+", which SABnzbd reads as a blank.
QString query(std::initializer_list<std::pair<const char *, QString>> items)
{
    QByteArray query;
    for (const auto &[key, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += key;
        query += '=';
        query += QUrl::toPercentEncoding(value);
    }
    return QString::fromLatin1(query);
}

// Why SABnzbd said no: the "error" of its JSON answer or, from an older or a proxied one, the
// first line of a plain answer ("error: API Key Incorrect").
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

} // namespace

SabnzbdSender::SabnzbdSender(const Settings::NzbHandOff &handOff, QObject *parent)
    : HttpSender(parent)
    , url(handOff.sabnzbdUrl)
    , key(handOff.sabnzbdKey)
{
}

void SabnzbdSender::send(const QString &name, const QString &category, const QByteArray &nzb)
{
    QUrl api = endpoint(url, QStringLiteral("/api"));
    if (api.isEmpty()) {
        failLater(QStringLiteral("Het adres van SABnzbd is ongeldig: '%1'")
                      .arg(QUrl::fromUserInput(url).toDisplayString(QUrl::RemoveUserInfo)));
        return;
    }
    QString items = query(
        {{"mode", QStringLiteral("addfile")}, {"output", QStringLiteral("json")}, {"apikey", key}, {"nzbname", name}});
    if (!category.isEmpty())
        items += u'&' + query({{"cat", category}});
    api.setQuery(items, QUrl::StrictMode);

    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QByteArray("form-data; name=\"name\"; filename=\"" + NzbFile::fileNameFor(name).toUtf8() + '"'));
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-nzb"));
    file.setBody(nzb);
    form->append(file);

    post(QNetworkRequest(api), form, [this, name](const Answer &answer) {
        if (answer.timedOut) {
            Q_EMIT failed(QStringLiteral("Kan SABnzbd niet bereiken: geen antwoord"));
        } else if (answer.httpStatus == 0) {
            Q_EMIT failed(QStringLiteral("Kan SABnzbd niet bereiken: %1").arg(answer.errorString));
        } else if (answer.httpStatus / 100 == 2 && !answer.tooLarge
                   && QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("status")) == true) {
            Q_EMIT sent(QStringLiteral("NZB naar SABnzbd gestuurd: %1").arg(name));
        } else {
            const QString reason = answer.tooLarge ? QString() : reasonOf(answer.body);
            if (!reason.isEmpty())
                Q_EMIT failed(QStringLiteral("SABnzbd weigerde de NZB: %1").arg(reason));
            else if (answer.httpStatus / 100 == 2)
                Q_EMIT failed(QStringLiteral("SABnzbd weigerde de NZB"));
            else
                Q_EMIT failed(QStringLiteral("SABnzbd weigerde de NZB (HTTP %1)").arg(answer.httpStatus));
        }
    });
}
