#pragma once

#include <QByteArray>
#include <QString>

// Every preference and download position of the program is a key of the per-user
// application settings (organisation and application "Tarnwick"). This is the one place
// that names the keys; everything else reads and writes them through here, each time
// through a fresh QSettings so that a change by the dialog is seen at once. The passwords
// and the API key (Secret) go through SecretStore, which keeps them out of the file where it can.
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
// Where a spot's NZB goes: "opslaan", "map", "nzbget" or "sabnzbd".
inline constexpr QLatin1StringView nzbDestination{"nzbdestination"};
inline constexpr QLatin1StringView nzbFolder{"nzbfolder"};
inline constexpr QLatin1StringView nzbSaveFolder{"nzbsavefolder"};
inline constexpr QLatin1StringView nzbgetUrl{"nzbgeturl"};
inline constexpr QLatin1StringView nzbgetUser{"nzbgetuser"};
inline constexpr QLatin1StringView nzbgetPass{"nzbgetpass"};
inline constexpr QLatin1StringView nzbgetCategory{"nzbgetcategory"};
inline constexpr QLatin1StringView sabnzbdUrl{"sabnzbdurl"};
inline constexpr QLatin1StringView sabnzbdKey{"sabnzbdkey"};
// Whether new spots in the filters marked "Melden" are announced on the desktop.
inline constexpr QLatin1StringView notifications{"notifications"};
// Whether the details of new spots (their size) are fetched in the background, and over how
// many connections to the server.
inline constexpr QLatin1StringView detailsFetch{"detailsfetch"};
inline constexpr QLatin1StringView detailsConnections{"detailsconnections"};
} // namespace Key

// The values that are kept secret (see SecretStore): not in the settings file when the
// desktop's secret store answers.
enum class Secret { NewsServerPassword, NzbgetPassword, SabnzbdKey };

// What the controller needs to open a connection to the Usenet server.
struct Connection
{
    QString server;
    QString user;
    QString password; // exactly as typed
    int port = 0;
    bool ssl = false;
    bool xzver = false;
};

// A configured program is one whose dialog was accepted once: "port" exists.
bool isConfigured();
Connection connection();

// In the settings file, "pass" holds the Base64 of the password's Latin-1 bytes.
QByteArray encodePassword(const QString &password);
QString decodePassword(const QByteArray &stored);
// A password survives that encoding, and the news server's command line, exactly when every
// character is printable Latin-1 (U+0020 to U+007E, U+00A0 to U+00FF).
bool isPrintableLatin1(const QString &password);

int maxDays();
int maxSpots();
bool showImages();
bool showErotica();
// On unless the user turned it off.
bool notifications();
// On unless the user turned it off.
bool detailsFetch();
// 1 to 4 (detailsConnectionsMax); 1 when absent or out of range.
inline constexpr int detailsConnectionsMax = 4;
int detailsConnections();

qint64 lastHeader();
void setLastHeader(qint64 articleNumber);
qint64 lastCommentsHeader();
void setLastCommentsHeader(qint64 articleNumber);
// A new server or an emptied store starts both downloads from the beginning.
void resetDownloadPositions();

QByteArray geometry();
void setGeometry(const QByteArray &geometry);

// Where "Downloaden" sends a spot's whole NZB.
struct NzbHandOff
{
    enum class Destination { Save, Folder, NzbGet, Sabnzbd };
    Destination destination = Destination::Save;
    QString folder; // the downloader's watch folder
    QString nzbgetUrl; // e.g. "http://127.0.0.1:6789"
    QString nzbgetUser;
    QString nzbgetPassword; // exactly as typed
    bool nzbgetCategory = false; // the spot's category as NZBGet's category
    QString sabnzbdUrl; // e.g. "http://127.0.0.1:8080"
    QString sabnzbdKey;
};
NzbHandOff nzbHandOff();
void setNzbHandOff(const NzbHandOff &handOff);
// The folder the save dialog showed last.
QString nzbSaveFolder();
void setNzbSaveFolder(const QString &folder);

} // namespace Settings
