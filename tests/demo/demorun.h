#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

// tarnwick-demo and the real program as processes in the test's profile (the one that
// TARNWICK_TEST_MAIN set up), and read-only looks at what they leave behind: the databases
// and the settings. Failures are reported through QTest, as in a test function.

// tarnwick-demo, serving until stop() or the end of the test.
class DemoServerProcess
{
public:
    ~DemoServerProcess();

    // Starts it with these options (--port-file is added) and waits until it serves.
    void start(const QStringList &options);
    // Ends it with SIGTERM; it must exit cleanly.
    void stop();

    QProcess &process();
    quint16 port() const;
    qint64 spots() const; // as it announced them
    qint64 comments() const;

private:
    QTemporaryDir dir;
    QProcess demo;
    quint16 serverPort = 0;
    qint64 spotCount = 0;
    qint64 commentCount = 0;
};

namespace DemoProfile {

// What the settings dialog stores for the demo server: no account, every spot kept, none
// expired; compressed chooses XZVER / XZHDR over XOVER / XHDR.
void configure(quint16 port, bool compressed);
// A database file of the program ("spots.db", ...).
QString databaseFile(const QString &name);
// A settings key as the program last wrote it.
qint64 setting(const char *key);

} // namespace DemoProfile

// A database file opened read-only on a connection of its own, beside a running program's.
class DatabaseReader
{
public:
    explicit DatabaseReader(const QString &file);
    ~DatabaseReader();

    bool isOpen() const;
    // Every row of the statement, given to the function one at a time; false when it fails.
    bool forEachRow(const QString &sql, const std::function<void(const QList<QVariant> &row)> &take) const;
    // The first column of the first row; -1 when there is none.
    qint64 scalar(const QString &sql) const;
    // "ok", or what PRAGMA integrity_check found.
    QString integrity() const;

    Q_DISABLE_COPY_MOVE(DatabaseReader)

private:
    QString name;
    bool open = false;
};

// A program's standard error, written to a file and read as it grows, so that a test can act
// the moment a line appears while the program runs on undisturbed.
class ErrorLog
{
public:
    ErrorLog();
    // Where the process writes it; call before starting the process.
    void attach(QProcess &process);
    // The complete lines written since the last call.
    QList<QByteArray> newLines();
    // Everything written so far.
    QByteArray all() const;
    // The sanitizers' reports and crashes: empty when there were none.
    QByteArray faults() const;

private:
    QTemporaryDir dir;
    QString path;
    qint64 consumed = 0;
};
