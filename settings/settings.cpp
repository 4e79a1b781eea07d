#include "settings.h"

#include "bytetext.h"
#include "secretstore.h"

#include <QSettings>

#include <algorithm>
#include <utility>

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
    c.password = SecretStore::instance().read(Secret::NewsServerPassword);
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

bool isPrintableLatin1(const QString &password)
{
    return std::all_of(password.begin(), password.end(),
                       [](QChar c) { return (c >= u' ' && c <= u'~') || (c >= QChar(0xa0) && c <= QChar(0xff)); });
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

bool notifications()
{
    return QSettings().value(Key::notifications, true).toBool();
}

bool detailsFetch()
{
    return QSettings().value(Key::detailsFetch, true).toBool();
}

int detailsConnections()
{
    const int connections = QSettings().value(Key::detailsConnections, 1).toInt();
    return connections >= 1 && connections <= detailsConnectionsMax ? connections : 1;
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

namespace {

using Destination = NzbHandOff::Destination;

// Stored as words, so that a settings file stays readable and a new destination never
// changes the meaning of an old value.
const std::pair<Destination, QLatin1StringView> destinationNames[] = {
    {Destination::Save, QLatin1StringView("opslaan")},
    {Destination::Folder, QLatin1StringView("map")},
    {Destination::NzbGet, QLatin1StringView("nzbget")},
    {Destination::Sabnzbd, QLatin1StringView("sabnzbd")},
};

} // namespace

NzbHandOff nzbHandOff()
{
    const QSettings settings;
    NzbHandOff handOff;
    const QString destination = settings.value(Key::nzbDestination).toString();
    for (const auto &[value, name] : destinationNames) {
        if (destination == name)
            handOff.destination = value;
    }
    handOff.folder = settings.value(Key::nzbFolder).toString();
    handOff.nzbgetUrl = settings.value(Key::nzbgetUrl).toString();
    handOff.nzbgetUser = settings.value(Key::nzbgetUser).toString();
    handOff.nzbgetPassword = SecretStore::instance().read(Secret::NzbgetPassword);
    handOff.nzbgetCategory = settings.value(Key::nzbgetCategory).toBool();
    handOff.sabnzbdUrl = settings.value(Key::sabnzbdUrl).toString();
    handOff.sabnzbdKey = SecretStore::instance().read(Secret::SabnzbdKey);
    return handOff;
}

void setNzbHandOff(const NzbHandOff &handOff)
{
    {
        QSettings settings;
        for (const auto &[value, name] : destinationNames) {
            if (handOff.destination == value)
                settings.setValue(Key::nzbDestination, QString(name));
        }
        settings.setValue(Key::nzbFolder, handOff.folder);
        settings.setValue(Key::nzbgetUrl, handOff.nzbgetUrl);
        settings.setValue(Key::nzbgetUser, handOff.nzbgetUser);
        settings.setValue(Key::nzbgetCategory, handOff.nzbgetCategory);
        settings.setValue(Key::sabnzbdUrl, handOff.sabnzbdUrl);
    }
    SecretStore::instance().write(Secret::NzbgetPassword, handOff.nzbgetPassword);
    SecretStore::instance().write(Secret::SabnzbdKey, handOff.sabnzbdKey);
}

QString nzbSaveFolder()
{
    return QSettings().value(Key::nzbSaveFolder).toString();
}

void setNzbSaveFolder(const QString &folder)
{
    QSettings().setValue(Key::nzbSaveFolder, folder);
}

} // namespace Settings
