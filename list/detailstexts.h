#pragma once

#include <QCoreApplication>
#include <QString>

// How the list and the status bar show what the details download brings, in Dutch number
// forms: a decimal comma, a dot between thousands.
class DetailsTexts
{
    Q_DECLARE_TR_FUNCTIONS(DetailsTexts)

public:
    // "1,4 GB": in units of 1024 (at most three digits), one decimal below 10 and none from
    // there on; empty for 0
    // or less (not known).
    static QString size(qint64 bytes);
    // "Spotdetails 12.000 van 200.000"; empty once done reaches total (nothing left to fetch).
    static QString progress(qint64 done, qint64 total);
};
