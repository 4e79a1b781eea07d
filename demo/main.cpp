#include "demoserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <optional>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2];

// SIGINT and SIGTERM end the event loop, so that the listening socket closes in order.
void onSignal(int)
{
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

qint64 positiveNumber(const QCommandLineParser &parser, const QString &name, qint64 maximum)
{
    bool ok = false;
    const qint64 value = parser.value(name).toLongLong(&ok);
    if (!ok || value < 0 || value > maximum) {
        std::fprintf(stderr, "tarnwick-demo: --%s takes a number from 0 to %lld\n", qPrintable(name),
                     static_cast<long long>(maximum));
        std::exit(2);
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A news server on 127.0.0.1 that serves a generated spot corpus (free.pt, free.usenet and the NZB "
        "articles), so that Tarnwick can be tried without a Usenet account. Stop it with Ctrl-C."));
    parser.addHelpOption();
    const DemoServer::Options defaults;
    parser.addOptions({
        {QStringLiteral("spots"),
         QStringLiteral("Spots in the corpus at start (default %1).").arg(defaults.corpus.spots),
         QStringLiteral("count"), QString::number(defaults.corpus.spots)},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the corpus: the same seed gives the same corpus (default %1).")
             .arg(defaults.corpus.seed),
         QStringLiteral("number"), QString::number(defaults.corpus.seed)},
        {QStringLiteral("port"), QStringLiteral("TCP port on 127.0.0.1; 0 picks a free one (default 0)."),
         QStringLiteral("port"), QStringLiteral("0")},
        {QStringLiteral("interval"),
         QStringLiteral("Seconds between arriving spots (a comment arrives every other time); 0: none (default %1).")
             .arg(defaults.arrivalSeconds),
         QStringLiteral("seconds"), QString::number(defaults.arrivalSeconds)},
        {QStringLiteral("now"),
         QStringLiteral("The corpus's present, in seconds since 1970; 0: the current time (default 0)."),
         QStringLiteral("seconds"), QStringLiteral("0")},
        {QStringLiteral("latency"),
         QStringLiteral("Milliseconds added before every reply, as by a distant server (default 0)."),
         QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("rate"), QStringLiteral("Cap on the reply bandwidth in KiB per second; 0: none (default 0)."),
         QStringLiteral("KBps"), QStringLiteral("0")},
        {QStringLiteral("port-file"), QStringLiteral("Write the port to this file once the server listens."),
         QStringLiteral("file")},
        {QStringLiteral("stop-on-eof"),
         QStringLiteral("Stop when standard input ends (a script holds it open while it runs).")},
    });
    parser.process(application);

    DemoServer::Options options;
    options.corpus.spots = positiveNumber(parser, QStringLiteral("spots"), 100'000'000);
    options.corpus.seed = quint32(positiveNumber(parser, QStringLiteral("seed"), 0xffffffffLL));
    options.corpus.now = positiveNumber(parser, QStringLiteral("now"), 1LL << 40);
    options.port = quint16(positiveNumber(parser, QStringLiteral("port"), 65535));
    options.arrivalSeconds = int(positiveNumber(parser, QStringLiteral("interval"), 86400));
    options.latencyMs = int(positiveNumber(parser, QStringLiteral("latency"), 60'000));
    options.rateKiBps = int(positiveNumber(parser, QStringLiteral("rate"), 10'000'000));

    DemoServer server(options);
    if (!server.start()) {
        std::fprintf(stderr, "tarnwick-demo: cannot listen on 127.0.0.1:%u\n", unsigned(options.port));
        return 1;
    }
    if (parser.isSet(QStringLiteral("port-file"))) {
        QFile file(parser.value(QStringLiteral("port-file")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(QByteArray::number(server.port()) + '\n') < 0) {
            std::fprintf(stderr, "tarnwick-demo: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    std::printf("tarnwick-demo: %lld spots and %lld comments on 127.0.0.1:%u\n",
                static_cast<long long>(server.corpus().spotCount()),
                static_cast<long long>(server.corpus().commentCount()), unsigned(server.port()));
    std::fflush(stdout);
    QObject::connect(&server, &DemoServer::arrived, [](qint64 spot, qint64 comment) {
        std::printf("tarnwick-demo: spot %lld arrived%s\n", static_cast<long long>(spot),
                    comment ? qPrintable(QStringLiteral(", and comment %1").arg(comment)) : "");
        std::fflush(stdout);
    });

    if (::pipe(signalPipe) != 0)
        return 1;
    QSocketNotifier stopper(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopper, &QSocketNotifier::activated, &application, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::optional<QSocketNotifier> lifeline;
    if (parser.isSet(QStringLiteral("stop-on-eof"))) {
        lifeline.emplace(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&*lifeline, &QSocketNotifier::activated, &application, [&application] {
            char buffer[256];
            if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                application.quit();
        });
    }
    return application.exec();
}
