#include "nzbfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace NzbFile {

namespace {

// Room for " (999).nzb" within the 255 bytes most file systems allow a name.
constexpr qsizetype maxStemBytes = 200;

bool refused(QChar c)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    return c.category() == QChar::Other_Control || forbidden.contains(c);
}

QString trimmed(QString name)
{
    auto blankOrDot = [](QChar c) { return c.isSpace() || c == u'.'; };
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && blankOrDot(name.at(begin)))
        ++begin;
    while (end > begin && blankOrDot(name.at(end - 1)))
        --end;
    return name.mid(begin, end - begin);
}

// Cuts at a character boundary, never inside a surrogate pair.
QString cutToBytes(const QString &name, qsizetype maxBytes)
{
    if (name.toUtf8().size() <= maxBytes)
        return name;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const qsizetype width = name.at(i).isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const qsizetype size = name.mid(i, width).toUtf8().size();
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += width;
    }
    return name.left(i);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// 0 when renamed, else the errno: EEXIST when the target exists.
//
// QFile::rename checks for the target first but, should the rename itself then fail, copies
// over whatever appeared there meanwhile. renameat2 and link() refuse an existing target
// atomically.
int renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // Some network and FUSE file systems know no RENAME_NOREPLACE; a hard link is as safe.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
}

} // namespace

QString fileNameFor(const QString &title)
{
    QString name = title;
    for (QChar &c : name) {
        if (refused(c))
            c = u'_';
    }
    name = trimmed(cutToBytes(trimmed(name), maxStemBytes));
    if (name.isEmpty())
        name = QStringLiteral("spot");
    return name + QStringLiteral(".nzb");
}

std::optional<QString> writeInto(const QString &directory, const QString &fileName, const QByteArray &nzb,
                                 QString *error)
{
    const QDir dir(directory);
    auto fail = [&](const QString &reason) -> std::optional<QString> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    auto unwritableDirectory = [&](const QString &why) {
        return fail(QStringLiteral("Kan de map '%1' niet schrijven: %2").arg(shown(directory), why));
    };
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return unwritableDirectory(QStringLiteral("de map bestaat niet"));

    // A hidden name that no downloader takes for an NZB; created exclusively, with the
    // permissions the user's umask gives (a downloader may run as another user).
    QFile temporary;
    for (int attempt = 0; attempt < 16 && !temporary.isOpen(); ++attempt) {
        const QString name = QStringLiteral(".tarnwick-%1.tmp")
                                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        temporary.setFileName(dir.filePath(name));
        if (!temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !temporary.exists())
            return unwritableDirectory(temporary.errorString());
    }
    if (!temporary.isOpen())
        return unwritableDirectory(temporary.errorString());

    if (temporary.write(nzb) != nzb.size() || !temporary.flush()) {
        const QString why = temporary.errorString();
        temporary.remove();
        return fail(QStringLiteral("Kan '%1' niet schrijven: %2").arg(shown(dir.filePath(fileName)), why));
    }
    temporary.close();

    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString suffix = dot > 0 ? fileName.mid(dot) : QString();
    for (int n = 1; n <= 1000; ++n) {
        const QString candidate = n == 1 ? fileName : QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(suffix);
        const QString path = dir.filePath(candidate);
        const int result = renameNoReplace(temporary.fileName(), path);
        if (result == 0)
            return path;
        if (result != EEXIST) {
            temporary.remove();
            return fail(QStringLiteral("Kan '%1' niet schrijven: %2")
                            .arg(shown(path), QString::fromLocal8Bit(std::strerror(result))));
        }
    }
    temporary.remove();
    return fail(QStringLiteral("Kan '%1' niet schrijven: er zijn al te veel bestanden met die naam")
                    .arg(shown(dir.filePath(fileName))));
}

bool writeAt(const QString &path, const QByteArray &nzb, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(nzb) == nzb.size() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("Kan '%1' niet schrijven: %2").arg(shown(path), file.errorString());
    return false;
}

} // namespace NzbFile
