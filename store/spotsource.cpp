#include "spotsource.h"

#include <QSqlQuery>
#include <QVariant>

std::optional<SpotRow> SpotSource::findSpot(int spotId) const
{
    QSqlQuery query(spotsDatabase());
    query.prepare(spotId < 0 ? QStringLiteral("SELECT msgid, cat FROM erospots WHERE id=?")
                             : QStringLiteral("SELECT msgid, cat FROM spots WHERE id=?"));
    query.addBindValue(spotId < 0 ? -qint64(spotId) : qint64(spotId));
    if (!query.exec() || !query.next())
        return std::nullopt;
    return SpotRow{query.value(0).toByteArray(), query.value(1).toInt()};
}
