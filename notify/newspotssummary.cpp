#include "newspotssummary.h"

#include <QPainter>

int NewSpotsSummary::total(const QList<FilterNewSpots> &filters)
{
    int sum = 0;
    for (const FilterNewSpots &filter : filters)
        sum += qMax(filter.count, 0);
    return sum;
}

QString NewSpotsSummary::summary()
{
    return tr("Nieuwe spots");
}

// Only what markup needs: a quote stays a quote on servers that show the body as plain text.
QString NewSpotsSummary::escapeMarkup(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return escaped;
}

QString NewSpotsSummary::notificationBody(const QList<FilterNewSpots> &filters)
{
    QStringList parts;
    for (const FilterNewSpots &filter : filters) {
        if (filter.count > 0)
            parts.append(QStringLiteral("%1 (%2)").arg(escapeMarkup(filter.name)).arg(filter.count));
    }
    return parts.join(QLatin1String(", "));
}

QString NewSpotsSummary::toolTip(const QList<FilterNewSpots> &filters)
{
    const int sum = total(filters);
    QStringList lines{sum == 1 ? tr("1 nieuwe spot in gemelde filters")
                               : tr("%1 nieuwe spots in gemelde filters").arg(sum)};
    for (const FilterNewSpots &filter : filters) {
        if (filter.count > 0)
            lines.append(QStringLiteral("%1 (%2)").arg(filter.name).arg(filter.count));
    }
    return lines.join(QLatin1Char('\n'));
}

QImage NewSpotsSummary::badged(const QImage &icon, int total)
{
    if (total <= 0 || icon.isNull())
        return icon;
    QImage image = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QString number = total > 99 ? QStringLiteral("99+") : QString::number(total);
    // The badge covers the lower right: large enough to read at tray sizes.
    const QRectF badge(image.width() * 0.4, image.height() * 0.4, image.width() * 0.6, image.height() * 0.6);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc6, 0x28, 0x28));
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qMax(1, int(badge.height() * (number.size() > 2 ? 0.38 : 0.55))));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, number);
    return image;
}
