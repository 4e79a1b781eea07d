#include "jobpoller.h"

#include "httpexchange.h"
#include "nzbgetrequest.h"
#include "sabnzbdrequest.h"
#include "settings.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>

JobPoller::JobPoller(Downloader downloader, QObject *parent)
    : QObject(parent)
    , downloader(downloader)
    , http(new HttpExchange(maxAnswerSize, this))
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // the back-off doubles exactly
    connect(&timer, &QTimer::timeout, this, &JobPoller::ask);
}

void JobPoller::setIntervals(std::chrono::milliseconds interval, std::chrono::milliseconds maxBackOff)
{
    this->interval = interval;
    this->maxBackOff = maxBackOff;
    wait = interval;
}

void JobPoller::follow(const QString &jobId, const DownloadState &state)
{
    if (jobId.isEmpty() || !state.isOpen())
        return;
    jobs.insert(jobId, state);
    schedule();
}

void JobPoller::forget(const QString &jobId)
{
    jobs.remove(jobId);
    missingFromQueue.remove(jobId);
}

void JobPoller::schedule()
{
    if (!jobs.isEmpty() && !asking && !timer.isActive())
        timer.start(wait);
}

void JobPoller::ask()
{
    if (jobs.isEmpty())
        return;
    const QList<QString> ids = jobs.keys();
    const QSet<QString> asked(ids.begin(), ids.end());
    QString why;
    if (!send(stage, asked, &why))
        onAnswer(stage, asked, std::nullopt, why);
}

bool JobPoller::send(Stage stage, const QSet<QString> &asked, QString *why)
{
    const Settings::NzbHandOff handOff = Settings::nzbHandOff();
    auto done = [this, stage, asked](const HttpExchange::Answer &answer) {
        std::optional<JobStates::States> states;
        QString failure;
        if (answer.timedOut)
            failure = tr("geen antwoord");
        else if (answer.httpStatus == 0)
            failure = answer.errorString;
        else if (answer.httpStatus == 401)
            failure = tr("gebruikersnaam of wachtwoord geweigerd");
        else if (answer.tooLarge)
            failure = tr("antwoord te groot");
        if (failure.isEmpty()) {
            const bool queue = stage == Stage::Queue;
            states = downloader == Downloader::NzbGet
                ? (queue ? JobStates::nzbgetQueue(answer.body) : JobStates::nzbgetHistory(answer.body))
                : (queue ? JobStates::sabnzbdQueue(answer.body) : JobStates::sabnzbdHistory(answer.body));
            if (!states) {
                const QString reason
                    = downloader == Downloader::Sabnzbd ? SabnzbdRequest::reasonOf(answer.body) : QString();
                failure = reason.isEmpty() ? tr("onbekend antwoord (HTTP %1)").arg(answer.httpStatus) : reason;
            }
        }
        onAnswer(stage, asked, states, failure);
    };

    if (downloader == Downloader::NzbGet) {
        const std::optional<QNetworkRequest> request = NzbGetRequest::make(handOff);
        if (!request) {
            *why = NzbGetRequest::invalidAddressText(handOff);
            return false;
        }
        const QByteArray call = stage == Stage::Queue ? NzbGetRequest::call(QStringLiteral("listgroups"), {0})
                                                      : NzbGetRequest::call(QStringLiteral("history"), {true});
        asking = true;
        ++requests;
        http->post(*request, call, done);
        return true;
    }
    QStringList ids(asked.begin(), asked.end());
    ids.sort();
    const QUrl api
        = SabnzbdRequest::make(handOff, stage == Stage::Queue ? QStringLiteral("queue") : QStringLiteral("history"),
                               {{"nzo_ids", ids.join(u',')}});
    if (api.isEmpty()) {
        *why = SabnzbdRequest::invalidAddressText(handOff);
        return false;
    }
    asking = true;
    ++requests;
    http->get(QNetworkRequest(api), done);
    return true;
}

void JobPoller::onAnswer(Stage answered, const QSet<QString> &asked, const std::optional<JobStates::States> &states,
                         const QString &failure)
{
    asking = false;
    if (!states) {
        wait = std::min(wait * 2, maxBackOff);
        if (!failing)
            Q_EMIT unreachable(downloader == Downloader::NzbGet ? tr("NZBGet niet bereikbaar: %1").arg(failure)
                                                                : tr("SABnzbd niet bereikbaar: %1").arg(failure));
        failing = true;
        schedule();
        return;
    }
    failing = false;
    wait = interval;
    if (answered == Stage::Queue) {
        missingFromQueue.clear();
        for (const QString &id : asked) {
            if (states->contains(id))
                update(id, states->value(id));
            else
                missingFromQueue.insert(id);
        }
        stage = Stage::History;
    } else {
        for (const QString &id : asked) {
            if (states->contains(id))
                update(id, states->value(id));
            else if (missingFromQueue.contains(id))
                update(id, DownloadState{DownloadState::Phase::Removed, 0, QString()});
        }
        missingFromQueue.clear();
        stage = Stage::Queue;
    }
    schedule();
}

void JobPoller::update(const QString &jobId, const DownloadState &state)
{
    const auto job = jobs.find(jobId);
    if (job == jobs.end())
        return; // forgotten meanwhile
    const bool changed = *job != state;
    if (state.isOpen())
        *job = state;
    else
        jobs.erase(job);
    if (changed)
        Q_EMIT stateChanged(jobId, state);
}
