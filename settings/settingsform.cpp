#include "settingsform.h"

#include "bytetext.h"
#include "secretstore.h"
#include "settings.h"

#include <QSettings>

std::optional<SettingsForm> SettingsForm::fromSettings()
{
    if (!Settings::isConfigured())
        return std::nullopt;
    const QSettings settings;
    SettingsForm form;
    form.server = settings.value(Settings::Key::server).toString();
    form.user = ByteText::toText(settings.value(Settings::Key::user).toByteArray());
    form.nick = ByteText::toText(settings.value(Settings::Key::nick).toByteArray());
    form.password = SecretStore::instance().read(Settings::Secret::NewsServerPassword);
    form.port = settings.value(Settings::Key::port).toString();
    form.maxDays = settings.value(Settings::Key::maxDays).toString();
    form.maxSpots = settings.value(Settings::Key::maxSpots).toString();
    form.images = settings.value(Settings::Key::images).toBool();
    form.ssl = settings.value(Settings::Key::ssl).toBool();
    form.xzver = settings.value(Settings::Key::xzver).toBool();
    form.ero = settings.value(Settings::Key::ero).toBool();
    form.notifications = Settings::notifications();
    form.detailsFetch = Settings::detailsFetch();
    form.detailsConnections = Settings::detailsConnections();
    return form;
}

std::optional<SettingsForm::Problem> SettingsForm::problem() const
{
    if (server.trimmed().isEmpty())
        return Problem{tr("Server?"), tr("Voer de server van uw Usenet provider in"), Field::Server};
    if (!password.isEmpty() && user.trimmed().isEmpty())
        return Problem{tr("Gebruikersnaam?"), tr("Voer een gebruikersnaam in."), Field::User};
    if (!Settings::isPrintableLatin1(password))
        return Problem{tr("Wachtwoord?"), unsendablePasswordText(), Field::Password};
    if (nick.trimmed().isEmpty())
        return Problem{tr("Nickname?"), tr("Vul je schuilnaam in!"), Field::Nick};
    const int portNumber = port.toInt();
    if (portNumber < 1 || portNumber > 65535)
        return Problem{tr("Poort?"), tr("Poort nummer ongeldig"), Field::Port};
    if (maxDays.toInt() < 0)
        return Problem{tr("Max. aantal dagen ongeldig"), tr("Mag niet negatief zijn"), Field::MaxDays};
    if (maxSpots.toInt() < 1)
        return Problem{tr("Max. aantal spots ongeldig"), tr("Moet positief zijn"), Field::MaxSpots};
    return std::nullopt;
}

void SettingsForm::store() const
{
    const QString newServer = server.trimmed();
    QSettings settings;
    if (settings.value(Settings::Key::server).toString() != newServer)
        Settings::resetDownloadPositions();
    settings.setValue(Settings::Key::server, newServer);
    settings.setValue(Settings::Key::user, ByteText::toBytes(user.trimmed()));
    settings.setValue(Settings::Key::port, port.toInt());
    settings.setValue(Settings::Key::maxDays, maxDays.toInt());
    settings.setValue(Settings::Key::maxSpots, maxSpots.toInt());
    settings.setValue(Settings::Key::nick, ByteText::toBytes(nick.trimmed()));
    settings.setValue(Settings::Key::images, images);
    settings.setValue(Settings::Key::ssl, ssl);
    settings.setValue(Settings::Key::xzver, xzver);
    settings.setValue(Settings::Key::ero, ero);
    settings.setValue(Settings::Key::notifications, notifications);
    settings.setValue(Settings::Key::detailsFetch, detailsFetch);
    settings.setValue(Settings::Key::detailsConnections, detailsConnections);
    settings.sync();
    SecretStore::instance().write(Settings::Secret::NewsServerPassword, password);
}

QString SettingsForm::unsendablePasswordText()
{
    return tr("Een wachtwoord kan alleen tekens uit ISO 8859-1 (Latin-1) bevatten: letters, ook met accenten, "
              "cijfers, leestekens en spaties; geen €, tekens uit andere schriften of stuurtekens.");
}
