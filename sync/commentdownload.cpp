// The comment index of Tarnwick: References headers of free.usenet name the spot that each
// comment belongs to; the numbers are kept per spot.
#include "commentdownload.h"
#include "tarnwick.h"

#include "bytetext.h"
#include "settings.h"
#include "sqlfile.h"
#include "spotnntp.h"

#include <QDebug>

namespace {

constexpr qint64 endOfReply = -1;
constexpr qint64 progressEvery = 100;
const QByteArrayView spotDomain = "@free.pt";
// "<" + at least a two-character key + "@free.pt>"
constexpr qsizetype shortestReference = 12;
// A message-id is at most 250 bytes: anything longer names no spot, and would only make
// the comment map of a hostile reply larger.
constexpr qsizetype longestReference = 512;

} // namespace

std::optional<QString> spotKeyFromReference(QByteArrayView references)
{
    if (references.size() < shortestReference || references.size() > longestReference
        || !references.contains(spotDomain))
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
    if (!commentSyncBusy)
        return;
    // Once per number: lines that name no spot leave it where it is.
    if (comments.current % progressEvery == 0 && comments.reported != comments.current) {
        comments.reported = comments.current;
        progress(tr("Headeren van reacties %1 van %2").arg(comments.current).arg(comments.groupLast));
        if (!commentSyncBusy)
            return;
    }
    // Only the articles asked for: with at most one line for each (the client sees to that)
    // the map stays as small as the range, whatever the server sends.
    if (!comments.contains(nr))
        return;
    const std::optional<QString> key = spotKeyFromReference(references);
    if (!key)
        return;
    comments.current = nr;
    auto numbers = pendingCommentIndex.find(*key);
    if (numbers == pendingCommentIndex.end())
        numbers = pendingCommentIndex.insert(*key, store.commentIndex().commentNumbers(*key));
    // The stored format holds 32 bits; larger article numbers keep their low 32 bits.
    const quint32 number = quint32(nr);
    // The server's numbers ascend: one at or below the spot's last (in serial arithmetic, so
    // that the low 32 bits may wrap) was indexed before, in a range fetched again because
    // the program ended before it could save the position.
    if (!numbers->isEmpty() && qint32(number - numbers->last()) <= 0)
        return;
    numbers->append(number);
}

void Tarnwick::finishCommentRange()
{
    qDebug() << "S: [einde van XHDR data]";
    if (!commentSyncBusy) {
        // The range was abandoned meanwhile (the store was emptied): start over later.
        refreshTimer.start();
        return;
    }
    const bool written = pendingCommentIndex.isEmpty() || store.commentIndex().writeCommentIndex(pendingCommentIndex);
    pendingCommentIndex.clear();
    commentSyncBusy = false;
    if (!written) {
        // The position stays where it was: the next cycle indexes this range again.
        cycleFailed(tr("reactielijst kon niet in de database opgeslagen worden"));
        return;
    }
    // As for the spots: the position is saved once the range is in the file itself; the
    // numbers of a range indexed again are recognised as indexed before.
    if (comments.current != 0 && SqlFile::checkpoint(store.commentIndex().database()))
        Settings::setLastCommentsHeader(comments.current);

    if (!articleQueue.isEmpty()) {
        onLoggedIn();
        return;
    }
    if (comments.next()) {
        Q_EMIT notice(0, tr("Bezig met ophalen van reacties lijst"));
        if (!client)
            return; // a listener of the notice let it go
        commentSyncBusy = true;
        client->fetchReferences(comments.first, comments.batchEnd);
        return;
    }
    Q_EMIT notice(0, tr("Klaar met binnenhalen van lijst met reacties..."));
    refreshTimer.start();
}
