#include "handoffmark.h"

#include <QPainter>
#include <QPixmap>

namespace {

QIcon drawn(const QColor &colour)
{
    QPixmap mark(16, 16);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    painter.drawLine(QPointF(8, 2), QPointF(8, 10)); // the arrow's shaft
    painter.drawPolyline(QPolygonF{QPointF(4.5, 7), QPointF(8, 10.5), QPointF(11.5, 7)});
    painter.drawPolyline(QPolygonF{QPointF(2, 10), QPointF(2, 14), QPointF(14, 14), QPointF(14, 10)});
    return QIcon(mark);
}

} // namespace

namespace HandOffMark {

QIcon icon(const DownloadState &state)
{
    using Phase = DownloadState::Phase;
    static const QIcon busy = drawn(QColor(30, 90, 200));
    static const QIcon done = drawn(QColor(20, 140, 40));
    static const QIcon failed = drawn(QColor(200, 30, 30));
    static const QIcon gone = drawn(QColor(130, 130, 130));
    if (state.isOpen())
        return busy;
    switch (state.phase) {
    case Phase::Done:
    case Phase::Saved:
        return done;
    case Phase::Failed:
        return failed;
    default:
        return gone;
    }
}

} // namespace HandOffMark
