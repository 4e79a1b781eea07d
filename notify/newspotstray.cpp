#include "newspotstray.h"

#include "settings.h"

#include <QSystemTrayIcon>
#include <QTextDocument>

namespace {

// Large enough for a clear badge; the tray scales it down.
constexpr int iconSize = 64;

} // namespace

NewSpotsTray::NewSpotsTray(const QIcon &programIcon, QObject *parent)
    : QObject(parent)
    , programImage(programIcon.pixmap(iconSize).toImage())
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray = new QSystemTrayIcon(this);
    connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT windowRequested();
    });
}

void NewSpotsTray::show(const QList<FilterNewSpots> &filters)
{
    if (!tray)
        return;
    const int total = NewSpotsSummary::total(filters);
    if (total == 0 || !Settings::notifications()) {
        tray->hide();
        return;
    }
    tray->setIcon(QIcon(QPixmap::fromImage(NewSpotsSummary::badged(programImage, total))));
    // Trays read tool tips as rich text: the user's filter names are escaped for it.
    tray->setToolTip(Qt::convertFromPlainText(NewSpotsSummary::toolTip(filters), Qt::WhiteSpaceNormal));
    tray->show();
}

bool NewSpotsTray::isShown() const
{
    return tray && tray->isVisible();
}
