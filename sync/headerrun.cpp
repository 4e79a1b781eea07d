#include "headerrun.h"

#include "settings.h"
#include "spotheader.h"
#include "spotnntp.h"
#include "spotsfile.h"
#include "sqlfile.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>
#include <utility>

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

HeaderRun::HeaderRun(SpotsFile &spots, const QPointer<SpotNNTP> &client, std::function<bool()> sendArticles,
                     QObject *parent)
    : QObject(parent)
    , spots(spots)
    , client(client)
    , sendArticles(std::move(sendArticles))
{
}

void HeaderRun::start(const ArticleRange &startRange, qint64 base)
{
    range = startRange;
    lastAsked = startRange;
    progressBase = base;
    phase = Phase::Storing;
    rangesAsked = 0;
    beginRange(tr("Bezig met binnenhalen van nieuwe headers"));
    if (!client)
        return; // a listener of the notice let it go
    client->fetchOverview(range.first, range.batchEnd);
    rangesAsked = 1;
    askAhead();
}

bool HeaderRun::isBusy() const
{
    return transaction.has_value();
}

void HeaderRun::abandon()
{
    if (phase == Phase::Idle)
        return;
    phase = Phase::Abandoned;
    if (isBusy())
        endTransaction(false);
}

void HeaderRun::askAhead()
{
    while (phase == Phase::Storing && client && rangesAsked <= rangesAhead && lastAsked.next()) {
        client->fetchOverview(lastAsked.first, lastAsked.batchEnd);
        ++rangesAsked;
    }
}

void HeaderRun::fail()
{
    phase = Phase::Failing;
    if (isBusy())
        endTransaction(false);
}

void HeaderRun::onHeaderLine(const QByteArray &line)
{
    if (line == endOfData)
        finishRange();
    else
        storeHeader(line);
}

void HeaderRun::storeHeader(const QByteArray &line)
{
    if (!isBusy())
        return; // the range was abandoned: the rest of its reply is not stored
    const SpotHeader header = SpotHeader::parse(line);
    if (header.outcome == SpotHeader::Outcome::Malformed) {
        qDebug() << "Foutief XOVER formaat";
        return;
    }
    // Only the articles asked for: a line elsewhere would move the download position there.
    if (!range.contains(header.articleNumber))
        return;
    range.current = header.articleNumber;
    if (range.current % progressEvery == 0) {
        const int percent = percentDone(range.current, progressBase, range.groupLast);
        Q_EMIT progress(percent,
                        tr("Headeren %1 van %2 (%3% voltooid)").arg(range.current).arg(range.groupLast).arg(percent));
        // The user may have reconnected meanwhile, which rolled this range back.
        if (!isBusy())
            return;
    }
    // A spot that the end of the range would expire is not stored at all, nor counted as new.
    if (header.outcome != SpotHeader::Outcome::Spot || header.spotDate < expiryLimit)
        return;

    const SpotRecord record = header.record();
    switch (spots.checkDuplicate(header.table(), record.spotDate, record.title)) {
    case DuplicateCheck::Duplicate:
        return;
    case DuplicateCheck::Failed:
        qDebug() << (header.isErotic() ? "Fout bij e ontdubbelen" : "Fout bij ontdubbelen");
        break;
    case DuplicateCheck::Unique:
        break;
    }
    switch (spots.insertSpot(header.table(), record)) {
    case InsertResult::Inserted:
        ++(header.isErotic() ? rangeEroticSpotsAdded : rangeSpotsAdded);
        break;
    case InsertResult::Unavailable:
    case InsertResult::Failed:
        // A table that cannot take spots, or a disk that is full or failing: going on would
        // commit a range with holes in it, and save a position past spots never stored.
        qDebug() << "Fout bij toevoegen aan database";
        fail();
        break;
    }
}

void HeaderRun::beginRange(const QString &noticeText)
{
    Q_EMIT notice(noticeText);
    if (!client)
        return; // a listener of the notice let it go
    const int maxDays = Settings::maxDays();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    expiryLimit = maxDays != 0 && now > maxDays * secondsPerDay ? now - maxDays * secondsPerDay : 0;
    transaction.emplace(spots.database());
}

bool HeaderRun::commitRange()
{
    if (expiryLimit != 0)
        spots.expireSpotsBefore(expiryLimit);
    return endTransaction(true);
}

bool HeaderRun::endTransaction(bool commit)
{
    const bool committed = commit && transaction->commit();
    const bool rowsAdded = rangeSpotsAdded + rangeEroticSpotsAdded > 0;
    const int storedSpots = std::exchange(rangeSpotsAdded, 0);
    const int storedEroticSpots = std::exchange(rangeEroticSpotsAdded, 0);
    if (committed)
        Q_EMIT rangeStored(storedSpots, storedEroticSpots);
    transaction.reset();
    // Whatever follows, only another range goes on showing progress.
    Q_EMIT stopped();
    // The list may have read rows of the range while it was open; they are gone now.
    if (!committed && rowsAdded)
        Q_EMIT rowsChanged();
    return committed;
}

void HeaderRun::finishRange()
{
    qDebug() << "S: [einde van XOVER data]";
    if (phase == Phase::Idle || phase == Phase::Abandoned)
        return; // dropped
    --rangesAsked;
    if ((phase == Phase::Storing || phase == Phase::Holding) && !storeRange())
        phase = Phase::Failing;
    if (phase == Phase::Failing && rangesAsked == 0) {
        phase = Phase::Idle;
        Q_EMIT failed(tr("headers konden niet in de database opgeslagen worden"));
    }
}

bool HeaderRun::storeRange()
{
    // Not stored when a write failed half-way (the range was rolled back then) or the commit
    // fails: the position stays, and the next cycle fetches this range again.
    if (!isBusy() || !commitRange())
        return false;

    // A range without any line moves nothing: the group may have holes, or expired its oldest articles.
    if (range.current != 0) {
        range.anyLine = true;
        // The saved position promises that the range is stored: only once it is in the file
        // itself. Otherwise a later range's position covers this one, or the next cycle
        // fetches it again (its spots are then found as duplicates).
        if (SqlFile::checkpoint(spots.database()))
            Settings::setLastHeader(range.current);
        Q_EMIT rowsChanged();
    }
    if (!client || phase == Phase::Abandoned)
        return true; // a listener of rowsChanged() let the client go, or broke the connection
    // The articles go behind the ranges already asked for; the others wait for a pause.
    if (sendArticles() && phase == Phase::Storing)
        phase = Phase::Holding;
    if (rangesAsked > 0) {
        range.next();
        beginRange(tr("Bezig met ophalen van nog meer headers"));
        askAhead();
        return true;
    }
    // Paused only with ranges left: at the end of the group the run ends as usual.
    const bool holding = phase == Phase::Holding && range.hasNext();
    phase = Phase::Idle;
    if (holding)
        Q_EMIT paused();
    else if (!range.anyLine && Settings::lastHeader() == 0)
        // Not one usable overview line in all of a group that has articles: the provider
        // offers no overview data. The position alone does not tell: it stays at 0 while a
        // reader of the file keeps the stored ranges in the log.
        Q_EMIT overviewUnsupported();
    else
        Q_EMIT finished();
    return true;
}