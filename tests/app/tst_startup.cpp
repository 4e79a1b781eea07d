#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>

#include <csignal>

// Starts the real program as a process, in this test's profile.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    QString runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);

    // The process id written into the instance lock of the given installation, or 0.
    qint64 lockOwner() const
    {
        const QStringList locks = QDir(runtimeDir).entryList({QStringLiteral("tarnwick-*.lock")}, QDir::Files);
        if (locks.size() != 1)
            return 0;
        QFile lock(runtimeDir + QLatin1Char('/') + locks.first());
        if (!lock.open(QIODevice::ReadOnly))
            return 0;
        return lock.readLine().trimmed().toLongLong();
    }

    static void start(QProcess &process, const QString &program = QStringLiteral(TARNWICK_EXECUTABLE))
    {
        process.setProgram(program);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        QVERIFY(process.waitForStarted());
    }

    static void stop(QProcess &process)
    {
        process.kill();
        QVERIFY(process.waitForFinished());
    }

    void removeLocks()
    {
        for (const QString &lock : QDir(runtimeDir).entryList({QStringLiteral("tarnwick-*.lock")}, QDir::Files))
            QFile::remove(runtimeDir + QLatin1Char('/') + lock);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A configured profile, so that no first-run dialog waits for an answer.
        QSettings settings;
        settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("port"), 1);
        settings.sync();
    }

    void cleanup()
    {
        removeLocks();
    }

    void aSecondStartEndsAtOnceWithStatusZero()
    {
        QProcess first;
        start(first);
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), first.processId(), 60000);

        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(lockOwner(), first.processId());
        stop(first);
    }

    void aStartAfterAKilledInstanceWorks()
    {
        QProcess killed;
        start(killed);
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), killed.processId(), 60000);
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished());

        QProcess next;
        start(next);
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), next.processId(), 60000);
        QCOMPARE(next.state(), QProcess::Running);
        stop(next);
    }

    void theDutchCatalogueLoadsWithItsParts()
    {
        // qt_nl.qm only names its parts: a missing part makes the whole catalogue fail. Loaded
        // as the program loads it, by its exact name.
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral("qt_nl.qm"), QFileInfo(QStringLiteral(TARNWICK_EXECUTABLE)).path(),
                                QStringLiteral(""), QStringLiteral("")));
        QCOMPARE(translator.translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuleren"));
    }

    void aMissingDutchCatalogueIsHarmless()
    {
        QTemporaryDir installation;
        const QString copy = installation.filePath(QStringLiteral("tarnwick"));
        QVERIFY(QFile::copy(QStringLiteral(TARNWICK_EXECUTABLE), copy));
        QVERIFY(!QFile::exists(installation.filePath(QStringLiteral("qt_nl.qm"))));

        QProcess process;
        start(process, copy);
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), process.processId(), 60000);
        QCOMPARE(process.state(), QProcess::Running);
        stop(process);
    }
};

TARNWICK_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
