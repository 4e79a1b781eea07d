#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A trust store that holds one certificate, for a program run as a process: the program runs
// in a mount namespace of its own in which the store takes the place of the system's
// (/etc/ssl/certs, where Qt looks authorities up). Qt reads no environment variable that
// names a store, and this way the machine's store stays as it is. Needs root.
class PrivateTrustStore
{
public:
    // Holds a copy of the PEM certificate under its subject hash; isValid() tells whether it does.
    explicit PrivateTrustStore(const QString &certificateFile);
    bool isValid() const;

    // Sets the arguments of process for running program with this store, and returns the
    // program that process must start instead.
    QString wrap(QProcess &process, const QString &program) const;

private:
    QTemporaryDir dir;
    bool valid = false;
};
