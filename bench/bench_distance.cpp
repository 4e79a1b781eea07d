// The whole download from a provider at a distance: the demo server in this process, slowed
// to a round trip and a bandwidth, against the program's header, comment and details runs.
#include "benchsupport.h"
#include "demoserver.h"
#include "detailsrun.h"
#include "figures.h"
#include "settings.h"
#include "tarnwick.h"

#include <QSettings>

#include <cmath>
#include <optional>

namespace {

constexpr int latencyMs = 30;
constexpr int rateKiBps = 8'000'000 / 1024; // 8 MB/s

struct Distance
{
    double seconds = 0;
    double boundSeconds = 0;
};

Distance measure()
{
    const Bench::FreshProfile profile;
    DemoServer::Options options;
    options.corpus.spots = Bench::sized<qint64>(20'000, 500);
    options.arrivalSeconds = 0;
    options.latencyMs = latencyMs;
    options.rateKiBps = rateKiBps;
    DemoServer demo(options);
    Bench::require(demo.start(), "the demo server does not listen");
    Bench::configureServer(demo.port());
    QSettings().setValue(Settings::Key::detailsFetch, true);
    Tarnwick controller;
    const double seconds = Bench::secondsUntilDetails(controller, options.corpus.spots,
                                                      "the download from the distant server did not end");

    const NewsServer &server = demo.newsServer();
    const double windows = std::ceil(double(server.receivedCommands().size()) / DetailsRun::window);
    return {seconds, double(server.bytesSent()) / (rateKiBps * 1024.0) + windows * latencyMs / 1000.0};
}

} // namespace

double distanceFigure(DistanceFigure figure)
{
    static std::optional<Distance> measured;
    if (!measured)
        measured = measure();
    switch (figure) {
    case DistanceFigure::Seconds:
        return measured->seconds;
    case DistanceFigure::BoundSeconds:
        return measured->boundSeconds;
    case DistanceFigure::VsBound:
        return measured->seconds / measured->boundSeconds;
    }
    return 0;
}
