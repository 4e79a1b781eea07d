// The download against Debian's INN: a private instance on loopback, fed 200,000 spots of the
// demo corpus. INN alone (a plain client reading the overview ranges or the spots' headers,
// its commands written ahead), the same lines stored without a network, and the program's
// header download and details run.
#include "articlefeed.h"
#include "benchsupport.h"
#include "democorpus.h"
#include "figures.h"
#include "innserver.h"
#include "settings.h"
#include "spotheader.h"
#include "spotstore.h"
#include "sqlfile.h"
#include "sqltransaction.h"
#include "tarnwick.h"
#include "testcertificate.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QSettings>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QThread>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr qint64 rangeSize = 50'001; // as the program asks for them
constexpr qsizetype headWindow = 100; // HEAD commands written ahead of their replies
constexpr int replyTimeoutMs = 60'000;

qint64 spotCount()
{
    return Bench::sized<qint64>(200'000, 2'000);
}

// The private INN with the spots in free.pt, started once per process.
class InnCorpus
{
public:
    static InnCorpus *instance()
    {
        static std::unique_ptr<InnCorpus> made = start();
        return made.get();
    }

    quint16 readerPort() const { return port; }
    const QList<QByteArray> &messageIds() const { return ids; }

private:
    static std::unique_ptr<InnCorpus> start()
    {
        if (!InnServer::installed() || geteuid() != 0) {
            std::fprintf(stderr, "tarnwick-bench: the INN figures need Debian's inn2 and root\n");
            return nullptr;
        }
        auto corpus = std::make_unique<InnCorpus>();
        const DemoCorpus spots{{DemoCorpus::Options().seed, spotCount(), 0}};
        const TestCertificate certificate = TestCertificate::generate(QStringLiteral("localhost"));
        Bench::require(corpus->server.start({DemoCorpus::spotGroup, DemoCorpus::commentGroup}, certificate),
                       qPrintable(corpus->server.output()));
        QList<QByteArray> articles(spots.spotCount());
        const int workers = std::max(1, QThread::idealThreadCount());
        std::vector<std::thread> threads;
        for (int worker = 0; worker < workers; ++worker) {
            threads.emplace_back([&, worker] {
                for (qint64 number = worker + 1; number <= spots.spotCount(); number += workers)
                    articles[number - 1] = spots.spotArticle(spots.spot(number));
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        for (qint64 number = 1; number <= spots.spotCount(); ++number)
            corpus->ids += spots.spot(number).key + "@free.pt";
        ArticleFeed feed;
        Bench::require(feed.open(corpus->server.feedPort()) && feed.send(articles), qPrintable(feed.error()));
        feed.close();
        corpus->port = corpus->server.startReader(InnServer::Reader::Plain);
        Bench::require(corpus->port != 0, qPrintable(corpus->server.output()));
        return corpus;
    }

    InnServer server;
    quint16 port = 0;
    QList<QByteArray> ids;
};

// A client that writes its commands ahead and reads the replies' lines, nothing more.
class PlainReader
{
public:
    explicit PlainReader(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        Bench::require(socket.waitForConnected(replyTimeoutMs), "cannot connect to INN");
        Bench::require(line().startsWith("20"), "INN does not greet as a reader");
    }

    void send(const QByteArray &command) { socket.write(command + "\r\n"); }

    QByteArray line()
    {
        while (!socket.canReadLine())
            Bench::require(socket.waitForReadyRead(replyTimeoutMs), "INN stopped answering");
        return socket.readLine();
    }

    // The lines of a multi-line reply up to its end; each handed to take.
    template<typename Take>
    void readBlock(Take take)
    {
        for (QByteArray next = line(); next != ".\r\n"; next = line())
            take(next);
    }

private:
    QTcpSocket socket;
};

// The ranges of free.pt as the program asks for them.
QList<std::pair<qint64, qint64>> ranges()
{
    QList<std::pair<qint64, qint64>> made;
    for (qint64 first = 1; first <= spotCount(); first += rangeSize)
        made.append({first, std::min(first + rangeSize - 1, spotCount())});
    return made;
}

QList<QByteArray> overviewLines;

// GROUP and every XOVER written at once: the server never waits for the client.
double innXoverSeconds(quint16 port)
{
    overviewLines.clear();
    return Bench::bestSeconds(
        [&] {
            overviewLines.clear();
            PlainReader reader(port);
            reader.send("GROUP free.pt");
            for (const auto &[first, last] : ranges())
                reader.send("XOVER " + QByteArray::number(first) + '-' + QByteArray::number(last));
            Bench::require(reader.line().startsWith("211"), "INN refused the group");
            for (qsizetype range = 0; range < ranges().size(); ++range) {
                Bench::require(reader.line().startsWith("224"), "INN refused an overview range");
                reader.readBlock([](const QByteArray &line) { overviewLines.append(line); });
            }
            Bench::require(overviewLines.size() == spotCount(), "INN did not give every overview line");
        },
        3);
}

// Every spot's HEAD, headWindow of them ahead of their replies.
double innHeadSeconds(quint16 port, const QList<QByteArray> &ids)
{
    return Bench::bestSeconds(
        [&] {
            PlainReader reader(port);
            qsizetype sent = 0;
            qint64 headerBytes = 0;
            for (qsizetype answered = 0; answered < ids.size(); ++answered) {
                for (; sent < ids.size() && sent < answered + headWindow; ++sent)
                    reader.send("HEAD <" + ids.at(sent) + '>');
                Bench::require(reader.line().startsWith("221"), "INN does not have a spot");
                reader.readBlock([&](const QByteArray &line) { headerBytes += line.size(); });
            }
            Bench::require(headerBytes > 0, "INN gave no headers");
        },
        3);
}

// INN's lines through the program's parsing, duplicate check and insert, one transaction per
// range made durable as the program makes it, without a network. Making and closing the
// files are not timed, as for the program.
double storeSeconds()
{
    Bench::require(overviewLines.size() == spotCount(), "the overview lines were not read from INN");
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < Bench::sized(3, 1); ++run) {
        const Bench::FreshProfile profile;
        SpotStore store;
        SpotsFile &spots = store.spots();
        QElapsedTimer timer;
        timer.start();
        for (qsizetype first = 0; first < overviewLines.size(); first += rangeSize) {
            SqlTransaction transaction(store.spotsDatabase());
            for (qsizetype i = first; i < std::min<qsizetype>(first + rangeSize, overviewLines.size()); ++i) {
                const SpotHeader header = SpotHeader::parse(overviewLines.at(i));
                if (header.outcome != SpotHeader::Outcome::Spot)
                    continue;
                const SpotRecord record = header.record();
                if (spots.checkDuplicate(header.table(), record.spotDate, record.title) == DuplicateCheck::Unique)
                    Bench::require(spots.insertSpot(header.table(), record) == InsertResult::Inserted,
                                   "a spot was not stored");
            }
            Bench::require(transaction.commit() && SqlFile::checkpoint(spots.database()), "a range was not committed");
        }
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
        Bench::require(Bench::storedRows(store.spotsDatabase()) == spotCount(), "the store lost spots");
    }
    return best;
}

// The settings of a program that downloads from INN.
void configure(quint16 port, bool details)
{
    Bench::configureServer(port);
    QSettings settings;
    settings.setValue(Settings::Key::xzver, false); // INN has none
    settings.setValue(Settings::Key::detailsFetch, details);
}

// From connecting to the notice that the header download is complete: making the profile
// and the controller before, and closing them after, are not timed.
double programSeconds(quint16 port)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < Bench::sized(3, 1); ++run) {
        const Bench::FreshProfile profile;
        configure(port, false);
        Tarnwick controller;
        QEventLoop loop;
        QObject::connect(&controller, &Tarnwick::notice, &loop, [&](int, const QString &text) {
            if (text.startsWith(QLatin1String("Klaar met headeren")))
                loop.quit();
        });
        Bench::failOnError(controller);
        QElapsedTimer timer;
        timer.start();
        controller.connectToServer();
        Bench::runLoop(loop, "the download from INN did not end", 600'000);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
        Bench::require(Bench::storedRows(controller.spotsDatabase()) == spotCount(), "the download lost spots");
    }
    return best;
}

// The spots.db of the program's header download from INN, kept for the details runs.
QString downloadedSpots(quint16 port, const QTemporaryDir &keep)
{
    const QString copy = keep.filePath(QStringLiteral("spots.db"));
    const Bench::FreshProfile profile;
    configure(port, false);
    {
        Tarnwick controller;
        QEventLoop loop;
        QObject::connect(&controller, &Tarnwick::spotsUpToDate, &loop, &QEventLoop::quit);
        controller.connectToServer();
        Bench::runLoop(loop, "the download from INN did not end", 600'000);
    }
    Bench::require(QFile::copy(profile.spotsFile(), copy), "cannot keep the downloaded spots");
    return copy;
}

// From connecting, with every header downloaded, to the details of every spot stored.
double detailsSeconds(quint16 port)
{
    const QTemporaryDir keep;
    const QString spots = downloadedSpots(port, keep);
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < Bench::sized(3, 1); ++run) {
        const Bench::FreshProfile profile(spots);
        configure(port, true);
        Settings::setLastHeader(spotCount());
        Tarnwick controller;
        best = std::min(best,
                        Bench::secondsUntilDetails(controller, spotCount(), "the details run from INN did not end"));
    }
    return best;
}

// Each measurement runs once per process; the ratio reuses them.
template<typename Measure>
double once(std::optional<double> &memory, Measure measure)
{
    if (!memory) {
        const InnCorpus *inn = InnCorpus::instance();
        memory = inn ? measure(*inn) : std::nan("");
    }
    return *memory;
}

std::optional<double> xover, store, program, head, details;

double xoverOnce()
{
    return once(xover, [](const InnCorpus &inn) { return innXoverSeconds(inn.readerPort()); });
}

double storeOnce()
{
    xoverOnce(); // its lines
    return once(store, [](const InnCorpus &) { return storeSeconds(); });
}

double programOnce()
{
    return once(program, [](const InnCorpus &inn) { return programSeconds(inn.readerPort()); });
}

double headOnce()
{
    return once(head, [](const InnCorpus &inn) { return innHeadSeconds(inn.readerPort(), inn.messageIds()); });
}

double detailsOnce()
{
    return once(details, [](const InnCorpus &inn) { return detailsSeconds(inn.readerPort()); });
}

} // namespace

double innFigure(InnFigure figure)
{
    switch (figure) {
    case InnFigure::SyncSeconds:
        return programOnce();
    case InnFigure::XoverSeconds:
        return xoverOnce();
    case InnFigure::StoreSeconds:
        return storeOnce();
    case InnFigure::SyncVsLimit:
        return programOnce() / std::max(xoverOnce(), storeOnce());
    case InnFigure::HeadSeconds:
        return headOnce();
    case InnFigure::DetailsSeconds:
        return detailsOnce();
    case InnFigure::DetailsVsLimit:
        return detailsOnce() / headOnce();
    }
    return 0;
}
