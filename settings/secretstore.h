#pragma once

#include "settings.h"

#include <QList>
#include <QString>

#include <array>
#include <chrono>

// Where the program keeps its passwords and keys (Settings::Secret): in the desktop's secret
// store when one answers, otherwise in the settings file, which is then readable by its owner
// only (mode 0600). Everything reads and writes them through instance().
//
// open() is called once, at start-up before anything reads a secret. It makes the settings
// file private and asks the secret store, blocking (see DesktopKeyring) at most `timeout` per
// request. When the store answers, secrets still in the settings file move into it: all are
// written, read back and compared, and only then removed from the file; should any of that
// fail, they stay in the file and the store counts as not answering. Then every secret is read
// once and kept in memory: read() answers from memory, and write() writes through, blocking
// like open(). Should the store fail on a write, the secret goes to the settings file instead,
// and place() says so from then on (the next start moves it back).
//
// Before open() (tests, tools), read() and write() use the settings file.
class SecretStore
{
public:
    enum class Place { SettingsFile, Keychain };

    // Time for the user to unlock a locked keyring in the prompt that the desktop shows.
    static constexpr std::chrono::milliseconds defaultTimeout{30000};

    void open(std::chrono::milliseconds timeout = defaultTimeout);
    Place place() const;

    QString read(Settings::Secret secret) const;
    // Values are kept exactly; writing the value already held does nothing.
    void write(Settings::Secret secret, const QString &value);

    // The program's store, opened by main().
    static SecretStore &instance();

    // The keyring entry of a secret: the settings key it replaces and the settings file it
    // belongs to, "pass@/home/jan/.config/Tarnwick/Tarnwick.conf", so that profiles of their
    // own (the demo's, a test's) never share secrets with the user's.
    static QString entryName(Settings::Secret secret);

private:
    bool openKeychain();

    bool opened = false;
    Place currentPlace = Place::SettingsFile;
    std::chrono::milliseconds timeout = defaultTimeout;
    std::array<QString, 3> values; // by Settings::Secret, once opened
};
