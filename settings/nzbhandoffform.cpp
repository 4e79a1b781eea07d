#include "nzbhandoffform.h"

#include "settingsform.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

Settings::NzbHandOff NzbHandOffForm::trimmed(Settings::NzbHandOff handOff)
{
    handOff.folder = handOff.folder.trimmed();
    handOff.nzbgetUrl = handOff.nzbgetUrl.trimmed();
    handOff.nzbgetUser = handOff.nzbgetUser.trimmed();
    handOff.sabnzbdUrl = handOff.sabnzbdUrl.trimmed();
    handOff.sabnzbdKey = handOff.sabnzbdKey.trimmed();
    return handOff;
}

std::optional<NzbHandOffForm::Problem> NzbHandOffForm::problem(const Settings::NzbHandOff &handOff)
{
    using Destination = Settings::NzbHandOff::Destination;
    switch (handOff.destination) {
    case Destination::Save:
        break;
    case Destination::Folder: {
        // A relative folder would depend on where the program happened to be started.
        const QFileInfo folder(handOff.folder);
        if (!QDir::isAbsolutePath(handOff.folder) || !folder.isDir() || !folder.isWritable())
            return Problem{tr("Map?"), tr("Kies een bestaande map waarin geschreven kan worden"), Field::Folder};
        break;
    }
    case Destination::NzbGet:
        if (!isHttpUrl(handOff.nzbgetUrl))
            return Problem{tr("NZBGet?"), tr("Vul het adres van NZBGet in, bijvoorbeeld http://127.0.0.1:6789"),
                           Field::NzbgetUrl};
        break;
    case Destination::Sabnzbd:
        if (!isHttpUrl(handOff.sabnzbdUrl))
            return Problem{tr("SABnzbd?"), tr("Vul het adres van SABnzbd in, bijvoorbeeld http://127.0.0.1:8080"),
                           Field::SabnzbdUrl};
        if (handOff.sabnzbdKey.isEmpty())
            return Problem{tr("API-sleutel?"), tr("Vul de API-sleutel van SABnzbd in"), Field::SabnzbdKey};
        break;
    }
    if (!Settings::isPrintableLatin1(handOff.nzbgetPassword))
        return Problem{tr("NZBGet-wachtwoord?"), SettingsForm::unsendablePasswordText(), Field::NzbgetPassword};
    return std::nullopt;
}

bool NzbHandOffForm::isHttpUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}
