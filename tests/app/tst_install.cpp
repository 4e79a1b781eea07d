#include "programprocess.h"
#include "testmain.h"

#include <QDir>
#include <QImageReader>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace ProgramProcess;

namespace {

const QString appId = QStringLiteral(TARNWICK_APP_ID);

struct InstalledFile
{
    QString path; // below the prefix
    int pixels; // the width and height of an icon, 0 for other files
};

// Everything an installation holds, named independently of the install rules.
QList<InstalledFile> installedFiles()
{
    QList<InstalledFile> files = {
        {QStringLiteral("bin/tarnwick"), 0},
        {QStringLiteral("share/tarnwick/translations/qt_nl.qm"), 0},
        {QStringLiteral("share/tarnwick/translations/qtbase_nl.qm"), 0},
        {QStringLiteral("share/tarnwick/translations/qtmultimedia_nl.qm"), 0},
        {QStringLiteral("share/applications/%1.desktop").arg(appId), 0},
        {QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId), 0},
    };
    for (int pixels : {16, 24, 32, 48, 64, 128, 256})
        files.append({QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(pixels).arg(appId), pixels});
    return files;
}

// Runs a tool to its end and returns its standard output; the test fails when it exits non-zero.
QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QTest::qFail(qPrintable(QStringLiteral("%1 %2 failed").arg(program, arguments.join(QLatin1Char(' ')))),
                     __FILE__, __LINE__);
        return {};
    }
    return process.readAllStandardOutput();
}

} // namespace

// `cmake --install` into a temporary prefix and the Debian package, as a user gets them.
class TestInstall : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir prefix;

    QString installed(const QString &path) const { return prefix.filePath(path); }

    // Why a tool cannot run here, or empty.
    static QString missing(const QString &tool, const QString &package)
    {
        if (!QStandardPaths::findExecutable(tool).isEmpty())
            return {};
        return QStringLiteral("%1 is missing: install the Debian package %2").arg(tool, package);
    }

private Q_SLOTS:
    void initTestCase()
    {
        run(QStringLiteral(CMAKE_COMMAND_PATH),
            {QStringLiteral("--install"), QStringLiteral(TARNWICK_BUILD_DIR), QStringLiteral("--prefix"),
             prefix.path()});
        // A configured profile, so that no first-run dialog waits for an answer.
        QSettings settings;
        settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("port"), 1);
        settings.sync();
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void theInstallationHoldsEveryFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("pixels");
        for (const InstalledFile &file : installedFiles())
            QTest::newRow(qPrintable(file.path)) << file.path << file.pixels;
    }
    // clang-format on

    void theInstallationHoldsEveryFile()
    {
        QFETCH(QString, path);
        QFETCH(int, pixels);
        QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
        if (pixels != 0)
            QCOMPARE(QImageReader(installed(path)).size(), QSize(pixels, pixels));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void theDesktopFilesPassTheirValidators_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("package");
        QTest::addColumn<QStringList>("arguments");

        QTest::newRow("desktop-entry") << QStringLiteral("desktop-file-validate") << QStringLiteral("desktop-file-utils")
                                       << QStringList{installed(QStringLiteral("share/applications/%1.desktop").arg(appId))};
        QTest::newRow("metainfo") << QStringLiteral("appstreamcli") << QStringLiteral("appstream")
                                  << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                 installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId))};
        // The whole tree: the metainfo's desktop entry and icon are where it says.
        QTest::newRow("metainfo-with-its-entry-and-icon")
            << QStringLiteral("appstreamcli") << QStringLiteral("appstream")
            << QStringList{QStringLiteral("validate-tree"), QStringLiteral("--no-net"), prefix.path()};
    }
    // clang-format on

    void theDesktopFilesPassTheirValidators()
    {
        QFETCH(QString, tool);
        QFETCH(QString, package);
        QFETCH(QStringList, arguments);
        if (const QString reason = missing(tool, package); !reason.isEmpty())
            QSKIP(qPrintable(reason));
        run(tool, arguments);
    }

    void theInstalledProgramStartsWithItsDutchCatalogue()
    {
        QProcess process;
        start(process, installed(QStringLiteral("bin/tarnwick")));
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(), process.processId(), 60000);
        for (const char *catalogue : {"qt_nl.qm", "qtbase_nl.qm", "qtmultimedia_nl.qm"}) {
            const QString path
                = QFileInfo(installed(QStringLiteral("share/tarnwick/translations/") + QLatin1String(catalogue)))
                      .canonicalFilePath();
            QTRY_VERIFY2_WITH_TIMEOUT(mappedFiles(process.processId()).contains(path), catalogue, 60000);
        }
        QCOMPARE(process.state(), QProcess::Running);
        stop(process);
    }

    void theDebianPackageHoldsTheInstallationAndItsDependencies()
    {
        if (const QString reason = missing(QStringLiteral("dpkg-shlibdeps"), QStringLiteral("dpkg-dev"));
            !reason.isEmpty())
            QSKIP(qPrintable(reason));
        QTemporaryDir output;
        run(QStringLiteral(CPACK_COMMAND_PATH),
            {QStringLiteral("--config"), QStringLiteral(TARNWICK_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"),
             output.path()});
        const QStringList packages = QDir(output.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(packages.size(), 1);
        const QString package = output.filePath(packages.first());

        const QByteArray contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package});
        for (const InstalledFile &file : installedFiles())
            QVERIFY2(contents.contains(" ./usr/" + QFile::encodeName(file.path) + '\n'), qPrintable(file.path));

        // From dpkg-shlibdeps, and the SQLite driver that the program loads as a plugin.
        const QByteArray depends
            = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), package, QStringLiteral("Depends")});
        for (const char *dependency :
             {"libc6", "libqt6widgets6", "libqt6webenginewidgets6", "libxml2", "libqt6sql6-sqlite"})
            QVERIFY2(depends.contains(dependency), depends.constData());
    }
};

TARNWICK_TEST_MAIN(TestInstall)
#include "tst_install.moc"
