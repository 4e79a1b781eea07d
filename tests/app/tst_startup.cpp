#include "programprocess.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <csignal>

using namespace ProgramProcess;

// Starts the real program as a process, in this test's profile.
class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A configured profile, so that no first-run dialog waits for an answer.
        QSettings settings;
        settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("port"), 1);
        settings.sync();
    }

    void cleanup() { removeLocks(); }

    void aSecondStartEndsAtOnceWithStatusZero()
    {
        QProcess first;
        start(first, QStringLiteral(TARNWICK_EXECUTABLE));
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), first.processId(), 60000);

        QProcess second;
        start(second, QStringLiteral(TARNWICK_EXECUTABLE));
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
        start(killed, QStringLiteral(TARNWICK_EXECUTABLE));
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), killed.processId(), 60000);
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished());

        QProcess next;
        start(next, QStringLiteral(TARNWICK_EXECUTABLE));
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), next.processId(), 60000);
        QCOMPARE(next.state(), QProcess::Running);
        stop(next);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void theProgramLoadsTheFirstWholeDutchCatalogue_data()
    {
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QStringList>("besideTheCopy");
        QTest::addColumn<bool>("fromQt");

        QTest::newRow("the-built-program-takes-the-one-beside-it") << false << QStringList() << false;
        QTest::newRow("a-copy-without-one-takes-qts-own") << true << QStringList() << true;
        // qt_nl.qm only names its parts: without them it does not load.
        QTest::newRow("a-copy-with-qt_nl-but-not-its-parts-takes-qts-own")
            << true << QStringList{QStringLiteral("qt_nl.qm")} << true;
    }
    // clang-format on

    void theProgramLoadsTheFirstWholeDutchCatalogue()
    {
        QFETCH(bool, copied);
        QFETCH(QStringList, besideTheCopy);
        QFETCH(bool, fromQt);

        const QString built = QStringLiteral(TARNWICK_EXECUTABLE);
        QTemporaryDir installation;
        QString program = built;
        if (copied) {
            program = installation.filePath(QStringLiteral("tarnwick"));
            QVERIFY(QFile::copy(built, program));
            for (const QString &catalogue : besideTheCopy)
                QVERIFY(QFile::copy(QFileInfo(built).dir().filePath(catalogue), installation.filePath(catalogue)));
        }
        const QDir expected(fromQt ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : QFileInfo(built).path());

        QProcess process;
        start(process, program);
        for (const char *catalogue : {"qt_nl.qm", "qtbase_nl.qm", "qtmultimedia_nl.qm"}) {
            const QString path = QFileInfo(expected.filePath(QLatin1String(catalogue))).canonicalFilePath();
            QVERIFY2(!path.isEmpty(), catalogue);
            QTRY_VERIFY2_WITH_TIMEOUT(mappedFiles(process.processId()).contains(path), qPrintable(path), 60000);
        }
        QCOMPARE(process.state(), QProcess::Running);
        stop(process);
    }
};

TARNWICK_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
