#include "detailstexts.h"

#include <QLocale>

namespace {

QLocale dutch()
{
    return QLocale(QLocale::Dutch, QLocale::Netherlands);
}

} // namespace

QString DetailsTexts::size(qint64 bytes)
{
    if (bytes <= 0)
        return {};
    static const char *const units[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    double value = double(bytes);
    int unit = 0;
    // Four digits would need a thousands dot: from 999.5 on the next unit ("1,0 GB").
    while (value >= 999.5 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    // 9.96 would show as "10,0": from there on without a decimal.
    const bool decimal = unit > 0 && value < 9.95;
    return dutch().toString(value, 'f', decimal ? 1 : 0) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString DetailsTexts::progress(qint64 done, qint64 total)
{
    if (done >= total)
        return {};
    return tr("Spotdetails %1 van %2").arg(dutch().toString(done), dutch().toString(total));
}
