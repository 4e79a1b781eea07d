#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// An X display of the test's own: Xvfb on the first free display number, reachable only
// through its local socket. It ends with this object, or with the test process.
class PrivateDisplay
{
public:
    ~PrivateDisplay();

    static bool isInstalled();

    // Starts Xvfb with these daemons' environment. Empty on success, else what failed.
    QString start(const QProcessEnvironment &environment);

    // ":N", once started.
    QString name() const;

private:
    QProcess server;
    QString displayName;
};
