#include "nzbgetsender.h"

#include "bytetext.h"
#include "nzbfile.h"
#include "nzbgetrequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// The queue entry's NZBID; 0 and below are NZBGet's refusals.
bool isQueueId(const QJsonValue &result)
{
    if (!result.isDouble())
        return false;
    const double id = result.toDouble();
    return id >= 1 && id <= 9007199254740992.0 && std::floor(id) == id;
}

} // namespace

const QString NzbGetSender::spotParameter = QStringLiteral("TarnwickSpot");

QString NzbGetSender::dupeKey(const QByteArray &messageId)
{
    return messageId.isEmpty() ? QString() : QStringLiteral("tarnwick:") + ByteText::toText(messageId);
}

int NzbGetSender::priorityValue(Settings::NzbHandOff::Priority priority)
{
    using Priority = Settings::NzbHandOff::Priority;
    switch (priority) {
    case Priority::Low:
        return -50;
    case Priority::Normal:
        return 0;
    case Priority::High:
        return 50;
    case Priority::Force:
        return 900;
    }
    return 0;
}

NzbGetSender::NzbGetSender(const Settings::NzbHandOff &handOff, QObject *parent)
    : HttpSender(parent)
    , handOff(handOff)
{
}

void NzbGetSender::send(const NzbJob &job)
{
    // NZBGet 21.0 takes every member of these objects as one parameter, named as the member.
    QJsonArray parameters;
    if (!job.messageId.isEmpty())
        parameters.append(QJsonObject{{spotParameter, ByteText::toText(job.messageId)}});
    const QJsonArray params{
        NzbFile::fileNameFor(job.name),
        QString::fromLatin1(job.nzb.toBase64()),
        job.category,
        priorityValue(handOff.priority),
        false, // AddToTop
        handOff.addPaused,
        dupeKey(job.messageId),
        0, // DupeScore
        QStringLiteral("SCORE"),
        parameters,
    };
    const std::optional<QNetworkRequest> request = NzbGetRequest::make(handOff);
    if (!request) {
        failLater(NzbGetRequest::invalidAddressText(handOff));
        return;
    }
    const QString name = job.name;
    http->post(*request, NzbGetRequest::call(QStringLiteral("append"), params), [this, name](const Answer &answer) {
        const QJsonValue result = QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("result"));
        if (answer.timedOut) {
            Q_EMIT failed(QStringLiteral("Kan NZBGet niet bereiken: geen antwoord"));
        } else if (answer.httpStatus == 401) {
            Q_EMIT failed(QStringLiteral("NZBGet weigert de gebruikersnaam of het wachtwoord"));
        } else if (answer.httpStatus == 0) {
            Q_EMIT failed(QStringLiteral("Kan NZBGet niet bereiken: %1").arg(answer.errorString));
        } else if (answer.httpStatus == 200 && !answer.tooLarge && isQueueId(result)) {
            Q_EMIT sent(QStringLiteral("NZB naar NZBGet gestuurd: %1").arg(name),
                        QString::number(qint64(result.toDouble())));
        } else {
            Q_EMIT failed(QStringLiteral("NZBGet weigerde de NZB"));
        }
    });
}
