#include "databasesetuperror.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "settings.h"
#include "settingsdialog.h"
#include "testmain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QList<MessageBoxes::Message> shown;

    static void configure(bool ero)
    {
        QSettings settings;
        settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("port"), 1);
        settings.setValue(QStringLiteral("nick"), QByteArray("Anoniempje"));
        settings.setValue(QStringLiteral("ero"), ero);
    }

    static QTreeWidget *tree(MainWindow &window)
    {
        return window.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
    }

    static QAction *action(MainWindow &window, const char *name)
    {
        return window.findChild<QAction *>(QLatin1String(name));
    }

    // Answers the modal dialog that opens next, once the event loop runs.
    static void rejectNextDialog(QString *seenClass)
    {
        QTimer::singleShot(0, [seenClass] {
            QWidget *modal = QApplication::activeModalWidget();
            *seenClass = modal ? QString::fromLatin1(modal->metaObject()->className()) : QString();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        });
    }

private Q_SLOTS:
    void init()
    {
        // A connection still in use when the controller closes it would lose the list's queries.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QSql")));
        QSettings().clear();
        shown.clear();
        MessageBoxes::setInterceptor([this](const MessageBoxes::Message &message) {
            shown.append(message);
            return false;
        });
    }

    void theCategoryTreeCarriesEveryCode()
    {
        configure(true);
        MainWindow window;
        QTreeWidget *categories = tree(window);
        QCOMPARE(categories->headerItem()->text(0), QStringLiteral("Categorieën"));
        const QStringList topTexts = {QStringLiteral("Nieuw"), QStringLiteral("Alles"), QStringLiteral("Beeld"),
                                      QStringLiteral("Geluid"), QStringLiteral("Spelletjes"),
                                      QStringLiteral("Applicaties"), QStringLiteral("Erotiek")};
        const QList<int> topCodes = {-1, 0, 1, 2, 3, 4, 9};
        const QList<int> childCounts = {0, 0, 10, 6, 14, 7, 5};
        QCOMPARE(categories->topLevelItemCount(), topTexts.size());
        for (int i = 0; i < topTexts.size(); ++i) {
            QTreeWidgetItem *item = categories->topLevelItem(i);
            QCOMPARE(item->text(0), topTexts[i]);
            QCOMPARE(item->data(0, Qt::UserRole).toInt(), topCodes[i]);
            QCOMPARE(item->childCount(), childCounts[i]);
            QVERIFY(item->childCount() == 0 || item->isExpanded());
        }
        QTreeWidgetItem *games = categories->topLevelItem(4);
        QCOMPARE(games->child(11)->text(0), QStringLiteral("Phone"));
        QCOMPARE(games->child(11)->data(0, Qt::UserRole).toInt(), 313);
        QTreeWidgetItem *apps = categories->topLevelItem(5);
        QCOMPARE(apps->child(3)->text(0), QStringLiteral("Phone"));
        QCOMPARE(apps->child(3)->data(0, Qt::UserRole).toInt(), 404);
        QTreeWidgetItem *erotic = categories->topLevelItem(6);
        QCOMPARE(erotic->child(0)->text(0), QStringLiteral("Nieuw"));
        QCOMPARE(erotic->child(0)->data(0, Qt::UserRole).toInt(), -9);
        QCOMPARE(erotic->child(4)->data(0, Qt::UserRole).toInt(), 903);
    }

    void theEroticItemFollowsTheSetting()
    {
        configure(false);
        {
            MainWindow hidden;
            QVERIFY(tree(hidden)->topLevelItem(6)->isHidden());
        }
        configure(true);
        MainWindow shownWindow;
        QVERIFY(!tree(shownWindow)->topLevelItem(6)->isHidden());
    }

    void theFrameHasItsMenusAndList()
    {
        configure(false);
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick"));
        QVERIFY(!window.windowIcon().isNull());
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QVERIFY(tabs->tabsClosable());
        QCOMPARE(tabs->tabText(0), QStringLiteral("Nieuw"));
        auto *list = window.findChild<QTableView *>(QStringLiteral("tableView"));
        QVERIFY(list->alternatingRowColors());
        QVERIFY(!list->verticalHeader()->isVisible());
        QCOMPARE(list->gridStyle(), Qt::NoPen);

        QStringList menus;
        for (QAction *menu : window.menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus, QStringList({QStringLiteral("Programma"), QStringLiteral("Opties"), QStringLiteral("Help")}));
        QStringList options;
        for (QAction *item : window.menuBar()->actions().at(1)->menu()->actions())
            options << item->objectName();
        QCOMPARE(options, QStringList({QStringLiteral("actionConfiguratie"), QStringLiteral("actionDatabase_optimalizeren"),
                                       QStringLiteral("actionHeaders_verwijderen_en_opnieuw_downloaden")}));
    }

    void firstRunAsksForTheSettingsBeforeTheWindow()
    {
        QString dialogClass;
        rejectNextDialog(&dialogClass);
        MainWindow window;
        QCOMPARE(dialogClass, QStringLiteral("SettingsDialog"));
        QCOMPARE(window.size(), QSize(800, 600));
        QVERIFY(!Settings::isConfigured());
    }

    void configurationReappliesTheEroticSetting()
    {
        configure(false);
        MainWindow window;
        QSettings().setValue(QStringLiteral("ero"), true);
        QString dialogClass;
        rejectNextDialog(&dialogClass);
        action(window, "actionConfiguratie")->trigger();
        QCOMPARE(dialogClass, QStringLiteral("SettingsDialog"));
        QVERIFY(!tree(window)->topLevelItem(6)->isHidden());
    }

    void theOverviewTabCannotBeClosed()
    {
        configure(false);
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        Q_EMIT tabs->tabCloseRequested(0);
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Overzicht kan niet gesloten worden"));
    }

    void theAboutBoxNamesTheVersion()
    {
        configure(false);
        MainWindow window;
        action(window, "actionOver_Tarnwick")->trigger();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::About);
        QCOMPARE(shown.first().title, QStringLiteral("Tarnwick v0.3"));
        QCOMPARE(shown.first().text, QStringLiteral("Gemaakt door Ferrin"));
    }

    void anUnusableDataDirectoryIsShownAndEndsStartUp()
    {
        configure(false);
        const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(QDir(dataDir).removeRecursively());
        QDir().mkpath(QFileInfo(dataDir).path());
        QFile blocker(dataDir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        QVERIFY_THROWS_EXCEPTION(DatabaseSetupError, MainWindow());
        QVERIFY(QFile::remove(dataDir));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::Critical);
        QCOMPARE(shown.first().title, QStringLiteral("Error"));
        QCOMPARE(shown.first().text, QStringLiteral("Fout bij aanmaken database map"));
    }

    void geometrySurvivesARestart()
    {
        configure(false);
        {
            MainWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.resize(640, 480);
            action(window, "actionAfsluiten")->trigger();
            QVERIFY(!window.isVisible());
        }
        QVERIFY(!QSettings().value(QStringLiteral("geometry")).toByteArray().isEmpty());
        MainWindow restored;
        QCOMPARE(restored.size(), QSize(640, 480));
    }
};

TARNWICK_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
