// The NNTP client reading overview lines from the in-process test server over loopback.
#include "benchsupport.h"
#include "figures.h"
#include "newsserver.h"
#include "overviewcorpus.h"
#include "spotnntp.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <limits>

double clientOverviewLinesPerSecond()
{
    const qint64 lineCount = Bench::sized<qint64>(200'000, 2'000);
    // Made before timing: the server then only writes what it holds.
    QList<QByteArray> lines;
    lines.reserve(lineCount);
    for (qint64 number = 1; number <= lineCount; ++number)
        lines.append(OverviewCorpus::line(number));

    NewsServer server;
    server.addGroup("free.pt", 1, lineCount);
    server.setOverviewSource("free.pt", [&lines](qint64 number) { return lines.at(number - 1); });
    Bench::require(server.start(), "the test server starts");

    double bestSeconds = std::numeric_limits<double>::max();
    for (int run = 0; run < Bench::sized(3, 1); ++run) {
        SpotNNTP client(QStringLiteral("127.0.0.1"), server.port(), QString(), QString(), false, false);
        QEventLoop loop;
        QElapsedTimer timer;
        qint64 received = 0;
        QObject::connect(&client, &SpotNNTP::loggedIn, [&client] { client.selectGroup("free.pt"); });
        QObject::connect(&client, &SpotNNTP::groupResponse, [&client](const QByteArray &, qint64 first, qint64 last) {
            client.fetchOverview(first, last);
        });
        // Timed from the first line: the test server builds its whole reply before it sends a byte.
        QObject::connect(&client, &SpotNNTP::headerLine, [&](const QByteArray &line) {
            if (received++ == 0)
                timer.start();
            if (line == ".\r\n") {
                bestSeconds = std::min(bestSeconds, double(timer.nsecsElapsed()) / 1e9);
                loop.quit();
            }
        });
        QObject::connect(&client, &SpotNNTP::error, &loop, &QEventLoop::quit);
        client.login();
        loop.exec();
        Bench::require(received == lineCount + 1, "every overview line and the terminator arrive");
    }
    return double(lineCount - 1) / bestSeconds;
}
