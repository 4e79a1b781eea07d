#include "privatedisplay.h"

#include "privatesessionbus.h"

#include <QStandardPaths>

PrivateDisplay::~PrivateDisplay()
{
    PrivateSessionBus::stop(server);
}

bool PrivateDisplay::isInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

QString PrivateDisplay::start(const QProcessEnvironment &environment)
{
    // -displayfd: Xvfb takes the first free display number and writes it to stdout when ready.
    PrivateSessionBus::startDaemon(server, QStringLiteral("Xvfb"),
                                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                    QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                    QStringLiteral("640x480x24")},
                                   environment);
    if (!server.waitForReadyRead(PrivateSessionBus::startTimeoutMs))
        return QStringLiteral("Xvfb did not start: ") + server.errorString();
    displayName = QLatin1Char(':') + QString::fromLatin1(server.readAllStandardOutput().trimmed());
    return QString();
}

QString PrivateDisplay::name() const
{
    return displayName;
}
