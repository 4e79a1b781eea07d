#include "databasesetuperror.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "newsserver.h"
#include "settings.h"
#include "settingsdialog.h"
#include "spotnntp.h"
#include "spotstore.h"
#include "tarnwick.h"
#include "testmain.h"

#include <QAction>
#include <QPointer>
#include <QLineEdit>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
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
    bool questionAnswer = false;
    // A server that accepts connections and never says a word: the window's controller
    // connects to it and waits, so nothing but the test changes the window.
    NewsServer silentServer;

    void configure(bool ero)
    {
        QSettings settings;
        settings.setValue(QStringLiteral("server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("port"), silentServer.port());
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

    static Tarnwick *controllerOf(MainWindow &window) { return window.findChild<Tarnwick *>(); }

    // Spots stored before the window opens: 3 in "Beeld", 2 in "Geluid", one erotic.
    static void storeSpots()
    {
        SpotStore store;
        const QList<QPair<int, QByteArray>> spots
            = {{1, "abc film"}, {1, "Beeld twee"}, {1, "ABC drie"}, {2, "muziek"}, {2, "meer muziek abc"}};
        for (const auto &[cat, title] : spots)
            QVERIFY(store.spots().insertSpot(
                        SpotTable::Spots, {cat, cat * 100, 1298000000, title, "spotter", QStringLiteral(""), title, ""})
                    == InsertResult::Inserted);
        QVERIFY(store.spots().insertSpot(SpotTable::EroticSpots,
                                         {9, 900, 1298000000, QByteArray("abc ero"), "s", QStringLiteral(""), "e", ""})
                == InsertResult::Inserted);
    }

    static int rows(const char *table)
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("spots")));
        query.exec(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table));
        return query.next() ? query.value(0).toInt() : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        silentServer.setGreeting(QByteArray());
        QVERIFY(silentServer.start());
    }

    void init()
    {
        // A connection still in use when the controller closes it would lose the list's queries.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QSql")));
        QSettings().clear();
        shown.clear();
        questionAnswer = false;
        MessageBoxes::setInterceptor([this](const MessageBoxes::Message &message) {
            shown.append(message);
            return questionAnswer;
        });
    }

    void cleanup()
    {
        // The next test starts with empty databases.
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }

    void choosingACategoryFiltersTheList()
    {
        storeSpots();
        configure(true);
        MainWindow window;
        QTreeWidgetItem *pictures = tree(window)->topLevelItem(2);
        tree(window)->setCurrentItem(pictures);
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("Beeld"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("3 resultaten in categorie 'Beeld'"));
        auto *list = window.findChild<QTableView *>(QStringLiteral("tableView"));
        QCOMPARE(list->model()->rowCount(), 3);

        tree(window)->setCurrentItem(tree(window)->topLevelItem(3)->child(0));
        QCOMPARE(tabs->tabText(0), QStringLiteral("MP3"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("2 resultaten in categorie 'MP3'"));

        tree(window)->setCurrentItem(tree(window)->topLevelItem(6));
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 0).data(Qt::UserRole).toInt(), -1);
    }

    void searchingFindsTitlesAndNamesTheTab()
    {
        storeSpots();
        configure(false);
        MainWindow window;
        window.findChild<QLineEdit *>(QStringLiteral("queryEdit"))->setText(QStringLiteral("abc"));
        QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("zoekButton")), Qt::LeftButton);
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("Zoekresultaten: abc"));
        // Case is ignored, erotic spots are never found.
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("3 resultaten voor zoekopdracht 'abc'"));

        auto *query = window.findChild<QLineEdit *>(QStringLiteral("queryEdit"));
        query->setText(QStringLiteral("muziek"));
        QTest::keyClick(query, Qt::Key_Return);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Zoekresultaten: muziek"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("2 resultaten voor zoekopdracht 'muziek'"));
    }

    void deletingNeedsAYes()
    {
        storeSpots();
        configure(false);
        Settings::setLastHeader(500);
        MainWindow window;
        action(window, "actionHeaders_verwijderen_en_opnieuw_downloaden")->trigger();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::Question);
        QCOMPARE(shown.first().title, QStringLiteral("Weet je het zeker?"));
        QCOMPARE(shown.first().text,
                 QStringLiteral("Inhoud van database verwijderen, en opnieuw alle headers downloaden?"));
        QCOMPARE(rows("spots"), 5);
        QCOMPARE(Settings::lastHeader(), 500);

        QPointer<SpotNNTP> firstClient = window.findChild<SpotNNTP *>();
        QVERIFY(firstClient);
        questionAnswer = true;
        QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);
        action(window, "actionHeaders_verwijderen_en_opnieuw_downloaden")->trigger();
        QCOMPARE(rows("spots"), 0);
        QCOMPARE(rows("erospots"), 0);
        QCOMPARE(Settings::lastHeader(), 0);
        QVERIFY(messages.contains({QStringLiteral("Database verwijderd!")}));
        // The download starts again with a new client.
        QTRY_VERIFY(firstClient.isNull());
        QCOMPARE(window.findChildren<SpotNNTP *>().size(), 1);
    }

    void optimisingReportsInTheStatusBar()
    {
        configure(false);
        MainWindow window;
        action(window, "actionDatabase_optimalizeren")->trigger();
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Database geoptimalizeerd!"));
    }

    void configurationClearsTheCommentIndexOnlyForANewServer()
    {
        configure(false);
        Settings::setLastCommentsHeader(7);
        MainWindow window;
        QSqlQuery insert(QSqlDatabase::database(QStringLiteral("commentlist")));
        QVERIFY(insert.exec(QStringLiteral("INSERT INTO msgnrs(post,nrs) VALUES ('k',x'00000001')")));
        QString dialogClass;
        rejectNextDialog(&dialogClass);
        action(window, "actionConfiguratie")->trigger();
        QCOMPARE(controllerOf(window)->commentNumbers(QStringLiteral("k")), QList<quint32>{1});

        Settings::setLastCommentsHeader(0);
        QTRY_COMPARE(window.findChildren<SpotNNTP *>().size(), 1);
        QPointer<SpotNNTP> firstClient = window.findChild<SpotNNTP *>();
        rejectNextDialog(&dialogClass);
        action(window, "actionConfiguratie")->trigger();
        QVERIFY(controllerOf(window)->commentNumbers(QStringLiteral("k")).isEmpty());
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Instellingen gewijzigd"));
        QTRY_VERIFY(firstClient.isNull());
        QCOMPARE(window.findChildren<SpotNNTP *>().size(), 1);
    }

    void controllerMessagesReachTheUser()
    {
        configure(false);
        MainWindow window;
        Tarnwick *controller = controllerOf(window);
        Q_EMIT controller->notice(0, QStringLiteral("Bezig met binnenhalen van nieuwe headers"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Bezig met binnenhalen van nieuwe headers"));
        Q_EMIT controller->error(0, QStringLiteral("Wachtwoord onjuist. Controleer de instellingen"));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::Critical);
        QCOMPARE(shown.first().title, QStringLiteral("Error"));
        QCOMPARE(shown.first().text, QStringLiteral("Wachtwoord onjuist. Controleer de instellingen"));
    }

    void theProgressBarFollowsTheHeaderDownload()
    {
        configure(false);
        MainWindow window;
        window.show();
        auto *bar = window.statusBar()->findChild<QProgressBar *>();
        QVERIFY(bar);
        QVERIFY(!bar->isVisible());
        Q_EMIT controllerOf(window)->headerProgress(40);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->value(), 40);
        Q_EMIT controllerOf(window)->headerDownloadStopped();
        QVERIFY(!bar->isVisible());
    }

    void theDetailsProgressShowsUntilDone()
    {
        configure(false);
        MainWindow window;
        window.show();
        auto *label = window.statusBar()->findChild<QLabel *>(QStringLiteral("detailsStatus"));
        QVERIFY(label);
        QVERIFY(!label->isVisible());
        window.onDetailsProgress(12000, 200000);
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("Spotdetails 12.000 van 200.000"));
        window.onDetailsProgress(200000, 200000);
        QVERIFY(!label->isVisible());
    }

    void theCategoryTreeCarriesEveryCode()
    {
        configure(true);
        MainWindow window;
        QTreeWidget *categories = tree(window);
        QCOMPARE(categories->headerItem()->text(0), QStringLiteral("Categorieën"));
        const QStringList topTexts
            = {QStringLiteral("Nieuw"),  QStringLiteral("Alles"),      QStringLiteral("Beeld"),
               QStringLiteral("Geluid"), QStringLiteral("Spelletjes"), QStringLiteral("Applicaties"),
               QStringLiteral("Erotiek")};
        const QList<int> topCodes = {-1, 0, 1, 2, 3, 4, 9};
        const QList<int> childCounts = {0, 0, 10, 6, 14, 7, 5};
        // The watch list and the saved filters follow the categories.
        QCOMPARE(categories->topLevelItemCount(), topTexts.size() + 2);
        QCOMPARE(categories->topLevelItem(7)->text(0), QStringLiteral("Bewaard"));
        QCOMPARE(categories->topLevelItem(8)->text(0), QStringLiteral("Mijn filters"));
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
        QCOMPARE(menus,
                 QStringList({QStringLiteral("Programma"), QStringLiteral("Opties"), QStringLiteral("Spots"),
                              QStringLiteral("Help")}));
        QStringList options;
        for (QAction *item : window.menuBar()->actions().at(1)->menu()->actions())
            options << item->objectName();
        QCOMPARE(options,
                 QStringList({QStringLiteral("actionConfiguratie"), QStringLiteral("actionDatabase_optimalizeren"),
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

    // A click opens a spot once, behind the list; a double click brings it to the front;
    // closing a spot tab removes exactly that one, and the spot can be opened again.
    void spotTabsOpenOnceAndClose()
    {
        configure(false);
        storeSpots();
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        auto *list = window.findChild<QTableView *>(QStringLiteral("tableView"));
        QAbstractItemModel *spots = list->model();
        tree(window)->setCurrentItem(tree(window)->topLevelItem(1)); // "Alles"
        QCOMPARE(spots->rowCount(), 5);
        const auto row = [&](int number) { return spots->index(number, 2); };
        Q_EMIT list->clicked(row(0));
        Q_EMIT list->clicked(row(0));
        Q_EMIT list->clicked(row(1));
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->tabText(1), row(0).data().toString());
        Q_EMIT list->doubleClicked(row(1));
        QCOMPARE(tabs->currentIndex(), 2);

        Q_EMIT tabs->tabCloseRequested(1);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), row(1).data().toString());
        Q_EMIT list->clicked(row(0));
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(2), row(0).data().toString());

        // "Tabblad sluiten" (Ctrl+W) closes the tab in front.
        QAction *closeTab = action(window, "actionTabblad_sluiten");
        QCOMPARE(closeTab->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
        tabs->setCurrentIndex(1);
        closeTab->trigger();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), row(0).data().toString());
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
