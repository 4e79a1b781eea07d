#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away user profile: HOME and the XDG configuration, data, cache and runtime
// directories point into one temporary directory, and the D-Bus session bus nowhere, so that a
// test never sees or touches the user's real settings, databases and keyring. Create it before anything reads a path
// (QSettings caches its location on first use); TARNWICK_TEST_MAIN does that.
class TestProfile
{
public:
    TestProfile();

    QString root() const;
    QString configHome() const;
    QString dataHome() const;
    QString runtimeDir() const;

    // The directory that holds the program's databases in this profile.
    QString appDataDir() const;

private:
    QTemporaryDir dir;
};
