// tarnwick-demo and the real program as processes, as scripts/run starts them: a full
// download ends with the demo's spots and comments, and a spot that arrives later comes in
// with the next cycle.
#include "programprocess.h"
#include "testmain.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// The next cycle starts this long after the last one ended.
constexpr int refreshMs = 119000;
constexpr int arrivalSeconds = 100;

qint64 scalar(const QString &file, const QString &sql)
{
    qint64 value = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                value = query.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return value;
}

QString database(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + name;
}

qint64 storedSpots()
{
    return scalar(database(QStringLiteral("spots.db")),
                  QStringLiteral("SELECT (SELECT count(*) FROM spots) + (SELECT count(*) FROM erospots)"));
}

qint64 indexedComments()
{
    return scalar(database(QStringLiteral("reactielijst.db")), QStringLiteral("SELECT total(length(nrs)) / 4 FROM msgnrs"));
}

qint64 setting(const char *key)
{
    QSettings settings;
    settings.sync();
    return settings.value(QLatin1String(key)).toLongLong();
}

} // namespace

class TestDemoDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void downloadsWhatTheDemoServes();
};

void TestDemoDownload::downloadsWhatTheDemoServes()
{
    QTemporaryDir dir;
    const QString portFile = dir.filePath(QStringLiteral("port"));
    QProcess demo;
    demo.setArguments({QStringLiteral("--spots"), QStringLiteral("3000"), QStringLiteral("--interval"),
                       QString::number(arrivalSeconds), QStringLiteral("--port-file"), portFile});
    demo.setProgram(QStringLiteral(TARNWICK_DEMO_EXECUTABLE));
    demo.start();
    QVERIFY(demo.waitForReadyRead(30000));
    const QRegularExpressionMatch served = QRegularExpression(QStringLiteral("(\\d+) spots and (\\d+) comments on"))
                                               .match(QString::fromLatin1(demo.readLine()));
    QVERIFY(served.hasMatch());
    const qint64 spots = served.captured(1).toLongLong();
    const qint64 comments = served.captured(2).toLongLong();
    QFile port(portFile);
    QVERIFY(port.open(QIODevice::ReadOnly));

    {
        QSettings settings;
        settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("port"), port.readAll().trimmed().toInt());
        settings.setValue(QStringLiteral("xzver"), true);
        settings.setValue(QStringLiteral("maxspots"), 1000000);
    }
    QProcess program;
    ProgramProcess::start(program, QStringLiteral(TARNWICK_EXECUTABLE));

    QTRY_COMPARE_WITH_TIMEOUT(setting("lastcommentsheader"), comments, 120000);
    QCOMPARE(setting("lastheader"), spots);
    QCOMPARE(storedSpots(), spots);
    QCOMPARE(indexedComments(), comments);

    QVERIFY(demo.waitForReadyRead((arrivalSeconds + 30) * 1000));
    QVERIFY(demo.readLine().startsWith("tarnwick-demo: spot " + QByteArray::number(spots + 1) + " arrived"));
    QTRY_COMPARE_WITH_TIMEOUT(storedSpots(), spots + 1, refreshMs + 30000);

    ProgramProcess::stop(program);
    demo.terminate();
    QVERIFY(demo.waitForFinished());
    QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(demo.exitCode(), 0);
}

TARNWICK_TEST_MAIN(TestDemoDownload)
#include "tst_demodownload.moc"
