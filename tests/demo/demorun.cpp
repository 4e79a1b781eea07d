#include "demorun.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTest>

DemoServerProcess::~DemoServerProcess()
{
    if (demo.state() != QProcess::NotRunning) {
        demo.kill();
        demo.waitForFinished();
    }
}

void DemoServerProcess::start(const QStringList &options)
{
    const QString portFile = dir.filePath(QStringLiteral("port"));
    demo.setProgram(QStringLiteral(TARNWICK_DEMO_EXECUTABLE));
    // --stop-on-eof: a test that dies takes the server with it, as its end closes the pipe.
    demo.setArguments(options + QStringList{QStringLiteral("--port-file"), portFile, QStringLiteral("--stop-on-eof")});
    demo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    demo.start();
    // A large corpus is only counted, never made, at start: this is quick.
    QVERIFY2(demo.waitForReadyRead(60000), qPrintable(demo.errorString()));
    const QRegularExpressionMatch served = QRegularExpression(QStringLiteral("(\\d+) spots and (\\d+) comments on"))
                                               .match(QString::fromLatin1(demo.readLine()));
    QVERIFY(served.hasMatch());
    spotCount = served.captured(1).toLongLong();
    commentCount = served.captured(2).toLongLong();
    QFile port(portFile);
    QVERIFY(port.open(QIODevice::ReadOnly));
    serverPort = quint16(port.readAll().trimmed().toUInt());
    QVERIFY(serverPort != 0);
}

void DemoServerProcess::stop()
{
    demo.terminate();
    QVERIFY(demo.waitForFinished());
    QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(demo.exitCode(), 0);
}

QProcess &DemoServerProcess::process()
{
    return demo;
}

quint16 DemoServerProcess::port() const
{
    return serverPort;
}

qint64 DemoServerProcess::spots() const
{
    return spotCount;
}

qint64 DemoServerProcess::comments() const
{
    return commentCount;
}

void DemoProfile::configure(quint16 port, bool compressed)
{
    QSettings settings;
    settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
    settings.setValue(QStringLiteral("port"), port);
    settings.setValue(QStringLiteral("xzver"), compressed);
    settings.setValue(QStringLiteral("maxspots"), 1000000);
    settings.setValue(QStringLiteral("maxdays"), 0);
    settings.sync();
}

QString DemoProfile::databaseFile(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + name;
}

qint64 DemoProfile::setting(const char *key)
{
    QSettings settings;
    settings.sync(); // reads what the program wrote meanwhile
    return settings.value(QLatin1String(key)).toLongLong();
}

DatabaseReader::DatabaseReader(const QString &file)
    : name(QStringLiteral("reader ") + file)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    open = db.open();
}

DatabaseReader::~DatabaseReader()
{
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

bool DatabaseReader::isOpen() const
{
    return open;
}

bool DatabaseReader::forEachRow(const QString &sql, const std::function<void(const QList<QVariant> &)> &take) const
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return false;
    QList<QVariant> row;
    while (query.next()) {
        row.clear();
        for (int column = 0; column < query.record().count(); ++column)
            row.append(query.value(column));
        take(row);
    }
    return true;
}

qint64 DatabaseReader::scalar(const QString &sql) const
{
    qint64 value = -1;
    forEachRow(sql, [&value](const QList<QVariant> &row) {
        if (value == -1)
            value = row.value(0).toLongLong();
    });
    return value;
}

QString DatabaseReader::integrity() const
{
    QStringList found;
    if (!forEachRow(QStringLiteral("PRAGMA integrity_check"),
                    [&found](const QList<QVariant> &row) { found.append(row.value(0).toString()); }))
        return QStringLiteral("unreadable");
    return found.join(QLatin1Char('\n'));
}

ErrorLog::ErrorLog()
    : path(dir.filePath(QStringLiteral("stderr")))
{
}

void ErrorLog::attach(QProcess &process)
{
    process.setStandardErrorFile(path, QIODevice::Append);
}

QList<QByteArray> ErrorLog::newLines()
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(consumed))
        return {};
    const QByteArray text = file.readAll();
    const qsizetype end = text.lastIndexOf('\n') + 1; // a line still being written waits
    consumed += end;
    QList<QByteArray> lines = text.left(end).split('\n');
    lines.removeLast();
    return lines;
}

QByteArray ErrorLog::all() const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ErrorLog::faults() const
{
    QByteArray found;
    for (const QByteArray &line : all().split('\n')) {
        if (line.contains("Sanitizer") || line.contains("runtime error:") || line.contains("Segmentation fault"))
            found += line + '\n';
    }
    return found;
}
