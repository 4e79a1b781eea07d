// The program killed between storing a comment range and saving its position: the next
// start indexes that range again, and no spot's comment list holds a number twice.
#include "syncsession.h"
#include "testprofile.h"

#include <QProcess>
#include <QSqlDriver>

#include <csignal>
#include <sqlite3.h>

namespace {

const char childArgument[] = "--die-after-comment-commit";

// The downloading program, killed by the first commit of the comment index: the range is
// in the file, its position is not in the settings.
int runChild(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    Tarnwick controller;
    const QVariant handle = QSqlDatabase::database(QStringLiteral("commentlist"), false).driver()->handle();
    sqlite3_wal_hook(
        *static_cast<sqlite3 *const *>(handle.constData()),
        [](void *, sqlite3 *, const char *, int) -> int {
            std::raise(SIGKILL);
            return SQLITE_OK;
        },
        nullptr);
    controller.connectToServer();
    return application.exec();
}

} // namespace

class TestKilledSync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rangeIndexedAgainAfterKill();
};

void TestKilledSync::rangeIndexedAgainAfterKill()
{
    auto session = std::make_unique<SyncSession>();
    session->serveSpots(1, 2000, 1);
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childArgument)});
    QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 120000);
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(Observer(QStringLiteral("reactielijst.db")).count(QStringLiteral("SELECT count(*) FROM msgnrs")), 2000);
    QCOMPARE(Settings::lastHeader(), 2000);
    QCOMPARE(Settings::lastCommentsHeader(), 0);

    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    QCOMPARE(session->commands("XHDR"), QList<QByteArray>({"XHDR References 1-2000", "XHDR References 1-2000"}));
    QCOMPARE(countRows("commentlist", QStringLiteral("SELECT count(*) FROM msgnrs WHERE length(nrs)<>4")), 0);
    QCOMPARE(controller.commentNumbers(QStringLiteral("spot1234")), QList<quint32>{1234});
    QCOMPARE(Settings::lastCommentsHeader(), 2000);
    endSession(session);
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], childArgument) == 0)
        return runChild(argc, argv); // in the profile of the test that started it
    TestProfile profile;
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    TestKilledSync test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killedsync.moc"
