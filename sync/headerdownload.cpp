// The header download of Tarnwick: overview lines of free.pt become spot rows.
#include "tarnwick.h"

#include "settings.h"
#include "sqlfile.h"
#include "spotheader.h"
#include "spotnntp.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace {
const QByteArray endOfData = ".\r\n";
constexpr qint64 secondsPerDay = 86400;
constexpr qint64 progressEvery = 100;

// How far current lies from start towards last, 0 to 100. In floating point: article numbers
// of a hostile server may lie anywhere up to 2^63 - 1.
int percentDone(qint64 current, qint64 start, qint64 last)
{
    const double span = double(last) - double(start);
    if (span <= 0)
        return 0;
    return int(std::clamp((double(current) - double(start)) * 100 / span, 0.0, 100.0));
}

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
    if (!headerSyncBusy)
        return; // the range was abandoned: the rest of its reply is not stored
    const SpotHeader header = SpotHeader::parse(line);
    if (header.outcome == SpotHeader::Outcome::Malformed) {
        qDebug() << "Foutief XOVER formaat";
        return;
    }
    // Only the articles asked for: a line elsewhere would move the download position there.
    if (!headers.contains(header.articleNumber))
        return;
    headers.current = header.articleNumber;
    if (headers.current % progressEvery == 0) {
        const int percent = percentDone(headers.current, runStart, headers.groupLast);
        Q_EMIT headerProgress(percent);
        progress(tr("Headeren %1 van %2 (%3% voltooid)").arg(headers.current).arg(headers.groupLast).arg(percent));
        // The user may have reconnected meanwhile, which rolled this range back.
        if (!headerSyncBusy)
            return;
    }
    // A spot that the end of the range would expire is not stored at all, nor counted as new.
    if (header.outcome != SpotHeader::Outcome::Spot || header.spotDate < expiryLimit)
        return;

    const SpotRecord record = header.record();
    switch (store.spots().checkDuplicate(header.table(), record.spotDate, record.title)) {
    case DuplicateCheck::Duplicate:
        return;
    case DuplicateCheck::Failed:
        qDebug() << (header.isErotic() ? "Fout bij e ontdubbelen" : "Fout bij ontdubbelen");
        break;
    case DuplicateCheck::Unique:
        break;
    }
    switch (store.spots().insertSpot(header.table(), record)) {
    case InsertResult::Inserted:
        ++(header.isErotic() ? rangeEroticSpotsAdded : rangeSpotsAdded);
        break;
    case InsertResult::Unavailable:
    case InsertResult::Failed:
        // A table that cannot take spots, or a disk that is full or failing: going on would
        // commit a range with holes in it, and save a position past spots never stored.
        qDebug() << "Fout bij toevoegen aan database";
        endHeaderTransaction(false);
        break;
    }
}

void Tarnwick::beginHeaderRange(const QString &noticeText)
{
    Q_EMIT notice(0, noticeText);
    if (!client)
        return; // a listener of the notice let it go
    const int maxDays = Settings::maxDays();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    expiryLimit = maxDays != 0 && now > maxDays * secondsPerDay ? now - maxDays * secondsPerDay : 0;
    headerSyncBusy = true;
    headerTransaction.emplace(store.spotsDatabase());
    client->fetchOverview(headers.first, headers.batchEnd);
}

bool Tarnwick::commitHeaderRange()
{
    if (expiryLimit != 0)
        store.spots().expireSpotsBefore(expiryLimit);
    return endHeaderTransaction(true);
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
    // Not stored when a write failed half-way (the range was rolled back then) or the commit
    // fails: the position stays, and the next cycle fetches this range again.
    if (!headerSyncBusy || !commitHeaderRange()) {
        cycleFailed(tr("headers konden niet in de database opgeslagen worden"));
        return;
    }

    // A range without any line moves nothing: the group may have holes, or expired its oldest articles.
    if (headers.current != 0) {
        headers.anyLine = true;
        // The saved position promises that the range is stored: only once it is in the file
        // itself. Otherwise a later range's position covers this one, or the next cycle
        // fetches it again (its spots are then found as duplicates).
        if (SqlFile::checkpoint(store.spotsDatabase()))
            Settings::setLastHeader(headers.current);
        Q_EMIT newSpots();
    }
    if (!client)
        return; // a listener of newSpots() let it go
    if (!articleQueue.isEmpty()) {
        onLoggedIn();
        return;
    }
    if (headers.next()) {
        beginHeaderRange(tr("Bezig met ophalen van nog meer headers"));
        return;
    }
    if (!headers.anyLine && Settings::lastHeader() == 0) {
        // Not one usable overview line in all of a group that has articles: the provider
        // offers no overview data. The position alone does not tell: it stays at 0 while a
        // reader of the file keeps the stored ranges in the log.
        forgetClient()->quit();
        Q_EMIT error(0, tr("Je Usenet provider ondersteund het downloaden van headers niet!"));
        return;
    }
    Q_EMIT notice(0,
                  tr("Klaar met headeren... %1 nieuwe spots, %2 totaal.")
                      .arg(spotsAdded + eroticSpotsAdded)
                      .arg(store.spots().spotCount()));
    Q_EMIT spotsUpToDate();
    if (client)
        client->selectGroup(commentGroup);
}
