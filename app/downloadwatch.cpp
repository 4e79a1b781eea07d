#include "downloadwatch.h"

#include "desktopnotifier.h"
#include "spotsmodel.h"
#include "userstore.h"

DownloadWatch::DownloadWatch(UserStore &store, SpotsModel *model, QObject *parent)
    : QObject(parent)
    , store(store)
    , model(model)
    , notifier(new DesktopNotifier(this))
    , nzbget(new JobPoller(JobPoller::Downloader::NzbGet, this))
    , sabnzbd(new JobPoller(JobPoller::Downloader::Sabnzbd, this))
{
    for (const auto &[poller, target] :
         {std::pair(nzbget, HandOff::Target::NzbGet), std::pair(sabnzbd, HandOff::Target::Sabnzbd)}) {
        connect(poller, &JobPoller::stateChanged, this,
                [this, target = target](const QString &jobId, const DownloadState &state) {
                    onStateChanged(target, jobId, state);
                });
        connect(poller, &JobPoller::unreachable, this, &DownloadWatch::notice);
    }
}

void DownloadWatch::load()
{
    all = store.handOffs();
    for (const HandOff &handOff : std::as_const(all))
        follow(handOff);
    showStates();
}

JobPoller &DownloadWatch::poller(JobPoller::Downloader downloader)
{
    return downloader == JobPoller::Downloader::NzbGet ? *nzbget : *sabnzbd;
}

void DownloadWatch::follow(const HandOff &handOff)
{
    if (handOff.target == HandOff::Target::NzbGet)
        nzbget->follow(handOff.jobId, handOff.state);
    else if (handOff.target == HandOff::Target::Sabnzbd)
        sabnzbd->follow(handOff.jobId, handOff.state);
}

std::optional<HandOff> DownloadWatch::handOff(const QByteArray &messageId) const
{
    for (const HandOff &handOff : all) {
        if (handOff.spot.messageId == messageId)
            return handOff;
    }
    return std::nullopt;
}

bool DownloadWatch::record(const HandOff &handOff)
{
    if (!store.recordHandOff(handOff))
        return false;
    if (const std::optional<HandOff> before = this->handOff(handOff.spot.messageId)) {
        nzbget->forget(before->jobId);
        sabnzbd->forget(before->jobId);
    }
    all = store.handOffs();
    follow(handOff);
    showStates();
    Q_EMIT changed(handOff.spot.messageId);
    return true;
}

void DownloadWatch::onStateChanged(HandOff::Target target, const QString &jobId, const DownloadState &state)
{
    for (HandOff &handOff : all) {
        if (handOff.target != target || handOff.jobId != jobId)
            continue;
        // Not written, not shown: the next start asks the downloader again.
        if (!store.setHandOffState(handOff.spot.messageId, state))
            return;
        handOff.state = state;
        showStates();
        if (state.isAnnounced())
            notifier->notifyDownload(state.phase == DownloadState::Phase::Done ? tr("Download klaar")
                                                                               : tr("Download mislukt"),
                                     handOff.spot.title, state.text());
        Q_EMIT changed(handOff.spot.messageId);
        return;
    }
}

void DownloadWatch::showStates()
{
    QHash<QByteArray, DownloadState> states;
    for (const HandOff &handOff : std::as_const(all))
        states.insert(handOff.spot.messageId, handOff.state);
    model->setHandOffStates(states);
}
