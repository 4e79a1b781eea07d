// scripts/run --nzbget as a user meets it: the window on the demo server hands a small demo
// spot to a private NZBGet whose news server is that demo server, and shows it end "Klaar".
#include "demoserver.h"
#include "downloadwatch.h"
#include "mainwindow.h"
#include "nzbgetdaemon.h"
#include "settings.h"
#include "tarnwick.h"
#include "testmain.h"
#include "windowhandoff.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>

#include <memory>

class TestDemoHandOff : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void smallDemoSpotEndsDone();
};

void TestDemoHandOff::smallDemoSpotEndsDone()
{
    if (!NzbGetDaemon::installed())
        QSKIP("needs NZBGet (Debian package nzbget, which scripts/test installs)");
    constexpr int timeoutMs = 60000;
    QElapsedTimer clock;
    clock.start();
    DemoServer::Options options;
    options.corpus.spots = 40;
    options.arrivalSeconds = 0;
    DemoServer server(options);
    QVERIFY(server.start());
    // As scripts/run --nzbget sets it up.
    NzbGetDaemon nzbget;
    QString why;
    QVERIFY2(nzbget.start(NzbGetDaemon::newsServer(server.port(), 4)
                              + NzbGetDaemon::Options{{"ParCheck", "manual"}, {"Unpack", "no"}},
                          &why),
             qPrintable(why));
    QSettings settings;
    settings.setValue(Settings::Key::server, QStringLiteral("127.0.0.1"));
    settings.setValue(Settings::Key::port, server.port());
    settings.setValue(Settings::Key::maxSpots, 1000000);
    settings.setValue(Settings::Key::maxDays, 0);
    settings.setValue(Settings::Key::nick, QByteArray("Demo"));
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::NzbGet;
    handOff.nzbgetUrl = nzbget.url();
    handOff.nzbgetUser = NzbGetDaemon::user;
    handOff.nzbgetPassword = nzbget.password();
    Settings::setNzbHandOff(handOff);

    MainWindow window;
    QSignalSpy upToDate(window.findChild<Tarnwick *>(), &Tarnwick::spotsUpToDate);
    window.findChild<DownloadWatch *>()
        ->poller(JobPoller::Downloader::NzbGet)
        .setIntervals(std::chrono::milliseconds(250), std::chrono::milliseconds(2000));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(upToDate.wait(timeoutMs));

    QElapsedTimer handedOff;
    handedOff.start();
    QLabel *state = handOffFromWindow(window, server.corpus().spot(10).key, timeoutMs);
    QVERIFY(state);
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), QStringLiteral("Download: Klaar"), timeoutMs);
    qInfo("handed off and done in %lld ms, the whole test %lld ms", handedOff.elapsed(), clock.elapsed());
}

TARNWICK_TEST_MAIN(TestDemoHandOff)
#include "tst_demohandoff.moc"
