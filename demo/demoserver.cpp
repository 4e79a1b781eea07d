#include "demoserver.h"

#include <QDateTime>

namespace {
// An idle reader is closed after as long as a real provider waits (INN: half an hour).
constexpr int idleTimeoutMs = 30 * 60 * 1000;
} // namespace

DemoServer::DemoServer(const Options &given, QObject *parent)
    : QObject(parent)
    , options(given)
    , articles(given.corpus)
{
    server.setGenerator(&articles);
    server.setIdleTimeout(idleTimeoutMs);
    server.setLatency(given.latencyMs);
    server.setRate(given.rateKiBps);
    connect(&arrivals, &QTimer::timeout, this, &DemoServer::postArrival);
}

bool DemoServer::start()
{
    if (!server.start(options.port))
        return false;
    if (options.arrivalSeconds > 0)
        arrivals.start(options.arrivalSeconds * 1000);
    return true;
}

quint16 DemoServer::port() const
{
    return server.port();
}

const DemoCorpus &DemoServer::corpus() const
{
    return articles;
}

const NewsServer &DemoServer::newsServer() const
{
    return server;
}

void DemoServer::postArrival()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 spot = articles.addSpot(now);
    const qint64 comment = ++arrivalCount % 2 == 0 ? articles.addComment(now) : 0;
    Q_EMIT arrived(spot, comment);
}
