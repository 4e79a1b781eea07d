#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// NZB files on disk.
namespace NzbFile {

// The spot's title as a file name: characters that file systems or desktops refuse
// ("/", "\", ":", "*", "?", '"', "<", ">", "|", control characters) become "_", surrounding
// blanks and dots go, a title longer than 200 bytes of UTF-8 is cut there (file systems allow
// 255 per name), an empty result becomes "spot"; then ".nzb".
QString fileNameFor(const QString &title);

// Writes nzb into directory as fileName, or as "name (2).nzb", "name (3).nzb", ... when that
// exists: never over an existing file. It is written under a temporary name and renamed into
// place, so that a downloader watching the folder never sees half a file. The final path, or
// nullopt with the reason in error.
std::optional<QString> writeInto(const QString &directory, const QString &fileName, const QByteArray &nzb,
                                 QString *error);

// Writes the whole file at path, replacing it (the user chose it), or nothing at all.
bool writeAt(const QString &path, const QByteArray &nzb, QString *error);

} // namespace NzbFile
