// From a click on "Downloaden" to the downloader's answer: a spot of the demo corpus whose
// NZB spans seven segment articles, fetched from the demo server (in this process) through
// the controller, joined, inflated and put into a watch folder.
#include "benchsupport.h"
#include "demoserver.h"
#include "figures.h"
#include "nzbhandoffjob.h"
#include "settings.h"
#include "tarnwick.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

namespace {

constexpr int timeoutMs = 120'000;

// The time of one hand-off, in milliseconds, until the job reports where the NZB went.
double handOffMs(Tarnwick &controller, const DemoCorpus::Spot &spot, QWidget &window)
{
    SpotRow row;
    row.messageId = spot.key;
    row.category = 1;
    auto *job
        = new NzbHandOffJob(&controller, row, QString::fromUtf8(spot.title), NzbHandOffJob::Mode::Download, &window);
    QEventLoop loop;
    QString outcome;
    QObject::connect(job, &NzbHandOffJob::status, [&](const QString &text) {
        if (!text.startsWith(QLatin1String("NZB ophalen")))
            outcome = text;
    });
    QObject::connect(job, &NzbHandOffJob::failed,
                     [](const QString &) { Bench::require(false, "the hand-off failed"); });
    QObject::connect(job, &QObject::destroyed, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    job->start();
    if (QPointer<NzbHandOffJob>(job))
        Bench::runLoop(loop, "the hand-off took too long", timeoutMs);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    Bench::require(outcome.startsWith(QLatin1String("NZB in map gezet")), "the NZB did not reach the folder");
    return ms;
}

} // namespace

double nzbHandOffMs(NzbHandOffRun run)
{
    const Bench::FreshProfile profile;
    DemoServer::Options options;
    options.corpus.spots = 2000;
    options.arrivalSeconds = 0;
    DemoServer demo(options);
    Bench::require(demo.start(), "the demo server does not listen");
    QTemporaryDir folder;
    {
        Bench::configureServer(demo.port());
        QSettings settings;
        settings.setValue(Settings::Key::nzbDestination, QStringLiteral("map"));
        settings.setValue(Settings::Key::nzbFolder, folder.path());
    }
    // The newest spot whose NZB is split over seven articles.
    DemoCorpus::Spot spot;
    for (qint64 number = demo.corpus().spotCount(); number > 0 && spot.nzbMessageIds.size() != 7; --number)
        spot = demo.corpus().spot(number);
    Bench::require(spot.nzbMessageIds.size() == 7, "the demo corpus has no spot of seven NZB segments");

    Tarnwick controller;
    QEventLoop synced;
    QObject::connect(&controller, &Tarnwick::notice, [&](int, const QString &text) {
        if (text.startsWith(QLatin1String("Klaar met binnenhalen van lijst met reacties")))
            synced.quit();
    });
    controller.connectToServer();
    Bench::runLoop(synced, "the download of the demo corpus took too long", timeoutMs);

    QWidget window;
    const double first = handOffMs(controller, spot, window);
    if (run == NzbHandOffRun::FromServer)
        return first;
    // Again, the articles now in the cache, into an empty folder.
    for (const QString &name : QDir(folder.path()).entryList(QDir::Files))
        QFile::remove(folder.filePath(name));
    return handOffMs(controller, spot, window);
}
