#include "demoserver.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "privatenotificationserver.h"
#include "settings.h"
#include "spotsmodel.h"
#include "tarnwick.h"
#include "testmain.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

// The watch features of the window as a user meets them, in one story: a search saved as a
// filter counts the spots that arrive in it and announces them through a real notification
// server (Debian's dunst, read back with dbus-monitor), its click opens the filter; a spotter
// hidden, a spot marked, the list sorted by a header; and all of it still there after a
// restart and after every header was downloaded again. The spots come from the demo corpus,
// served in-process, with new spots posted between download cycles.
class TestWatchWindow : public QObject
{
    Q_OBJECT

private:
    PrivateNotificationServer notifications;
    std::unique_ptr<DemoServer> demo;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QSignalSpy> cycles;
    QList<MessageBoxes::Message> shown;
    int seenCalls = 0;

    // Filled in as the story goes.
    QString word; // the search saved as a filter
    QString hiddenSpotter;
    QByteArray markedId;

    void openWindow()
    {
        window = std::make_unique<MainWindow>();
        auto *controller = window->findChild<Tarnwick *>();
        controller->setRefreshInterval(100);
        controller->setReconnectDelay(0);
        cycles = std::make_unique<QSignalSpy>(controller, &Tarnwick::spotsUpToDate);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // Waits for two more download cycles: the second began after anything posted before.
    void waitForCycles()
    {
        const qsizetype target = cycles->size() + 2;
        QTRY_VERIFY_WITH_TIMEOUT(cycles->size() >= target, 60000);
    }

    QTreeWidget *tree() const { return window->findChild<QTreeWidget *>(QStringLiteral("treeWidget")); }
    QTableView *list() const { return window->findChild<QTableView *>(QStringLiteral("tableView")); }
    QAction *action(const char *name) const { return window->findChild<QAction *>(QLatin1String(name)); }

    QTreeWidgetItem *topItem(const QString &text) const
    {
        const QList<QTreeWidgetItem *> found = tree()->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }

    // The children of "Mijn filters" as shown, with whether each is bold.
    QStringList filterTexts() const
    {
        QStringList texts;
        const QTreeWidgetItem *filters = topItem(QStringLiteral("Mijn filters"));
        for (int i = 0; filters && i < filters->childCount(); ++i)
            texts << filters->child(i)->text(0)
                    + (filters->child(i)->font(0).bold() ? QStringLiteral(" [vet]") : QString());
        return texts;
    }

    QStringList column(int which) const
    {
        QStringList values;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            values << list()->model()->index(row, which).data().toString();
        return values;
    }

    // Runs the dialog or menu that act() opens, once it is up, through handle().
    static void whileOpen(const std::function<void()> &act, const std::function<void(QWidget *)> &handle)
    {
        bool handled = false;
        const QObject running; // no answer once this call is over
        QTimer::singleShot(0, &running, [&] {
            QWidget *open = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                              : QApplication::activePopupWidget();
            if (open)
                handle(open);
            handled = open != nullptr;
        });
        act();
        QVERIFY(handled);
    }

    // The texts of the list's context menu at the row; triggers the one named `choose`, if any.
    QStringList contextMenu(int row, const QString &choose = {})
    {
        QStringList texts;
        const QRect cell = list()->visualRect(list()->model()->index(row, SpotsModel::TitleColumn));
        whileOpen([&] { Q_EMIT list()->customContextMenuRequested(cell.center()); },
                  [&](QWidget *open) {
                      auto *menu = qobject_cast<QMenu *>(open);
                      QAction *chosen = nullptr;
                      for (QAction *item : menu->actions()) {
                          texts << item->text();
                          if (item->text() == choose)
                              chosen = item;
                      }
                      menu->close();
                      if (chosen)
                          chosen->trigger();
                  });
        return texts;
    }

    QStringList hiddenSpottersShown()
    {
        QStringList names;
        whileOpen([&] { action("actionVerborgen_spotters")->trigger(); },
                  [&](QWidget *open) {
                      const auto *hidden = open->findChild<QListWidget *>();
                      for (int i = 0; i < hidden->count(); ++i)
                          names << hidden->item(i)->text();
                      qobject_cast<QDialog *>(open)->reject();
                  });
        return names;
    }

    // The Notify calls since the last look.
    QList<NotifyCall> newCalls(int atLeast)
    {
        const QList<NotifyCall> calls = notifications.calls(seenCalls + atLeast);
        const QList<NotifyCall> fresh = calls.mid(seenCalls);
        seenCalls = int(calls.size());
        return fresh;
    }

    void search(const QString &text)
    {
        window->findChild<QLineEdit *>(QStringLiteral("queryEdit"))->setText(text);
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("zoekButton")), Qt::LeftButton);
    }

    // Posts spots up to `last`, which the filter finds: the filter shows their count, and the
    // cycle that brought them gives one notification, the next cycle none.
    void arriveAndAnnounce(qint64 last)
    {
        search(word);
        const int before = list()->model()->rowCount();
        while (demo->corpus().spotCount() < last)
            demo->postArrival();
        waitForCycles();
        QTRY_VERIFY(list()->model()->rowCount() > before); // the search shown takes the new rows
        const QString counted = QStringLiteral("%1 (%2)").arg(word).arg(list()->model()->rowCount() - before);
        QTRY_COMPARE(filterTexts(), QStringList{counted + QStringLiteral(" [vet]")});
        const QList<NotifyCall> calls = newCalls(1);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().summary, QStringLiteral("Nieuwe spots"));
        QCOMPARE(calls.first().body, counted);
        waitForCycles();
        QCOMPARE(newCalls(0).size(), 0);
    }

    // The first spot still to come that the filter will find: its word in the title, by a
    // spotter that is not hidden.
    qint64 nextFound() const
    {
        const QRegularExpression inTitle(QStringLiteral("\\b%1\\b").arg(word),
                                         QRegularExpression::CaseInsensitiveOption);
        const auto found = [&](qint64 number) {
            const DemoCorpus::Spot spot = demo->corpus().spot(number);
            return !spot.isErotic() && QString::fromUtf8(spot.poster) != hiddenSpotter
                && inTitle.match(QString::fromUtf8(spot.title)).hasMatch();
        };
        qint64 next = demo->corpus().spotCount() + 1;
        while (!found(next) && next < demo->corpus().spotCount() + 1000)
            ++next;
        return found(next) ? next : 0;
    }

    // The stored data of the watch, as the window shows it: the filter without new spots, the
    // hidden spotter, the mark on the watch list.
    // Opens the saved filter: its spots are seen.
    void selectFilter()
    {
        tree()->setCurrentItem(topItem(QStringLiteral("Mijn filters"))->child(0));
        QTRY_COMPARE(filterTexts(), QStringList{word});
    }

    void checkWatchKept()
    {
        QCOMPARE(filterTexts(), QStringList{word});
        QCOMPARE(hiddenSpottersShown(), QStringList{hiddenSpotter});
        tree()->setCurrentItem(topItem(QStringLiteral("Bewaard")));
        QTRY_COMPARE(list()->model()->rowCount(), 1);
        QCOMPARE(list()->model()->index(0, 0).data(SpotsModel::MessageIdRole).toByteArray(), markedId);
        tree()->setCurrentItem(topItem(QStringLiteral("Alles")));
        QTRY_VERIFY(list()->model()->rowCount() > 0);
        QVERIFY(!column(SpotsModel::SpotterColumn).contains(hiddenSpotter));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!PrivateNotificationServer::isInstalled())
            QSKIP("needs dunst, dunstctl, Xvfb and dbus-monitor (Debian packages dunst, xvfb, dbus-bin)");
        QString failure = notifications.startBus();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        failure = notifications.startServer();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        DemoServer::Options options;
        options.corpus.spots = 300;
        options.arrivalSeconds = 0;
        demo = std::make_unique<DemoServer>(options);
        QVERIFY(demo->start());
        QSettings settings;
        settings.setValue(Settings::Key::server, QStringLiteral("127.0.0.1"));
        settings.setValue(Settings::Key::port, demo->port());
        settings.setValue(Settings::Key::maxSpots, 1000000);
        settings.setValue(Settings::Key::maxDays, 0);
        settings.setValue(Settings::Key::xzver, false);
        settings.setValue(Settings::Key::nick, QByteArray("Kijker"));
        MessageBoxes::setInterceptor([this](const MessageBoxes::Message &message) {
            shown.append(message);
            return true;
        });
    }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("QSql"))); }

    void aSavedSearchCountsAnnouncesAndOpens()
    {
        openWindow();
        waitForCycles();

        // The search: a word of the title of the first spot still to come that is not erotic.
        qint64 coming = demo->corpus().spotCount() + 1;
        const QRegularExpression longWord(QStringLiteral("[A-Za-z]{5,}"));
        while (demo->corpus().spot(coming).isErotic()
               || !longWord.match(QString::fromUtf8(demo->corpus().spot(coming).title)).hasMatch())
            ++coming;
        word = longWord.match(QString::fromUtf8(demo->corpus().spot(coming).title)).captured();
        search(word);

        whileOpen([&] { action("actionFilter_bewaren")->trigger(); },
                  [&](QWidget *open) {
                      QCOMPARE(open->findChildren<QLineEdit *>().at(0)->text(), word); // the name
                      QCOMPARE(open->findChildren<QLineEdit *>().at(1)->text(), word); // the search
                      open->findChild<QCheckBox *>()->setChecked(true); // "Melden"
                      qobject_cast<QDialog *>(open)->accept();
                  });
        QCOMPARE(filterTexts(), QStringList{word});

        // A cycle that brings nothing announces nothing.
        waitForCycles();
        QCOMPARE(filterTexts(), QStringList{word});
        QCOMPARE(newCalls(0).size(), 0);

        arriveAndAnnounce(coming);

        // A click on the notification opens the filter: its spots are seen.
        tree()->setCurrentItem(topItem(QStringLiteral("Alles")));
        QVERIFY(notifications.dunstctl({QStringLiteral("action"), QStringLiteral("0")}));
        QTRY_COMPARE(tree()->currentItem()->parent(), topItem(QStringLiteral("Mijn filters")));
        auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QCOMPARE(tabs->tabText(0), word);
        QTRY_COMPARE(filterTexts(), QStringList{word});

        // Also while the filter is the current item, with a search in the list.
        const qint64 further = nextFound();
        QVERIFY(further > 0);
        arriveAndAnnounce(further);
        QVERIFY(notifications.dunstctl({QStringLiteral("action"), QStringLiteral("0")}));
        QTRY_COMPARE(tabs->tabText(0), word);
        QTRY_COMPARE(filterTexts(), QStringList{word});

        // Hiding the spotter of the first row takes all of that spotter's rows away.
        hiddenSpotter = list()->model()->index(0, SpotsModel::SpotterColumn).data().toString();
        shown.clear();
        const QStringList menu = contextMenu(0, QStringLiteral("Spotter verbergen"));
        QVERIFY2(menu.contains(QStringLiteral("Bewaren")), qPrintable(menu.join(QLatin1Char(','))));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.contains(hiddenSpotter));
        QVERIFY(!column(SpotsModel::SpotterColumn).contains(hiddenSpotter));
        QCOMPARE(hiddenSpottersShown(), QStringList{hiddenSpotter});

        // Ctrl+B marks the current row: the watch list holds it, the menu offers to unmark it.
        tree()->setCurrentItem(topItem(QStringLiteral("Alles")));
        QTRY_VERIFY(list()->model()->rowCount() > 1);
        list()->setCurrentIndex(list()->model()->index(1, SpotsModel::TitleColumn));
        markedId = list()->model()->index(1, 0).data(SpotsModel::MessageIdRole).toByteArray();
        QCOMPARE(action("actionBewaren")->shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
        action("actionBewaren")->trigger();
        QVERIFY(contextMenu(1).contains(QStringLiteral("Niet meer bewaren")));
        tree()->setCurrentItem(topItem(QStringLiteral("Bewaard")));
        QTRY_COMPARE(list()->model()->rowCount(), 1);
        QCOMPARE(list()->model()->index(0, 0).data(SpotsModel::MessageIdRole).toByteArray(), markedId);

        // A click on the spotter header sorts by spotter: each spotter's rows together.
        tree()->setCurrentItem(topItem(QStringLiteral("Alles")));
        QHeaderView *header = list()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(SpotsModel::SpotterColumn) + 5, header->height() / 2));
        QCOMPARE(header->sortIndicatorSection(), int(SpotsModel::SpotterColumn));
        QStringList runs;
        for (const QString &spotter : column(SpotsModel::SpotterColumn)) {
            if (runs.isEmpty() || runs.last() != spotter) {
                QVERIFY2(!runs.contains(spotter), qPrintable(spotter));
                runs << spotter;
            }
        }
        QVERIFY(runs.size() > 1);
    }

    void theWatchOutlivesARestartAndANewDownload()
    {
        QVERIFY(!word.isEmpty());
        // Spots announced but not looked at are not announced again after a restart.
        const qint64 unseen = nextFound();
        QVERIFY(unseen > 0);
        arriveAndAnnounce(unseen);
        const QStringList counted = filterTexts();
        window.reset();
        openWindow();
        waitForCycles();
        QTRY_COMPARE(filterTexts(), counted);
        QCOMPARE(newCalls(0).size(), 0);
        selectFilter();
        window.reset();
        openWindow();
        checkWatchKept();

        shown.clear();
        action("actionHeaders_verwijderen_en_opnieuw_downloaden")->trigger();
        QCOMPARE(shown.size(), 1); // the question, answered yes
        waitForCycles();
        checkWatchKept();
        // Downloading everything again brings nothing new to the filter; what arrives after it does.
        QCOMPARE(newCalls(0).size(), 0);
        const qint64 after = nextFound();
        QVERIFY(after > 0);
        arriveAndAnnounce(after);
        window.reset();
    }
};

TARNWICK_TEST_MAIN(TestWatchWindow)
#include "tst_watchwindow.moc"
