#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A spot on the user's watch list ("Bewaard"). It carries what the list shows, so that it
// stays listed after its spot expired or all spots were deleted.
struct MarkedSpot
{
    QByteArray messageId; // as spots.msgid holds it; the key
    int category = 0;
    int subcategory = 0;
    qint64 spotDate = 0;
    QString title;
    QString spotter;
    bool erotic = false;
    qint64 markedAt = 0; // seconds since the epoch

    friend bool operator==(const MarkedSpot &a, const MarkedSpot &b)
    {
        return a.messageId == b.messageId && a.category == b.category && a.subcategory == b.subcategory
            && a.spotDate == b.spotDate && a.title == b.title && a.spotter == b.spotter && a.erotic == b.erotic
            && a.markedAt == b.markedAt;
    }
};
