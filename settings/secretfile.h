#pragma once

#include "settings.h"

#include <QString>

// The secrets as keys of the settings file, in the file's own forms: "pass" and "nzbgetpass"
// hold the Base64 of the password's Latin-1 bytes, "sabnzbdkey" the key as text. Every write
// keeps the file readable by its owner only.
namespace SecretFile {

QLatin1StringView key(Settings::Secret secret);

bool contains(Settings::Secret secret);
QString read(Settings::Secret secret);
// Written and synced at once, into a file made private first.
void write(Settings::Secret secret, const QString &value);
void remove(Settings::Secret secret);

// Gives the settings file mode 0600, creating it empty when it is missing. QSettings rewrites
// the file through a temporary file that takes the old file's permissions and is then renamed
// over it, so a file that is private before a write stays private, with no moment in between
// when it is not; a missing file would be created with the umask's mode (usually 0644). The
// directory is left as it is.
void makePrivate();

} // namespace SecretFile
