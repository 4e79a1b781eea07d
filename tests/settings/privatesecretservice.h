#pragma once

#include "privatesessionbus.h"

#include <QProcess>
#include <QString>

// A GNOME keyring of the test's own on a private session bus (see PrivateSessionBus), so that
// the test's secrets never reach the user's keyring. The keyring daemon holds only the Secret
// Service, with a login keyring created unlocked. Both daemons end with this object.
class PrivateSecretService
{
public:
    ~PrivateSecretService();

    // Starts both daemons and points this process's DBUS_SESSION_BUS_ADDRESS at the bus; call it
    // before anything here uses D-Bus. An empty answer means success, otherwise it says what failed.
    QString start();

    // Stops or continues the keyring daemon (SIGSTOP, SIGCONT): a stopped one holds its name on
    // the bus and answers nothing until it continues.
    void pauseKeyring(bool paused);

    // Ends the keyring daemon: from then on the bus has no secret store.
    void stopKeyring();

private:
    PrivateSessionBus bus;
    QProcess keyring;
};
