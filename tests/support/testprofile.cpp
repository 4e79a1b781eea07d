#include "testprofile.h"

#include <QDir>
#include <QFile>

TestProfile::TestProfile()
{
    Q_ASSERT(dir.isValid());
    for (const QString &path : {configHome(), dataHome(), root() + QLatin1String("/cache"), runtimeDir()})
        QDir().mkpath(path);
    // The runtime directory must be private, or Qt refuses it.
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(root()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root() + QLatin1String("/cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
    // A session bus that is not there: the user's own bus, and with it the desktop's keyring,
    // stays out of reach (and none is started for the test). Tests that want one start their own.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(runtimeDir()) + "/no-bus");
}

QString TestProfile::root() const
{
    return dir.path();
}

QString TestProfile::configHome() const
{
    return root() + QLatin1String("/config");
}

QString TestProfile::dataHome() const
{
    return root() + QLatin1String("/data");
}

QString TestProfile::runtimeDir() const
{
    return root() + QLatin1String("/runtime");
}

QString TestProfile::appDataDir() const
{
    return dataHome() + QLatin1String("/Tarnwick/Tarnwick");
}
