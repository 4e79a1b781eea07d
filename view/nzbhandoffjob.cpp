#include "nzbhandoffjob.h"

#include "nzbfetch.h"
#include "nzbfile.h"
#include "nzbsender.h"
#include "settings.h"

#include <QCoreApplication>
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

NzbHandOffJob::NzbHandOffJob(ArticleSource *source, const QByteArray &spotMessageId, const QString &title,
                             const QString &category, Mode mode, QWidget *window)
    : QObject(window)
    , source(source)
    , spotMessageId(spotMessageId)
    , title(title)
    , category(category)
    , mode(mode)
    , window(window)
{
}

void NzbHandOffJob::start()
{
    auto *fetch = new NzbFetch(source, spotMessageId, this);
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
    connect(sender, &NzbSender::sent, this, [this](const QString &message) {
        Q_EMIT status(message);
        end();
    });
    connect(sender, &NzbSender::failed, this, [this](const QString &reason) {
        Q_EMIT failed(reason);
        end();
    });
    sender->send(title, category, nzb);
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
    if (NzbFile::writeAt(path, nzb, &error))
        Q_EMIT status(tr("NZB opgeslagen: %1").arg(path));
    else
        Q_EMIT failed(error);
    end();
}

void NzbHandOffJob::end()
{
    deleteLater();
}
