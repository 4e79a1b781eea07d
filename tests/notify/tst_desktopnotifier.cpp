#include "desktopnotifier.h"
#include "privatenotificationserver.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>

// DesktopNotifier against a real notification server: Debian's dunst on a bus and a display of
// the test's own, with every call read back by dbus-monitor.
class TestDesktopNotifier : public QObject
{
    Q_OBJECT

private:
    PrivateNotificationServer server;
    bool serverStarted = false;
    int seenCalls = 0;
    static constexpr qint64 promptMs = 1000;

    const QList<FilterNewSpots> films{{7, QStringLiteral("HD films"), 12}, {9, QStringLiteral("Linux"), 3}};

    // The next `count` Notify calls after those already seen.
    QList<NotifyCall> nextCalls(int count)
    {
        const QList<NotifyCall> calls = server.calls(seenCalls + count);
        const QList<NotifyCall> next = calls.mid(seenCalls);
        seenCalls = int(calls.size());
        return next;
    }

    int displayed() const
    {
        return server.dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).value_or(QString()).toInt();
    }

    // Starts dunst for the first test that needs it: empty, or what failed.
    QString startServer()
    {
        if (serverStarted)
            return QString();
        serverStarted = true;
        return server.startServer();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!PrivateNotificationServer::isInstalled())
            QSKIP("needs dunst, dunstctl, Xvfb and dbus-monitor (Debian packages dunst, xvfb, dbus-bin)");
        const QString failure = server.startBus();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        QSettings().clear();
        if (serverStarted)
            QVERIFY(server.dunstctl({QStringLiteral("close-all")}));
    }

    void withoutABusNothingHappens()
    {
        const QString name = QStringLiteral("nowhere");
        {
            DesktopNotifier notifier(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), name),
                                     nullptr);
            QElapsedTimer timer;
            timer.start();
            notifier.notify(films);
            QVERIFY(timer.elapsed() < promptMs);
        }
        QDBusConnection::disconnectFromBus(name);
    }

    // The bus answers at once that nobody owns the name; that answer leaves nothing behind.
    void withoutAServerNothingWaits()
    {
        DesktopNotifier notifier;
        QSignalSpy activated(&notifier, &DesktopNotifier::filterActivated);
        QElapsedTimer timer;
        timer.start();
        notifier.notify(films);
        QVERIFY(timer.elapsed() < promptMs);
        QCOMPARE(nextCalls(1).size(), 1);
        notifier.notify(films);
        const QList<NotifyCall> second = nextCalls(1);
        QCOMPARE(second.size(), 1);
        QCOMPARE(second.first().replacesId, 0u);
        QVERIFY(activated.isEmpty());
    }

    // A notification that the setting holds back is never sent, not even later.
    void theSettingTurnsNotificationsOff()
    {
        DesktopNotifier notifier;
        QSettings().setValue(QStringLiteral("notifications"), false);
        notifier.notify({{1, QStringLiteral("Verborgen"), 5}});
        QSettings().setValue(QStringLiteral("notifications"), true);
        notifier.notify(films);
        const QList<NotifyCall> calls = nextCalls(1);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().body, QStringLiteral("HD films (12), Linux (3)"));
        QCOMPARE(server.calls(0).size(), seenCalls);
    }

    void aListWithoutNewSpotsShowsNothing()
    {
        DesktopNotifier notifier;
        notifier.notify({});
        notifier.notify({{1, QStringLiteral("Leeg"), 0}});
        notifier.notify(films);
        const QList<NotifyCall> calls = nextCalls(1);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().body, QStringLiteral("HD films (12), Linux (3)"));
    }

    void theNotificationNamesEveryFilterWithNewSpots()
    {
        const QString failure = startServer();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        DesktopNotifier notifier;
        notifier.notify({{7, QStringLiteral("HD films"), 12},
                         {8, QStringLiteral("Leeg"), 0},
                         {9, QStringLiteral("Linux & <BSD>"), 3}});
        const QList<NotifyCall> calls = nextCalls(1);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().appName, QStringLiteral("Tarnwick"));
        QCOMPARE(calls.first().replacesId, 0u);
        QCOMPARE(calls.first().icon, QStringLiteral("org.tarnwick.Tarnwick"));
        QCOMPARE(calls.first().summary, QStringLiteral("Nieuwe spots"));
        QCOMPARE(calls.first().body, QStringLiteral("HD films (12), Linux &amp; &lt;BSD&gt; (3)"));
        QCOMPARE(calls.first().actions, QStringList({QStringLiteral("default"), QStringLiteral("Openen")}));
        QTRY_COMPARE(displayed(), 1);
    }

    // The second list is given before the server answered the first: it waits for that answer.
    void aLaterNotificationReplacesTheFirst()
    {
        QVERIFY2(startServer().isEmpty(), "dunst did not start");
        DesktopNotifier notifier;
        notifier.notify(films);
        notifier.notify({{9, QStringLiteral("Linux"), 4}});
        notifier.notify({{9, QStringLiteral("Linux"), 5}});
        const QList<NotifyCall> calls = nextCalls(2);
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(0).replacesId, 0u);
        QVERIFY(calls.at(1).replacesId != 0);
        QCOMPARE(calls.at(1).body, QStringLiteral("Linux (5)"));
        QTRY_COMPARE(displayed(), 1);

        notifier.notify(films);
        const QList<NotifyCall> third = nextCalls(1);
        QCOMPARE(third.size(), 1);
        QCOMPARE(third.first().replacesId, calls.at(1).replacesId);
        QTRY_COMPARE(displayed(), 1);
    }

    void clickingOpensTheFirstNamedFilter()
    {
        QVERIFY2(startServer().isEmpty(), "dunst did not start");
        DesktopNotifier notifier;
        QSignalSpy activated(&notifier, &DesktopNotifier::filterActivated);
        notifier.notify(
            {{3, QStringLiteral("Leeg"), 0}, {7, QStringLiteral("HD films"), 12}, {9, QStringLiteral("Linux"), 3}});
        QCOMPARE(nextCalls(1).size(), 1);
        QTRY_COMPARE(displayed(), 1);
        // What a click on the notification does: dunst invokes its "default" action.
        QVERIFY(server.dunstctl({QStringLiteral("action"), QStringLiteral("0")}));
        QVERIFY(activated.wait());
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.first().first().toLongLong(), 7);
    }

    // A server that holds its name but answers nothing.
    void aStoppedServerHoldsNothingUp()
    {
        QVERIFY2(startServer().isEmpty(), "dunst did not start");
        DesktopNotifier notifier;
        server.pauseServer(true);
        QElapsedTimer timer;
        timer.start();
        notifier.notify(films);
        notifier.notify(films);
        QVERIFY(timer.elapsed() < promptMs);
        server.pauseServer(false);
        QCOMPARE(nextCalls(2).size(), 2);
    }
};

TARNWICK_TEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
