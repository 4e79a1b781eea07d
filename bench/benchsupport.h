#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class QEventLoop;
class QSqlDatabase;
class Tarnwick;

#include <algorithm>
#include <limits>

namespace Bench {

// Smoke mode (tarnwick-bench --smoke): every figure on tiny data and in one run, so that a test
// run sees each measured path work within seconds. Its figures mean nothing.
void setSmoke(bool on);
bool smoke();

// A size or a count of runs: full, or small in smoke mode.
template<typename T>
T sized(T full, T small)
{
    return smoke() ? small : full;
}

// Megabytes are 1,000,000 bytes.
inline double megabytesPerSecond(qint64 bytes, double seconds)
{
    return double(bytes) / 1e6 / seconds;
}

// The fastest of a few runs: on a shared machine the fastest run is the least disturbed one.
template<typename Run>
double bestSeconds(Run run, int runs = 5)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < sized(runs, 1); ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

// The middle one of values taken from runs (the upper middle one of an even count).
double median(QList<double> values);

// Rows in spots and erospots together, read through that connection.
qint64 storedRows(const QSqlDatabase &db);

// The median of many runs, for work of a few milliseconds that one disturbance would spoil.
template<typename Run>
double medianSeconds(Run run, int runs)
{
    QList<double> seconds;
    for (int i = 0; i < sized(runs, 1); ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        seconds.append(double(timer.nsecsElapsed()) / 1e9);
    }
    return median(seconds);
}

// Deterministic random bytes, the stand-in for compressed data.
QByteArray randomBytes(qsizetype size, quint32 seed = 1);

// Stops the program when a run did not do the work it measures.
void require(bool condition, const char *what);

// Runs loop until it quits; one that waits longer than timeoutMs stops the bench with what.
void runLoop(QEventLoop &loop, const char *what, int timeoutMs = 60'000);

// The settings of a program set up for the news server on 127.0.0.1 at port, keeping every spot.
void configureServer(quint16 port);
// Stops the bench when the controller reports an error (the run would never end).
void failOnError(const Tarnwick &controller);

// Connects the controller and returns the seconds until the details of all spots (their number)
// are stored; stops the bench on an error, or with what after timeoutMs.
double secondsUntilDetails(Tarnwick &controller, qint64 spots, const char *what, int timeoutMs = 600'000);

// A profile of its own in a temporary folder for settings and databases, optionally holding a
// copy of an existing spots.db; the settings start empty.
class FreshProfile
{
public:
    explicit FreshProfile(const QString &spotsFile = QString());

    QString spotsFile() const;

private:
    QTemporaryDir dir;
};

} // namespace Bench
