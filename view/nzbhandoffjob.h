#pragma once

#include "handoff.h"
#include "spotrow.h"

#include <QObject>
#include <QString>

#include <functional>

class ArticleSource;
class NzbSender;
class QWidget;

// From a click to a spot's NZB where the user wants it: the whole NZB fetched, then saved
// through a save dialog or handed to the destination of the settings (with the downloader's
// category for the spot's main category). It reports status() while segments arrive and once
// it is done, or failed() with the reason; either way it deletes itself afterwards. Once the
// NZB is saved or handed off, handedOff() comes before that last status(), once.
class NzbHandOffJob : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Save, // "NZB opslaan": always the save dialog
        Download, // "Downloaden": the destination of the settings
    };
    Q_ENUM(Mode)

    // The save dialog: the path chosen for a suggested one, empty when cancelled. Tests
    // replace it so that no modal dialog opens.
    using SavePrompt = std::function<QString(QWidget *parent, const QString &suggestedPath)>;
    static void setSavePrompt(SavePrompt prompt); // an empty one restores the real dialog

    // window: the parent of the save dialog and of the job.
    NzbHandOffJob(ArticleSource *source, const SpotRow &spot, const QString &title, Mode mode, QWidget *window);

    void start();

Q_SIGNALS:
    void status(const QString &text);
    void failed(const QString &reason);
    // Where it went, when, with the downloader's job id; its state "Verstuurd" or "Opgeslagen".
    void handedOff(const HandOff &handOff);

private:
    void handOff(const QByteArray &nzb);
    void save(const QByteArray &nzb);
    void end();
    void report(HandOff::Target target, const QString &jobId);

    ArticleSource *const source;
    const SpotRow spot;
    const QString title;
    const Mode mode;
    QWidget *const window;
};
