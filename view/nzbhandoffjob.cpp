#include "nzbhandoffjob.h"

#include "nzbfetch.h"
#include "nzbfile.h"
#include "nzbsender.h"
#include "settings.h"
#include "spotpage.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace {

NzbHandOffJob::SavePrompt &savePrompt()
{
    static NzbHandOffJob::SavePrompt prompt;
    return prompt;
}

QString askWhereToSave(QWidget *parent, const QString &suggestedPath)
{
    if (savePrompt())
        return savePrompt()(parent, suggestedPath);
    return QFileDialog::getSaveFileName(parent, QCoreApplication::translate("NzbHandOffJob", "NZB opslaan"),
                                        suggestedPath,
                                        QCoreApplication::translate("NzbHandOffJob", "NZB-bestanden (*.nzb)"));
}

} // namespace

void NzbHandOffJob::setSavePrompt(SavePrompt prompt)
{
    savePrompt() = std::move(prompt);
}

NzbHandOffJob::NzbHandOffJob(ArticleSource *source, const SpotRow &spot, const QString &title, Mode mode,
                             QWidget *window)
    : QObject(window)
    , source(source)
    , spot(spot)
    , title(title)
    , mode(mode)
    , window(window)
{
}

void NzbHandOffJob::start()
{
    auto *fetch = new NzbFetch(source, SpotPage::articleIdOf(spot.messageId), this);
    connect(fetch, &NzbFetch::progress, this, [this](int received, int total) {
        Q_EMIT status(tr("NZB ophalen: %1 van %2 delen").arg(received).arg(total));
    });
    connect(
        fetch, &NzbFetch::failed, this,
        [this](const QString &reason) {
            Q_EMIT failed(reason);
            end();
        },
        Qt::QueuedConnection);
    // The answers of the cache come inside start(): the rest runs from the event loop, so
    // that no dialog or message box opens inside the controller's delivery of an article.
    connect(fetch, &NzbFetch::finished, this, &NzbHandOffJob::handOff, Qt::QueuedConnection);
    fetch->start();
}

void NzbHandOffJob::handOff(const QByteArray &nzb)
{
    const Settings::NzbHandOff settings = Settings::nzbHandOff();
    if (mode == Mode::Save || settings.destination == Settings::NzbHandOff::Destination::Save) {
        save(nzb);
        return;
    }
    NzbSender *sender = NzbSender::make(settings, this).release();
    using Destination = Settings::NzbHandOff::Destination;
    const HandOff::Target target = settings.destination == Destination::NzbGet ? HandOff::Target::NzbGet
        : settings.destination == Destination::Sabnzbd                         ? HandOff::Target::Sabnzbd
                                                                               : HandOff::Target::Folder;
    connect(sender, &NzbSender::sent, this, [this, target](const QString &message, const QString &jobId) {
        report(target, jobId);
        Q_EMIT status(message);
        end();
    });
    connect(sender, &NzbSender::failed, this, [this](const QString &reason) {
        Q_EMIT failed(reason);
        end();
    });
    sender->send({title, settings.categoryFor(spot.category), spot.messageId, nzb});
}

void NzbHandOffJob::save(const QByteArray &nzb)
{
    // The folder used last, else the downloads folder, else home: never one that is gone.
    QString folder = Settings::nzbSaveFolder();
    for (const QString &fallback :
         {QStandardPaths::writableLocation(QStandardPaths::DownloadLocation), QDir::homePath()}) {
        if (!folder.isEmpty() && QDir(folder).exists())
            break;
        folder = fallback;
    }
    const QString path = askWhereToSave(window, QDir(folder).filePath(NzbFile::fileNameFor(title)));
    if (path.isEmpty()) {
        end();
        return;
    }
    Settings::setNzbSaveFolder(QFileInfo(path).absolutePath());
    QString error;
    if (NzbFile::writeAt(path, nzb, &error)) {
        report(HandOff::Target::File, QString());
        Q_EMIT status(tr("NZB opgeslagen: %1").arg(path));
    } else {
        Q_EMIT failed(error);
    }
    end();
}

// A file or a folder is where the NZB stays; a downloader has it to do.
void NzbHandOffJob::report(HandOff::Target target, const QString &jobId)
{
    HandOff handOff;
    handOff.spot = spot;
    handOff.target = target;
    handOff.jobId = jobId;
    handOff.sentAt = QDateTime::currentSecsSinceEpoch();
    const bool kept = target == HandOff::Target::File || target == HandOff::Target::Folder;
    handOff.state.phase = kept ? DownloadState::Phase::Saved : DownloadState::Phase::Sent;
    Q_EMIT handedOff(handOff);
}

void NzbHandOffJob::end()
{
    deleteLater();
}
