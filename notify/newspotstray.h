#pragma once

#include "newspotssummary.h"

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;

// The count of new spots in the filters marked "Melden", as an icon in the desktop's system
// tray: the program's icon with the total painted on it, and a tool tip that names the filters.
//
// Where the desktop has no tray (QSystemTrayIcon::isSystemTrayAvailable()), this object does
// nothing and never creates a tray icon. The icon is shown only while the total is above 0 and
// the setting "notifications" is on.
class NewSpotsTray : public QObject
{
    Q_OBJECT

public:
    explicit NewSpotsTray(const QIcon &programIcon, QObject *parent = nullptr);

    // The counts to show now: the caller keeps them (new since the user last looked, say) and
    // passes the whole list at every change; an empty list hides the icon.
    void show(const QList<FilterNewSpots> &filters);

    // Whether the icon is in the tray now.
    bool isShown() const;

Q_SIGNALS:
    // The user clicked or double-clicked the icon: the window should come to the front. Once per
    // click.
    void windowRequested();

private:
    QImage programImage;
    QSystemTrayIcon *tray = nullptr; // only where the desktop has a tray
};
