#pragma once

#include <QByteArray>
#include <QString>

// What the spot tables hold of one spot that its page, its NZB and the watch list need.
struct SpotRow
{
    QByteArray messageId; // as stored: without "@free.pt" for spots of the spot group
    int category = 0;
    int subcategory = 0;
    qint64 spotDate = 0;
    QString title; // as shown (SpotText::shown)
    QString spotter;
    bool erotic = false; // a row of erospots

    friend bool operator==(const SpotRow &a, const SpotRow &b)
    {
        return a.messageId == b.messageId && a.category == b.category && a.subcategory == b.subcategory
            && a.spotDate == b.spotDate && a.title == b.title && a.spotter == b.spotter && a.erotic == b.erotic;
    }
};
