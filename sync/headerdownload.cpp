// The header download of Tarnwick: overview lines of free.pt become spot rows.
#include "tarnwick.h"

#include "settings.h"
#include "spotheader.h"
#include "spotnntp.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace {
const QByteArray endOfData = ".\r\n";
constexpr qint64 secondsPerDay = 86400;
constexpr qint64 progressEvery = 100;
} // namespace

void Tarnwick::onHeaderLine(const QByteArray &line)
{
    if (line == endOfData)
        finishHeaderRange();
    else
        storeHeader(line);
}

void Tarnwick::storeHeader(const QByteArray &line)
{
    const SpotHeader header = SpotHeader::parse(line);
    if (header.outcome == SpotHeader::Outcome::Malformed) {
        qDebug() << "Foutief XOVER formaat";
        return;
    }
    headers.current = header.articleNumber;
    if (headers.current % progressEvery == 0) {
        const qint64 span = headers.groupLast - runStart;
        const qint64 percent = (headers.current - runStart) * 100 / (span == 0 ? 1 : span);
        Q_EMIT headerProgress(int(std::clamp<qint64>(percent, 0, 100)));
        progress(tr("Headeren %1 van %2 (%3% voltooid)").arg(headers.current).arg(headers.groupLast).arg(percent));
        // The user may have reconnected meanwhile, which rolled this range back.
        if (!headerSyncBusy)
            return;
    }
    // A spot that the end of the range would expire is not stored at all, nor counted as new.
    if (header.outcome != SpotHeader::Outcome::Spot || header.spotDate < expiryLimit)
        return;

    const SpotRecord record = header.record();
    switch (store.checkDuplicate(header.table(), record.spotDate, record.title)) {
    case DuplicateCheck::Duplicate:
        return;
    case DuplicateCheck::Failed:
        qDebug() << (header.isErotic() ? "Fout bij e ontdubbelen" : "Fout bij ontdubbelen");
        break;
    case DuplicateCheck::Unique:
        break;
    }
    if (!store.insertSpot(header.table(), record)) {
        qDebug() << "Fout bij toevoegen aan database";
        return;
    }
    ++(header.isErotic() ? rangeEroticSpotsAdded : rangeSpotsAdded);
}

void Tarnwick::beginHeaderRange(qint64 first, const QString &noticeText)
{
    const int maxDays = Settings::maxDays();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    expiryLimit = maxDays != 0 && now > maxDays * secondsPerDay ? now - maxDays * secondsPerDay : 0;
    headerSyncBusy = true;
    headerTransaction.emplace(store.spotsDatabase());
    Q_EMIT notice(0, noticeText);
    client->fetchOverview(first, headers.batchEnd);
}

bool Tarnwick::endHeaderTransaction(bool commit)
{
    const bool committed = commit && headerTransaction->commit();
    const bool rowsChanged = rangeSpotsAdded + rangeEroticSpotsAdded > 0;
    if (committed) {
        spotsAdded += rangeSpotsAdded;
        eroticSpotsAdded += rangeEroticSpotsAdded;
    }
    headerTransaction.reset();
    rangeSpotsAdded = 0;
    rangeEroticSpotsAdded = 0;
    headerSyncBusy = false;
    // Whatever follows, only another range goes on showing progress.
    Q_EMIT headerDownloadStopped();
    // The list may have read rows of the range while it was open; they are gone now.
    if (!committed && rowsChanged)
        Q_EMIT newSpots();
    return committed;
}

void Tarnwick::finishHeaderRange()
{
    qDebug() << "S: [einde van XOVER data]";
    if (!headerSyncBusy)
        return; // the range was abandoned meanwhile
    if (expiryLimit != 0)
        store.expireSpotsBefore(expiryLimit);
    if (!endHeaderTransaction(true)) {
        // The position stays where it was: the next cycle fetches this range again.
        Q_EMIT notice(0, tr("Fout: %1").arg(tr("headers konden niet in de database opgeslagen worden")));
        refreshTimer.start();
        return;
    }

    if (headers.current == 0) {
        if (Settings::lastHeader() == 0) {
            // Not one usable overview line ever: the provider offers no overview data.
            forgetClient()->quit();
            Q_EMIT error(0, tr("Je Usenet provider ondersteund het downloaden van headers niet!"));
            return;
        }
    } else {
        Settings::setLastHeader(headers.current);
        Q_EMIT newSpots();
    }

    if (!articleQueue.isEmpty()) {
        onLoggedIn();
        return;
    }
    qint64 first = 0;
    if (headers.next(first)) {
        beginHeaderRange(first, tr("Bezig met ophalen van nog meer headers"));
        return;
    }
    Q_EMIT notice(0, tr("Klaar met headeren... %1 nieuwe spots, %2 totaal.")
                         .arg(spotsAdded + eroticSpotsAdded)
                         .arg(store.spotCount()));
    client->selectGroup(commentGroup);
}
