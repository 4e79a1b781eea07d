#include "secretstore.h"

#include "desktopkeyring.h"
#include "secretfile.h"

#include <QSettings>

#include <array>
#include <iterator>
#include <optional>

namespace {

using Settings::Secret;

constexpr Secret allSecrets[] = {Secret::NewsServerPassword, Secret::NzbgetPassword, Secret::SabnzbdKey};

} // namespace

QString SecretStore::entryName(Secret secret)
{
    return SecretFile::key(secret) + QLatin1Char('@') + QSettings().fileName();
}

SecretStore &SecretStore::instance()
{
    static SecretStore store;
    return store;
}

void SecretStore::open(std::chrono::milliseconds timeout)
{
    this->timeout = timeout;
    SecretFile::makePrivate();
    currentPlace = openKeychain() ? Place::Keychain : Place::SettingsFile;
    if (currentPlace == Place::SettingsFile) {
        for (const Secret secret : allSecrets)
            values[size_t(secret)] = SecretFile::read(secret);
    }
    opened = true;
}

// Moves what the file still holds into the keyring, then reads every entry once; a moved
// secret leaves the file only once it has read back as written. False at the first failure.
bool SecretStore::openKeychain()
{
    std::array<std::optional<QString>, std::size(allSecrets)> moved;
    for (const Secret secret : allSecrets) {
        if (!SecretFile::contains(secret))
            continue;
        const QString value = SecretFile::read(secret);
        if (DesktopKeyring::write(entryName(secret), value, timeout) != DesktopKeyring::Outcome::Done)
            return false;
        moved[size_t(secret)] = value;
    }
    for (const Secret secret : allSecrets) {
        const DesktopKeyring::Answer answer = DesktopKeyring::read(entryName(secret), timeout);
        if (answer.outcome == DesktopKeyring::Outcome::Failed)
            return false;
        const std::optional<QString> &written = moved[size_t(secret)];
        if (written
            && (written->isEmpty() ? answer.outcome != DesktopKeyring::Outcome::Missing
                                   : answer.outcome != DesktopKeyring::Outcome::Done || answer.text != *written))
            return false;
        values[size_t(secret)] = answer.text;
    }
    for (const Secret secret : allSecrets) {
        if (moved[size_t(secret)])
            SecretFile::remove(secret);
    }
    return true;
}

SecretStore::Place SecretStore::place() const
{
    return currentPlace;
}

QString SecretStore::read(Secret secret) const
{
    return opened ? values[size_t(secret)] : SecretFile::read(secret);
}

void SecretStore::write(Secret secret, const QString &value)
{
    if (!opened) {
        SecretFile::write(secret, value);
        return;
    }
    if (value == values[size_t(secret)])
        return;
    values[size_t(secret)] = value;
    if (currentPlace == Place::Keychain
        && DesktopKeyring::write(entryName(secret), value, timeout) == DesktopKeyring::Outcome::Done)
        return;
    currentPlace = Place::SettingsFile;
    SecretFile::write(secret, value);
}
