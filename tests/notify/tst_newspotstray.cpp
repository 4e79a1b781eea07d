#include "newspotstray.h"
#include "privatedisplay.h"
#include "privatesessionbus.h"
#include "testprofile.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QProcess>

#include <cstdio>

// What a desktop's tray offers on the session bus (the StatusNotifierWatcher of freedesktop's
// StatusNotifierItem scheme): where it is there, Qt puts its tray icons through it. It runs in a
// process of its own (this program, started with --tray-watcher), since Qt asks it with blocking
// calls; it prints the bus name of every icon that registers, one a line.
class TrayWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return registered; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service)
    {
        registered.append(service);
        std::printf("%s\n", qPrintable(service));
        std::fflush(stdout);
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);

private:
    QStringList registered;
};

// NewSpotsTray in a tray: Qt's own tray icon on a display and a bus of the test's own, with the
// tray host's part played by TrayWatcher, and the icon asked and clicked over D-Bus as a panel would.
class TestNewSpotsTray : public QObject
{
    Q_OBJECT

public:
    TestNewSpotsTray(PrivateSessionBus &bus, const QString &desktopFailure)
        : desktopFailure(desktopFailure)
        , bus(&bus)
    {
    }
    ~TestNewSpotsTray() override { PrivateSessionBus::stop(watcher); }

private:
    const QString desktopFailure;
    PrivateSessionBus *bus = nullptr;
    QProcess watcher;

    // The bus names of the icons registered so far, oldest first.
    QStringList registeredItems()
    {
        registeredLines += watcher.readAllStandardOutput();
        return QString::fromLatin1(registeredLines).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QByteArray registeredLines;
    const QIcon programIcon{QPixmap(QSize(32, 32))};
    const QList<FilterNewSpots> films{{7, QStringLiteral("HD films"), 12}, {9, QStringLiteral("<b>Linux</b>"), 3}};

    // Calls the tray icon of `service` as the panel does, and waits for the answer with the event
    // loop running (the icon answers from this thread).
    static QDBusMessage callItem(const QString &service, const QString &interface, const QString &method,
                                 const QVariantList &arguments)
    {
        QDBusMessage call
            = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"), interface, method);
        call.setArguments(arguments);
        QDBusPendingCallWatcher answer(QDBusConnection::sessionBus().asyncCall(call));
        QSignalSpy finished(&answer, &QDBusPendingCallWatcher::finished);
        if (!answer.isFinished())
            finished.wait();
        return answer.reply();
    }

    // The title of the icon's tool tip: the struct (icon name, pixmaps, title, description).
    static QString toolTipTitle(const QString &service)
    {
        const QDBusMessage reply
            = callItem(service, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                       {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("ToolTip")});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return QString();
        const auto toolTip = reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
        QString iconName, title, description;
        toolTip.beginStructure();
        toolTip >> iconName;
        toolTip.beginArray();
        while (!toolTip.atEnd()) {
            int width = 0, height = 0;
            QByteArray pixels;
            toolTip.beginStructure();
            toolTip >> width >> height >> pixels;
            toolTip.endStructure();
        }
        toolTip.endArray();
        toolTip >> title >> description;
        toolTip.endStructure();
        return title;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!PrivateDisplay::isInstalled())
            QSKIP("needs Xvfb (Debian package xvfb)");
        QVERIFY2(desktopFailure.isEmpty(), qPrintable(desktopFailure));
        QVERIFY(bus->awaitService(QStringLiteral("org.kde.StatusNotifierWatcher"), [this] {
            PrivateSessionBus::startDaemon(watcher, QCoreApplication::applicationFilePath(),
                                           {QStringLiteral("--tray-watcher")}, bus->environment());
        }));
        QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    }

    void init() { QSettings().clear(); }

    void theIconShowsTheCountAndAClickRaisesTheWindow()
    {
        NewSpotsTray tray(programIcon);
        QSignalSpy windowRequested(&tray, &NewSpotsTray::windowRequested);
        tray.show(films);
        QVERIFY(tray.isShown());
        QTRY_COMPARE(registeredItems().size(), 1);
        const QString item = registeredItems().first();

        const QString title = toolTipTitle(item);
        QVERIFY2(title.contains(QStringLiteral("15 nieuwe spots in gemelde filters")), qPrintable(title));
        QVERIFY2(title.contains(QStringLiteral("&lt;b&gt;Linux&lt;/b&gt; (3)")), qPrintable(title));

        tray.show({{9, QStringLiteral("Linux"), 4}});
        QVERIFY(toolTipTitle(item).contains(QStringLiteral("4 nieuwe spots")));

        const QDBusMessage click
            = callItem(item, QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"), {0, 0});
        QCOMPARE(click.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(windowRequested.size(), 1);
    }

    void nothingToShowOrTheSettingOffHidesTheIcon()
    {
        NewSpotsTray tray(programIcon);
        tray.show(films);
        QVERIFY(tray.isShown());
        tray.show({{7, QStringLiteral("HD films"), 0}});
        QVERIFY(!tray.isShown());
        QSettings().setValue(QStringLiteral("notifications"), false);
        tray.show(films);
        QVERIFY(!tray.isShown());
    }
};

// As TARNWICK_TEST_MAIN, but Qt must find the display and the bus when the application starts.
int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--tray-watcher") == 0) {
        QCoreApplication app(argc, argv);
        TrayWatcher watcher;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllContents)
            || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")))
            return 1;
        return app.exec();
    }
    TestProfile profile;
    PrivateSessionBus bus;
    PrivateDisplay display;
    QString failure;
    if (PrivateDisplay::isInstalled()) {
        failure = bus.start();
        if (failure.isEmpty())
            failure = display.start(bus.environment());
    }
    if (PrivateDisplay::isInstalled() && failure.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", display.name().toLatin1());
        // Qt's plain theme, whatever desktop the test runs in.
        for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME"})
            qunsetenv(name);
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    TestNewSpotsTray test(bus, failure);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_newspotstray.moc"
