#pragma once

#include <QProcess>
#include <QString>

// A D-Bus session bus and a GNOME keyring of the test's own, inside the test profile (see
// TestProfile), so that the test's secrets never reach the user's keyring. The bus activates
// nothing; the keyring daemon holds only the Secret Service, with a login keyring created
// unlocked. Both daemons end with this object, or with the test process should it die first.
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
    QProcess bus;
    QProcess keyring;
};
