#include "secretstore.h"

#include "desktopkeyring.h"
#include "secretfile.h"

#include <QSettings>

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

// Moves what the file still holds, then reads every entry; false at the first failure.
bool SecretStore::openKeychain()
{
    QList<Secret> inFile;
    for (const Secret secret : allSecrets) {
        if (SecretFile::contains(secret))
            inFile.append(secret);
    }
    if (!inFile.isEmpty() && !moveIntoKeychain(inFile))
        return false;
    for (const Secret secret : allSecrets) {
        const DesktopKeyring::Answer answer = DesktopKeyring::read(entryName(secret), timeout);
        if (answer.outcome == DesktopKeyring::Outcome::Failed)
            return false;
        values[size_t(secret)] = answer.text;
    }
    return true;
}

bool SecretStore::moveIntoKeychain(const QList<Secret> &inFile)
{
    for (const Secret secret : inFile) {
        if (DesktopKeyring::write(entryName(secret), SecretFile::read(secret), timeout)
            != DesktopKeyring::Outcome::Done)
            return false;
    }
    for (const Secret secret : inFile) {
        const QString value = SecretFile::read(secret);
        const DesktopKeyring::Answer answer = DesktopKeyring::read(entryName(secret), timeout);
        const bool readBack = value.isEmpty() ? answer.outcome == DesktopKeyring::Outcome::Missing
                                              : answer.outcome == DesktopKeyring::Outcome::Done && answer.text == value;
        if (!readBack)
            return false;
    }
    for (const Secret secret : inFile)
        SecretFile::remove(secret);
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
