#include "settings.h"

#include "bytetext.h"

#include <QSettings>

namespace Settings {

bool isConfigured()
{
    return QSettings().contains(Key::port);
}

Connection connection()
{
    const QSettings settings;
    Connection c;
    c.server = settings.value(Key::server).toString();
    c.user = ByteText::toText(settings.value(Key::user).toByteArray());
    c.password = decodePassword(settings.value(Key::pass).toByteArray());
    c.port = settings.value(Key::port).toInt();
    c.ssl = settings.value(Key::ssl).toBool();
    c.xzver = settings.value(Key::xzver).toBool();
    return c;
}

QByteArray encodePassword(const QString &password)
{
    return ByteText::toBytes(password).toBase64();
}

QString decodePassword(const QByteArray &stored)
{
    return ByteText::toText(QByteArray::fromBase64(stored));
}

int maxDays()
{
    return QSettings().value(Key::maxDays).toInt();
}

int maxSpots()
{
    return QSettings().value(Key::maxSpots).toInt();
}

bool showImages()
{
    return QSettings().value(Key::images).toBool();
}

bool showErotica()
{
    return QSettings().value(Key::ero).toBool();
}

qint64 lastHeader()
{
    return QSettings().value(Key::lastHeader).toLongLong();
}

// Download positions go to disk at once: they must never run ahead of, or far behind, the
// rows that were committed.
void setLastHeader(qint64 articleNumber)
{
    QSettings settings;
    settings.setValue(Key::lastHeader, articleNumber);
    settings.sync();
}

qint64 lastCommentsHeader()
{
    return QSettings().value(Key::lastCommentsHeader).toLongLong();
}

void setLastCommentsHeader(qint64 articleNumber)
{
    QSettings settings;
    settings.setValue(Key::lastCommentsHeader, articleNumber);
    settings.sync();
}

void resetDownloadPositions()
{
    QSettings settings;
    settings.setValue(Key::lastHeader, 0);
    settings.setValue(Key::lastCommentsHeader, 0);
    settings.sync();
}

QByteArray geometry()
{
    return QSettings().value(Key::geometry).toByteArray();
}

void setGeometry(const QByteArray &geometry)
{
    QSettings().setValue(Key::geometry, geometry);
}

} // namespace Settings
