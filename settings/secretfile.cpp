#include "secretfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace SecretFile {

namespace {

constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

bool isPassword(Settings::Secret secret)
{
    return secret != Settings::Secret::SabnzbdKey;
}

} // namespace

QLatin1StringView key(Settings::Secret secret)
{
    switch (secret) {
    case Settings::Secret::NewsServerPassword:
        return Settings::Key::pass;
    case Settings::Secret::NzbgetPassword:
        return Settings::Key::nzbgetPass;
    case Settings::Secret::SabnzbdKey:
        return Settings::Key::sabnzbdKey;
    }
    Q_UNREACHABLE();
}

bool contains(Settings::Secret secret)
{
    return QSettings().contains(key(secret));
}

QString read(Settings::Secret secret)
{
    const QVariant value = QSettings().value(key(secret));
    return isPassword(secret) ? Settings::decodePassword(value.toByteArray()) : value.toString();
}

void write(Settings::Secret secret, const QString &value)
{
    makePrivate();
    {
        QSettings settings;
        if (isPassword(secret))
            settings.setValue(key(secret), Settings::encodePassword(value));
        else
            settings.setValue(key(secret), value);
    }
    // Checked again after the sync, should anything have replaced the file meanwhile.
    makePrivate();
}

void remove(Settings::Secret secret)
{
    QSettings().remove(key(secret));
}

void makePrivate()
{
    const QString path = QSettings().fileName();
    if (QFileInfo::exists(path)) {
        QFile::setPermissions(path, ownerOnly);
        return;
    }
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    // NewOnly: should QSettings create the file meanwhile, it is tightened instead.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        QFile::setPermissions(path, ownerOnly);
}

} // namespace SecretFile
