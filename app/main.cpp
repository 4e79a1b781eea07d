#include "databasesetuperror.h"
#include "mainwindow.h"
#include "singleapplication.h"

#include <QTranslator>

int main(int argc, char *argv[])
{
    // The web views of the spot tabs need a shared OpenGL context, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    SingleApplication application(argc, argv);
    if (application.isRunning())
        return 0;

    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));

    // Qt's own texts in Dutch; without the file they stay English. Empty (not null) delimiters
    // and suffix: Qt would otherwise fall back to "qt_nl", "qt.qm" and "qt".
    QTranslator translator;
    (void)translator.load(QStringLiteral("qt_nl.qm"), QCoreApplication::applicationDirPath(), QStringLiteral(""),
                          QStringLiteral(""));
    application.installTranslator(&translator);

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
