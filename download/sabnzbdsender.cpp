#include "sabnzbdsender.h"

#include "nzbfile.h"
#include "sabnzbdrequest.h"

#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>

#include <algorithm>

namespace {

// SABnzbd's ids are short words ("SABnzbd_nzo_kyt1f0"): anything else is not kept.
bool isJobId(const QString &id)
{
    return !id.isEmpty() && id.size() <= 100
        && std::all_of(id.begin(), id.end(), [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'-'; });
}

} // namespace

int SabnzbdSender::priorityValue(const Settings::NzbHandOff &handOff)
{
    using Priority = Settings::NzbHandOff::Priority;
    if (handOff.addPaused)
        return -2;
    switch (handOff.priority) {
    case Priority::Low:
        return -1;
    case Priority::Normal:
        return 0;
    case Priority::High:
        return 1;
    case Priority::Force:
        return 2;
    }
    return 0;
}

SabnzbdSender::SabnzbdSender(const Settings::NzbHandOff &handOff, QObject *parent)
    : HttpSender(parent)
    , handOff(handOff)
{
}

void SabnzbdSender::send(const NzbJob &job)
{
    const QUrl api = SabnzbdRequest::make(handOff, QStringLiteral("addfile"),
                                          {{"nzbname", job.name},
                                           {"cat", job.category},
                                           {"priority", QString::number(priorityValue(handOff))},
                                           {"pp", QStringLiteral("3")}});
    if (api.isEmpty()) {
        failLater(SabnzbdRequest::invalidAddressText(handOff));
        return;
    }

    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QByteArray("form-data; name=\"name\"; filename=\"" + NzbFile::fileNameFor(job.name).toUtf8() + '"'));
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-nzb"));
    file.setBody(job.nzb);
    form->append(file);

    const QString name = job.name;
    http->post(QNetworkRequest(api), form, [this, name](const Answer &answer) {
        const QJsonObject reply = QJsonDocument::fromJson(answer.body).object();
        const QString jobId = reply.value(QStringLiteral("nzo_ids")).toArray().first().toString();
        if (answer.timedOut) {
            Q_EMIT failed(QStringLiteral("Kan SABnzbd niet bereiken: geen antwoord"));
        } else if (answer.httpStatus == 0) {
            Q_EMIT failed(QStringLiteral("Kan SABnzbd niet bereiken: %1").arg(answer.errorString));
        } else if (answer.httpStatus / 100 == 2 && !answer.tooLarge && reply.value(QStringLiteral("status")) == true) {
            Q_EMIT sent(QStringLiteral("NZB naar SABnzbd gestuurd: %1").arg(name), isJobId(jobId) ? jobId : QString());
        } else {
            const QString reason = answer.tooLarge ? QString() : SabnzbdRequest::reasonOf(answer.body);
            if (!reason.isEmpty())
                Q_EMIT failed(QStringLiteral("SABnzbd weigerde de NZB: %1").arg(reason));
            else if (answer.httpStatus / 100 == 2)
                Q_EMIT failed(QStringLiteral("SABnzbd weigerde de NZB"));
            else
                Q_EMIT failed(QStringLiteral("SABnzbd weigerde de NZB (HTTP %1)").arg(answer.httpStatus));
        }
    });
}
