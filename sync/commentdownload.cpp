// The comment index of Tarnwick: References headers of free.usenet name the spot that each
// comment belongs to; the numbers are kept per spot.
#include "commentdownload.h"
#include "tarnwick.h"

#include "bytetext.h"
#include "settings.h"
#include "spotnntp.h"

#include <QDebug>

namespace {

constexpr qint64 endOfReply = -1;
constexpr qint64 progressEvery = 100;
const QByteArrayView spotDomain = "@free.pt";
// "<" + at least a two-character key + "@free.pt>"
constexpr qsizetype shortestReference = 12;

} // namespace

std::optional<QString> spotKeyFromReference(QByteArrayView references)
{
    if (references.size() < shortestReference || !references.contains(spotDomain))
        return std::nullopt;
    // "<key@free.pt>": the key lies between the bracket and the domain.
    return ByteText::toText(references.sliced(1, references.size() - 10).toByteArray());
}

void Tarnwick::onXroverLine(qint64 nr, const QByteArray &references)
{
    if (nr == endOfReply)
        finishCommentRange();
    else
        storeReference(nr, references);
}

void Tarnwick::storeReference(qint64 nr, const QByteArray &references)
{
    if (comments.current % progressEvery == 0) {
        progress(tr("Headeren van reacties %1 van %2").arg(comments.current).arg(comments.groupLast));
        if (!commentSyncBusy)
            return;
    }
    const std::optional<QString> key = spotKeyFromReference(references);
    if (!key)
        return;
    comments.current = nr;
    auto numbers = commentMap.find(*key);
    if (numbers == commentMap.end())
        numbers = commentMap.insert(*key, store.commentNumbers(*key));
    // The stored format holds 32 bits; larger article numbers keep their low 32 bits.
    numbers->append(quint32(nr));
}

void Tarnwick::finishCommentRange()
{
    qDebug() << "S: [einde van XHDR data]";
    if (!commentSyncBusy) {
        // The range was abandoned meanwhile (the store was emptied): start over later.
        refreshTimer.start();
        return;
    }
    const bool written = commentMap.isEmpty() || store.writeCommentIndex(commentMap);
    commentMap.clear();
    commentSyncBusy = false;
    if (!written) {
        // The position stays where it was: the next cycle indexes this range again.
        Q_EMIT notice(0, tr("Fout: %1").arg(tr("reactielijst kon niet in de database opgeslagen worden")));
        refreshTimer.start();
        return;
    }
    if (comments.current != 0)
        Settings::setLastCommentsHeader(comments.current);

    if (!articleQueue.isEmpty()) {
        onLoggedIn();
        return;
    }
    qint64 first = 0;
    if (comments.next(first)) {
        commentSyncBusy = true;
        Q_EMIT notice(0, tr("Bezig met ophalen van reacties lijst"));
        client->fetchReferences(first, comments.batchEnd);
        return;
    }
    Q_EMIT notice(0, tr("Klaar met binnenhalen van lijst met reacties..."));
    refreshTimer.start();
}
