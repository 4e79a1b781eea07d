#include "benchsupport.h"

#include "settings.h"
#include "tarnwick.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace Bench {
namespace {
bool smokeMode = false;
} // namespace

void setSmoke(bool on)
{
    smokeMode = on;
}

bool smoke()
{
    return smokeMode;
}

double median(QList<double> values)
{
    require(!values.isEmpty(), "no runs to take the median of");
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(data.data()), size / qsizetype(sizeof(quint32)));
    for (qsizetype i = size - size % qsizetype(sizeof(quint32)); i < size; ++i)
        data[i] = char(random.bounded(256));
    return data;
}

void require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "tarnwick-bench: %s\n", what);
    std::exit(EXIT_FAILURE);
}

void runLoop(QEventLoop &loop, const char *what, int timeoutMs)
{
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, [what] { require(false, what); });
    timeout.start(timeoutMs);
    loop.exec();
}

void configureServer(quint16 port)
{
    QSettings settings;
    settings.setValue(Settings::Key::server, QStringLiteral("127.0.0.1"));
    settings.setValue(Settings::Key::port, port);
    settings.setValue(Settings::Key::maxSpots, 1'000'000);
}

void failOnError(const Tarnwick &controller)
{
    QObject::connect(&controller, &Tarnwick::error, [](int, const QString &text) {
        require(false, qPrintable(QLatin1String("the download failed: ") + text));
    });
}

double secondsUntilDetails(Tarnwick &controller, qint64 spots, const char *what, int timeoutMs)
{
    QEventLoop loop;
    QObject::connect(&controller, &Tarnwick::detailsProgress, &loop, [&](qint64 done, qint64 total) {
        if (total == spots && done == total)
            loop.quit();
    });
    failOnError(controller);
    QElapsedTimer timer;
    timer.start();
    controller.connectToServer();
    runLoop(loop, what, timeoutMs);
    return double(timer.nsecsElapsed()) / 1e9;
}

FreshProfile::FreshProfile(const QString &spotsFile)
{
    require(dir.isValid(), "no temporary folder");
    if (QCoreApplication::organizationName().isEmpty()) {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("config")));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    require(QDir().mkpath(data), "cannot make the data folder");
    if (!spotsFile.isEmpty())
        require(QFile::copy(spotsFile, data + QLatin1String("/spots.db")), "cannot copy the stored spots");
}

QString FreshProfile::spotsFile() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1String("/spots.db");
}

qint64 storedRows(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    Bench::require(query.exec(QStringLiteral("SELECT (SELECT count(*) FROM spots)+(SELECT count(*) FROM erospots)"))
                       && query.next(),
                   "cannot count the stored spots");
    return query.value(0).toLongLong();
}

} // namespace Bench
