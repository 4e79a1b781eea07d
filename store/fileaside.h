#pragma once

#include <QString>

// Puts a database file that cannot be used out of the way without deleting it: renames it,
// and the write-ahead log that may hold part of it, beside itself to a free name made of the
// suffix and the time. False when the file could not be renamed; newPath is then unchanged.
bool setFileAside(const QString &path, const QString &suffix, QString *newPath);
