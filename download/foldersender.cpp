#include "foldersender.h"

#include "nzbfile.h"

#include <QDir>

FolderSender::FolderSender(const QString &folder, QObject *parent)
    : NzbSender(parent)
    , folder(folder)
{
}

// A watch folder has no categories and keeps no job ids.
void FolderSender::send(const NzbJob &job)
{
    QString error = QStringLiteral("Er is geen map voor de NZB-bestanden ingesteld");
    const std::optional<QString> path
        = folder.isEmpty() ? std::nullopt : NzbFile::writeInto(folder, NzbFile::fileNameFor(job.name), job.nzb, &error);
    // The file is written now; the answer follows from the event loop, as for the other senders.
    QMetaObject::invokeMethod(
        this,
        [this, path, error] {
            if (path)
                Q_EMIT sent(QStringLiteral("NZB in map gezet: %1").arg(QDir::toNativeSeparators(*path)), QString());
            else
                Q_EMIT failed(error);
        },
        Qt::QueuedConnection);
}
