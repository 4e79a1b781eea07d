#include "commentrun.h"

#include "commentdownload.h"
#include "commentindexfile.h"
#include "settings.h"
#include "spotnntp.h"
#include "sqlfile.h"

#include <QDebug>

#include <utility>

namespace {

constexpr qint64 endOfReply = -1;
constexpr qint64 progressEvery = 100;

} // namespace

CommentRun::CommentRun(CommentIndexFile &index, const QPointer<SpotNNTP> &client, std::function<bool()> sendArticles,
                       QObject *parent)
    : QObject(parent)
    , index(index)
    , client(client)
    , sendArticles(std::move(sendArticles))
{
}

void CommentRun::start(const ArticleRange &startRange)
{
    range = startRange;
    lastAsked = startRange;
    phase = Phase::Storing;
    pendingNumbers.clear();
    Q_EMIT notice(tr("Bezig met binnenhalen van nieuwe reactielijst"));
    if (!client)
        return; // a listener of the notice let it go
    client->fetchReferences(range.first, range.batchEnd);
    rangesAsked = 1;
    askAhead();
}

bool CommentRun::isBusy() const
{
    return phase == Phase::Storing || phase == Phase::Holding;
}

void CommentRun::abandon()
{
    pendingNumbers.clear();
    if (phase != Phase::Idle)
        phase = Phase::Abandoned;
}

void CommentRun::askAhead()
{
    while (phase == Phase::Storing && client && rangesAsked <= rangesAhead && lastAsked.next()) {
        client->fetchReferences(lastAsked.first, lastAsked.batchEnd);
        ++rangesAsked;
    }
}

void CommentRun::onXroverLine(qint64 nr, const QByteArray &references)
{
    if (nr == endOfReply)
        finishRange();
    else
        storeReference(nr, references);
}

void CommentRun::storeReference(qint64 nr, const QByteArray &references)
{
    if (!isBusy())
        return;
    // Once per number: lines that name no spot leave it where it is.
    if (range.current % progressEvery == 0 && range.reported != range.current) {
        range.reported = range.current;
        Q_EMIT progress(tr("Headeren van reacties %1 van %2").arg(range.current).arg(range.groupLast));
        if (!isBusy())
            return;
    }
    // Only the articles asked for: with at most one line for each (the client sees to that)
    // the map stays as small as the range, whatever the server sends.
    if (!range.contains(nr))
        return;
    const std::optional<QString> key = spotKeyFromReference(references);
    if (!key)
        return;
    range.current = nr;
    auto numbers = pendingNumbers.find(*key);
    if (numbers == pendingNumbers.end())
        numbers = pendingNumbers.insert(*key, index.commentNumbers(*key));
    // The stored format holds 32 bits; larger article numbers keep their low 32 bits.
    const quint32 number = quint32(nr);
    // The server's numbers ascend: one at or below the spot's last (in serial arithmetic, so
    // that the low 32 bits may wrap) was indexed before, in a range fetched again because
    // the program ended before it could save the position.
    if (!numbers->isEmpty() && qint32(number - numbers->last()) <= 0)
        return;
    numbers->append(number);
}

void CommentRun::finishRange()
{
    qDebug() << "S: [einde van XHDR data]";
    if (phase == Phase::Idle)
        return;
    --rangesAsked;
    if (isBusy() && !storeRange())
        phase = Phase::Failing;
    if (rangesAsked > 0)
        return;
    if (phase == Phase::Failing) {
        phase = Phase::Idle;
        Q_EMIT failed(tr("reactielijst kon niet in de database opgeslagen worden"));
    } else if (phase == Phase::Abandoned) {
        // The store was emptied meanwhile: start over later.
        phase = Phase::Idle;
        Q_EMIT finished();
    }
}

bool CommentRun::storeRange()
{
    const bool written = pendingNumbers.isEmpty() || index.writeCommentIndex(pendingNumbers);
    pendingNumbers.clear();
    // The position stays where it was: the next cycle indexes this range again.
    if (!written)
        return false;
    // As for the spots: the position is saved once the range is in the file itself; the
    // numbers of a range indexed again are recognised as indexed before.
    if (range.current != 0 && SqlFile::checkpoint(index.database()))
        Settings::setLastCommentsHeader(range.current);

    // The articles go behind the ranges already asked for; the others wait for a pause.
    if (client && sendArticles() && phase == Phase::Storing)
        phase = Phase::Holding;
    askAhead();
    if (rangesAsked > 0) {
        range.next();
        Q_EMIT notice(tr("Bezig met ophalen van reacties lijst"));
        return true;
    }
    // Paused only with ranges left: at the end of the group the run ends as usual.
    const bool holding = phase == Phase::Holding && range.hasNext();
    phase = Phase::Idle;
    if (holding) {
        Q_EMIT paused();
        return true;
    }
    Q_EMIT notice(tr("Klaar met binnenhalen van lijst met reacties..."));
    Q_EMIT finished();
    return true;
}
