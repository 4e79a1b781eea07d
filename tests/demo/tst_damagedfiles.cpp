// The real program started on damaged database files. A database that is cut short, overwritten
// with random bytes or replaced by a directory is named in the fatal message box, and the
// program exits with status 1: it never crashes and never runs on a broken file. A write-ahead
// log that is cut short loses no spot or comment whose range the program had finished.
//
// With no one to close the box, the program runs with messageboxanswer preloaded, which writes
// the box's text to standard error and presses OK.
#include "demorun.h"
#include "testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <csignal>

namespace {

constexpr int exitTimeoutMs = 60000;
const QStringList databases
    = {QStringLiteral("spots.db"), QStringLiteral("cache.db"), QStringLiteral("reactielijst.db")};

enum class Damage { Truncated, RandomBytes, Directory };

// Puts the files saved in `from` in place of the program's, without the shared-memory index
// that SQLite rebuilds from the log.
bool restore(const QString &from)
{
    for (const QString &name : databases) {
        for (const QString &file : {name, name + QStringLiteral("-wal"), name + QStringLiteral("-shm")}) {
            const QString target = DemoProfile::databaseFile(file);
            if (QFileInfo(target).isDir())
                QDir(target).removeRecursively();
            QFile::remove(target);
            const QString saved = from + QLatin1Char('/') + file;
            if (QFile::exists(saved) && !QFile::copy(saved, target))
                return false;
        }
    }
    return true;
}

bool save(const QString &to)
{
    for (const QString &name : databases) {
        for (const QString &file : {name, name + QStringLiteral("-wal")}) {
            if (QFile::exists(DemoProfile::databaseFile(file))
                && !QFile::copy(DemoProfile::databaseFile(file), to + QLatin1Char('/') + file))
                return false;
        }
    }
    return true;
}

bool damage(const QString &file, Damage how)
{
    QFile database(file);
    const qint64 size = database.size();
    switch (how) {
    case Damage::Truncated:
        return size > 0 && database.resize(size / 2);
    case Damage::RandomBytes: {
        QByteArray noise(size, Qt::Uninitialized);
        QRandomGenerator random(size);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        return database.open(QIODevice::WriteOnly | QIODevice::Truncate) && database.write(noise) == size;
    }
    case Damage::Directory:
        return database.remove() && QDir().mkdir(file);
    }
    return false;
}

// The program as a user starts it, its message boxes answered.
void startProgram(QProcess &program, ErrorLog &log)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(TARNWICK_MESSAGE_BOX_ANSWER));
    // The sanitizers' runtime then comes second in the list of libraries, which is harmless here.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    program.setProcessEnvironment(environment);
    program.setStandardOutputFile(QProcess::nullDevice());
    log.attach(program);
    program.start(QStringLiteral(TARNWICK_EXECUTABLE), QStringList());
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
}

// Waits until the program has asked for the spot group (it runs on its databases), then kills it.
void killOnceConnected(QProcess &program, ErrorLog &log)
{
    QElapsedTimer clock;
    clock.start();
    bool connected = false;
    while (!connected) {
        QVERIFY2(!program.waitForFinished(50), log.all().constData());
        QVERIFY2(clock.elapsed() < exitTimeoutMs, log.all().constData());
        for (const QByteArray &line : log.newLines())
            connected = connected || line.startsWith("S: \"GROUP free.pt\"");
    }
    ::kill(pid_t(program.processId()), SIGKILL);
    QVERIFY(program.waitForFinished());
}

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestDamagedFiles : public QObject
{
    Q_OBJECT

private:
    DemoServerProcess demo;
    QTemporaryDir killed; // the files as the program left them when killed after its download
    QTemporaryDir checkpointed; // the same files with the log written into them

private Q_SLOTS:
    void initTestCase();
    void aDamagedDatabaseIsShownAndEndsTheProgram_data();
    void aDamagedDatabaseIsShownAndEndsTheProgram();
    void aCutLogLosesNoFinishedRange_data();
    void aCutLogLosesNoFinishedRange();
    void cleanupTestCase();
};

