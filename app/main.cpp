#include "categoryscheme.h"
#include "databasesetuperror.h"
#include "debugoutput.h"
#include "mainwindow.h"
#include "secretstore.h"
#include "settings.h"
#include "singleapplication.h"

#include <QLibraryInfo>
#include <QMap>
#include <QTranslator>

// Qt's own texts in Dutch, from the first directory that holds the whole catalogue: beside the
// executable (a build, or a program copied with its catalogue), the installation's data
// directory, Qt's own translations. qt_nl.qm only names its parts (qtbase_nl.qm, ...) and does
// not load when one is missing, so such a directory is passed over. Empty (not null) delimiters
// and suffix: Qt would otherwise fall back to "qt_nl", "qt.qm" and "qt". Without any catalogue
// Qt's texts stay English.
static void loadQtCatalogue(QTranslator &translator)
{
    const QString programDirectory = QCoreApplication::applicationDirPath();
    const QString directories[] = {programDirectory, programDirectory + QStringLiteral("/" TARNWICK_CATALOGUE_DIR),
                                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &directory : directories) {
        if (translator.load(QStringLiteral("qt_nl.qm"), directory, QStringLiteral(""), QStringLiteral("")))
            return;
    }
}

// The downloader's categories of an older version: the names of the main categories.
static void carryOverCategorySwitch()
{
    QMap<int, QString> mainCategoryNames;
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (!CategoryScheme::categoryName(entry.code).isEmpty())
            mainCategoryNames.insert(entry.code, CategoryScheme::categoryName(entry.code));
    }
    Settings::carryOverCategorySwitch(mainCategoryNames);
}

int main(int argc, char *argv[])
{
    // The web views of the spot tabs need a shared OpenGL context, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    SingleApplication application(argc, argv);
    if (application.isRunning())
        return 0;
    DebugOutput::install();

    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));

    QTranslator translator;
    loadQtCatalogue(translator);
    application.installTranslator(&translator);

    // Before the first connection: the secrets are read once, from the desktop's secret store
    // when it answers (it may ask the user to unlock it first).
    SecretStore::instance().open();
    carryOverCategorySwitch();

    try {
        MainWindow window;
        application.setActivationWindow(&window, true);
        window.show();
        return application.exec();
    } catch (const DatabaseSetupError &) {
        // Already shown to the user: the program does not run without its databases.
        return 1;
    }
}
