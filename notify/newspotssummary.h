#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QString>

// What one download cycle brought into one saved filter that the user marked "Melden". The
// notifier and the tray are fed lists of these, in the order the filters are listed.
struct FilterNewSpots
{
    qint64 filterId = 0;
    QString name; // as the user named the filter: any text
    int count = 0; // new spots; an entry with none is left out of every text
};

// The texts and the badge shown for such a list. Pure, so that they can be checked without a
// desktop or a window.
class NewSpotsSummary
{
    Q_DECLARE_TR_FUNCTIONS(NewSpotsSummary)

public:
    static int total(const QList<FilterNewSpots> &filters);

    // "Nieuwe spots".
    static QString summary();

    // "HD films (12), Linux (3)": every filter with new spots, its name with &, < and >
    // escaped, since notification servers may read a subset of HTML in the body.
    static QString notificationBody(const QList<FilterNewSpots> &filters);

    // &, < and > escaped, since notification servers may read a subset of HTML in a body.
    static QString escapeMarkup(const QString &text);

    // Plain text: the total on the first line, then each filter with its count.
    static QString toolTip(const QList<FilterNewSpots> &filters);

    // The program's icon with the total painted in a badge at its lower right ("99+" above 99);
    // a total of 0 leaves the icon as it is.
    static QImage badged(const QImage &icon, int total);
};
