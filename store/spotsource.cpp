#include "spotsource.h"

#include "spottext.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

QString shown(const QVariant &value)
{
    return SpotText::shown(value.toByteArray(), value.typeId() == QMetaType::QString);
}

} // namespace

std::optional<SpotRow> SpotSource::findSpot(int spotId) const
{
    QSqlQuery query(spotsDatabase());
    query.prepare(spotId < 0 ? QStringLiteral("SELECT msgid,cat,subcat,spotdate,title,spotter FROM erospots WHERE id=?")
                             : QStringLiteral("SELECT msgid,cat,subcat,spotdate,title,spotter FROM spots WHERE id=?"));
    query.addBindValue(spotId < 0 ? -qint64(spotId) : qint64(spotId));
    if (!query.exec() || !query.next())
        return std::nullopt;
    return SpotRow{query.value(0).toByteArray(),
                   query.value(1).toInt(),
                   query.value(2).toInt(),
                   query.value(3).toLongLong(),
                   shown(query.value(4)),
                   shown(query.value(5)),
                   spotId < 0};
}