void TestDamagedFiles::initTestCase()
{
    demo.start({QStringLiteral("--spots"), QStringLiteral("3000"), QStringLiteral("--interval"), QStringLiteral("0")});
    DemoProfile::configure(demo.port(), true);
    {
        ErrorLog log;
        QProcess program;
        startProgram(program, log);
        QTRY_COMPARE_WITH_TIMEOUT(DemoProfile::setting("lastcommentsheader"), demo.comments(), 120000);
        ::kill(pid_t(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished());
        QVERIFY2(log.faults().isEmpty(), log.faults().constData());
    }
    QVERIFY(save(killed.path()));
    // A read-write connection that closes last writes the log into the file and removes it.
    for (const QString &name : databases) {
        const QString connection = QStringLiteral("checkpoint");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(DemoProfile::databaseFile(name));
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
    QVERIFY(save(checkpointed.path()));
}

void TestDamagedFiles::cleanupTestCase()
{
    demo.stop();
}

void TestDamagedFiles::aDamagedDatabaseIsShownAndEndsTheProgram_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<Damage>("how");
    QTest::addColumn<QString>("message");

    const QString messages[]
        = {QStringLiteral("Fout bij openen spots database"), QStringLiteral("Fout bij openen cache database"),
           QStringLiteral("Fout bij openen reactielijst database")};
    const QPair<const char *, Damage> damages[] = {
        {"cut-in-half", Damage::Truncated}, {"random-bytes", Damage::RandomBytes}, {"a-directory", Damage::Directory}};
    for (int index = 0; index < databases.size(); ++index) {
        for (const auto &[name, how] : damages)
            QTest::addRow("%s-%s", qPrintable(databases[index]), name) << databases[index] << how << messages[index];
    }
}

void TestDamagedFiles::aDamagedDatabaseIsShownAndEndsTheProgram()
{
    QFETCH(QString, database);
    QFETCH(Damage, how);
    QFETCH(QString, message);

    QVERIFY(restore(checkpointed.path()));
    QVERIFY(damage(DemoProfile::databaseFile(database), how));
    ErrorLog log;
    QProcess program;
    startProgram(program, log);
    QVERIFY2(program.waitForFinished(exitTimeoutMs), log.all().constData());
    QVERIFY2(log.faults().isEmpty(), log.faults().constData());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QVERIFY2(log.all().contains("tarnwick-test: critical \"Error\": \"" + message.toUtf8() + "\"\n"),
             log.all().constData());
}

void TestDamagedFiles::aCutLogLosesNoFinishedRange_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<qint64>("cutTo"); // bytes kept; negative: counted from the end

    for (const QString &database : {QStringLiteral("spots.db"), QStringLiteral("reactielijst.db")}) {
        const QString log = database + QStringLiteral("-wal");
        QTest::addRow("%s-cut-to-its-header", qPrintable(log)) << log << qint64(32);
        QTest::addRow("%s-cut-in-its-last-frame", qPrintable(log)) << log << qint64(-100);
        QTest::addRow("%s-emptied", qPrintable(log)) << log << qint64(0);
    }
}

void TestDamagedFiles::aCutLogLosesNoFinishedRange()
{
    QFETCH(QString, log);
    QFETCH(qint64, cutTo);

    QVERIFY(restore(killed.path()));
    // Empty when the program wrote each finished range into the file before saving its position.
    QFile wal(DemoProfile::databaseFile(log));
    const qint64 size = wal.size();
    if (wal.exists())
        QVERIFY(wal.resize(std::clamp<qint64>(cutTo < 0 ? size + cutTo : cutTo, 0, size)));
    qInfo("the log of %lld bytes cut to %lld", size, wal.size());
    ErrorLog errors;
    QProcess program;
    startProgram(program, errors);
    killOnceConnected(program, errors);
    QVERIFY2(errors.faults().isEmpty(), errors.faults().constData());

    const DatabaseReader spots(DemoProfile::databaseFile(QStringLiteral("spots.db")));
    QCOMPARE(spots.integrity(), QStringLiteral("ok"));
    QCOMPARE(spots.scalar(QStringLiteral("SELECT (SELECT count(*) FROM spots) + (SELECT count(*) FROM erospots)")),
             demo.spots());
    const DatabaseReader index(DemoProfile::databaseFile(QStringLiteral("reactielijst.db")));
    QCOMPARE(index.integrity(), QStringLiteral("ok"));
    QCOMPARE(index.scalar(QStringLiteral("SELECT total(length(nrs)) / 4 FROM msgnrs")), demo.comments());
}

TARNWICK_TEST_MAIN(TestDamagedFiles)
#include "tst_damagedfiles.moc"
