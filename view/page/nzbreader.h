#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The NZB article of a spot: escaped ("=A" NUL, "=B" CR, "=C" LF, "=D" "="), dot-stuffed,
// raw-deflated NZB XML in the NZB 2003 namespace. Inflation is bounded (maxNzbSize); the
// XML is parsed without entities, DTDs or network access.
namespace NzbReader {

inline constexpr qsizetype maxNzbSize = 64 * 1024 * 1024;

// Replaces newsgroup with the NZB's and adds the names of its files to fileNames (for a
// RAR set keeping only the parts, sorted). True when the newsgroup is not empty afterwards.
bool readNzb(QByteArrayView article, QString &newsgroup, QStringList &fileNames);

// The file name that a file's subject names: the text between its first two double quotes,
// else the name and extension around its last dot.
QString fileNameFromSubject(const QString &subject);

} // namespace NzbReader
