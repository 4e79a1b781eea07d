#include "nzbgetsender.h"

#include "nzbfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>

#include <cmath>

namespace {

// append(NZBFilename, NZBContent, Category, Priority, AddToTop, AddPaused, DupeKey, DupeScore,
// DupeMode, PPParameters): normal priority, at the end of the queue, not paused, no duplicate
// key and no post-processing parameters.
QByteArray appendCall(const QString &fileName, const QString &category, const QByteArray &nzb)
{
    const QJsonArray params{
        fileName,
        QString::fromLatin1(nzb.toBase64()),
        category,
        0,
        false,
        false,
        QString(),
        0,
        QStringLiteral("SCORE"),
        QJsonArray(),
    };
    const QJsonObject call{
        {QStringLiteral("method"), QStringLiteral("append")},
        {QStringLiteral("params"), params},
        {QStringLiteral("id"), 1},
    };
    return QJsonDocument(call).toJson(QJsonDocument::Compact);
}

// The queue entry's NZBID; 0 and below are NZBGet's refusals.
bool isQueueId(const QJsonValue &result)
{
    if (!result.isDouble())
        return false;
    const double id = result.toDouble();
    return id >= 1 && id <= 9007199254740992.0 && std::floor(id) == id;
}

} // namespace

NzbGetSender::NzbGetSender(const Settings::NzbHandOff &handOff, QObject *parent)
    : HttpSender(parent)
    , url(handOff.nzbgetUrl)
    , user(handOff.nzbgetUser)
    , password(handOff.nzbgetPassword)
    , useCategory(handOff.nzbgetCategory)
{
}

void NzbGetSender::send(const QString &name, const QString &category, const QByteArray &nzb)
{
    const QUrl rpc = endpoint(url, QStringLiteral("/jsonrpc"));
    if (rpc.isEmpty()) {
        failLater(QStringLiteral("Het adres van NZBGet is ongeldig: '%1'")
                      .arg(QUrl::fromUserInput(url).toDisplayString(QUrl::RemoveUserInfo)));
        return;
    }
    QNetworkRequest request(rpc);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    // In a header, never in the address, where a proxy or a log could see it.
    request.setRawHeader("Authorization", "Basic " + (user + u':' + password).toUtf8().toBase64());

    const QByteArray call = appendCall(NzbFile::fileNameFor(name), useCategory ? category : QString(), nzb);
    post(request, call, [this, name](const Answer &answer) {
        if (answer.timedOut) {
            Q_EMIT failed(QStringLiteral("Kan NZBGet niet bereiken: geen antwoord"));
        } else if (answer.httpStatus == 401) {
            Q_EMIT failed(QStringLiteral("NZBGet weigert de gebruikersnaam of het wachtwoord"));
        } else if (answer.httpStatus == 0) {
            Q_EMIT failed(QStringLiteral("Kan NZBGet niet bereiken: %1").arg(answer.errorString));
        } else if (answer.httpStatus == 200 && !answer.tooLarge
                   && isQueueId(QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("result")))) {
            Q_EMIT sent(QStringLiteral("NZB naar NZBGet gestuurd: %1").arg(name));
        } else {
            Q_EMIT failed(QStringLiteral("NZBGet weigerde de NZB"));
        }
    });
}
