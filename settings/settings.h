#pragma once

#include <QByteArray>
#include <QString>

// Every preference and download position of the program is a key of the per-user
// application settings (organisation and application "Tarnwick"). This is the one place
// that names the keys; everything else reads and writes them through here, each time
// through a fresh QSettings so that a change by the dialog is seen at once.
namespace Settings {

namespace Key {
inline constexpr QLatin1StringView server{"server"};
inline constexpr QLatin1StringView user{"user"};
inline constexpr QLatin1StringView pass{"pass"};
inline constexpr QLatin1StringView port{"port"};
inline constexpr QLatin1StringView ssl{"ssl"};
inline constexpr QLatin1StringView xzver{"xzver"};
inline constexpr QLatin1StringView maxDays{"maxdays"};
inline constexpr QLatin1StringView maxSpots{"maxspots"};
inline constexpr QLatin1StringView nick{"nick"};
inline constexpr QLatin1StringView images{"images"};
inline constexpr QLatin1StringView ero{"ero"};
inline constexpr QLatin1StringView lastHeader{"lastheader"};
inline constexpr QLatin1StringView lastCommentsHeader{"lastcommentsheader"};
inline constexpr QLatin1StringView geometry{"geometry"};
} // namespace Key

// What the controller needs to open a connection to the Usenet server.
struct Connection
{
    QString server;
    QString user;
    QString password; // decoded
    int port = 0;
    bool ssl = false;
    bool xzver = false;
};

// A configured program is one whose dialog was accepted once: "port" exists.
bool isConfigured();
Connection connection();

// "pass" holds the Base64 of the password's Latin-1 bytes.
QByteArray encodePassword(const QString &password);
QString decodePassword(const QByteArray &stored);

int maxDays();
int maxSpots();
bool showImages();
bool showErotica();

qint64 lastHeader();
void setLastHeader(qint64 articleNumber);
qint64 lastCommentsHeader();
void setLastCommentsHeader(qint64 articleNumber);
// A new server or an emptied store starts both downloads from the beginning.
void resetDownloadPositions();

QByteArray geometry();
void setGeometry(const QByteArray &geometry);

} // namespace Settings
