// A spot followed to the end of its download, with real parts only: INN serves a release posted
// as yEnc binaries, its NZB and the spot naming it; Tarnwick's window hands the spot to a
// private NZBGet that downloads from that INN, and shows what NZBGet made of it.
#include "articlefeed.h"
#include "binaryrelease.h"
#include "democorpus.h"
#include "downloadwatch.h"
#include "innserver.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "nzbgetdaemon.h"
#include "privatenotificationserver.h"
#include "settings.h"
#include "spotsmodel.h"
#include "tarnwick.h"
#include "testcertificate.h"
#include "testmain.h"
#include "windowhandoff.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeWidget>

#include <memory>
#include <unistd.h>

namespace {

const QByteArray binaryGroup = "alt.binaries.tarnwick";
constexpr int downloadTimeoutMs = 60000;

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// The file of that name somewhere under the folder; empty when there is none.
QByteArray fileUnder(const QString &folder, const QByteArray &name)
{
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (files.fileName() == QString::fromLatin1(name)) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
    }
    return {};
}

} // namespace

class TestDownloadEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void handedOffSpotEndsDoneWithItsFiles();
    void spotWithAMissingArticleFailsWithNzbGetsReason();
    void spotHandedOffTwiceIsAskedAndDuplicate();
    void statesSurviveARestart();

private:
    void openWindow();
    // Opens the spot's tab from the list and clicks its "Downloaden"; the tab's state label.
    QLabel *handOff(const DemoCorpus::Spot &spot);
    QString downloadsItemText(const DemoCorpus::Spot &spot) const;

    QElapsedTimer clock;
    PrivateNotificationServer notifications;
    std::unique_ptr<InnServer> inn;
    std::unique_ptr<NzbGetDaemon> nzbget;
    std::unique_ptr<MainWindow> window;
    const DemoCorpus corpus{{DemoCorpus::Options().seed, 6, 0}};
    QList<DemoCorpus::Spot> spots; // the two spots handed off: complete, one article missing
    QList<BinaryRelease> releases;
    QList<MessageBoxes::Message> shown;
};

void TestDownloadEnd::initTestCase()
{
    clock.start();
    if (!InnServer::installed() || !NzbGetDaemon::installed())
        QSKIP("needs INN and NZBGet (Debian packages inn2 and nzbget, which scripts/test installs)");
    if (geteuid() != 0)
        QSKIP("INN's servers run only as root (they switch to the user news) or as news");
    if (PrivateNotificationServer::isInstalled()) {
        QString failure = notifications.startBus();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        failure = notifications.startServer();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    // Two spots of the corpus whose NZB is one article: each carries a release of its own.
    for (qint64 number = 1; number <= corpus.spotCount() && spots.size() < 2; ++number) {
        const DemoCorpus::Spot spot = corpus.spot(number);
        if (!spot.isErotic() && spot.nzbMessageIds.size() == 1)
            spots += spot;
    }
    QCOMPARE(spots.size(), 2);
    releases += BinaryRelease("complete",
                              {{"een.bin", randomBytes(450000, 1)},
                               {"twee.bin", randomBytes(300001, 2)},
                               {"drie.dat", randomBytes(120000, 3)}},
                              200000, binaryGroup);
    releases += BinaryRelease("incomplete", {{"vier.bin", randomBytes(500000, 4)}}, 200000, binaryGroup);

    QList<QByteArray> articles;
    for (qint64 number = 1; number <= corpus.spotCount(); ++number) {
        const DemoCorpus::Spot spot = corpus.spot(number);
        articles += corpus.spotArticle(spot);
    }
    for (qsizetype index = 0; index < spots.size(); ++index) {
        articles += corpus.nzbArticles(spots.at(index), releases.at(index).nzb);
        articles += releases.at(index).articles;
    }
    articles.removeOne(releases.at(1).articles.at(1)); // the second part of "vier.bin" never reached the server

    TestCertificate certificate = TestCertificate::generate(QStringLiteral("localhost"));
    inn = std::make_unique<InnServer>();
    QVERIFY2(
        inn->start({DemoCorpus::spotGroup, DemoCorpus::commentGroup, "alt.binaries.ftd", binaryGroup}, certificate),
        qPrintable(inn->output()));
    ArticleFeed feed;
    QVERIFY2(feed.open(inn->feedPort()) && feed.send(articles),
             qPrintable(feed.error() + QLatin1Char('\n') + inn->output()));
    feed.close();
    const quint16 reader = inn->startReader(InnServer::Reader::Plain);
    QVERIFY2(reader != 0, qPrintable(inn->output()));

    nzbget = std::make_unique<NzbGetDaemon>();
    QString why;
    QVERIFY2(nzbget->start(NzbGetDaemon::newsServer(reader, 2)
                               + NzbGetDaemon::Options{{"ArticleRetries", "0"}, {"ArticleInterval", "0"}},
                           &why),
             qPrintable(why));

    QSettings settings;
    settings.setValue(Settings::Key::server, QStringLiteral("127.0.0.1"));
    settings.setValue(Settings::Key::port, reader);
    settings.setValue(Settings::Key::maxSpots, 1000000);
    settings.setValue(Settings::Key::maxDays, 0);
    settings.setValue(Settings::Key::xzver, false);
    settings.setValue(Settings::Key::nick, QByteArray("Kijker"));
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::NzbGet;
    handOff.nzbgetUrl = nzbget->url();
    handOff.nzbgetUser = NzbGetDaemon::user;
    handOff.nzbgetPassword = nzbget->password();
    handOff.categories.insert(1, QStringLiteral("Films"));
    Settings::setNzbHandOff(handOff);
    MessageBoxes::setInterceptor([this](const MessageBoxes::Message &message) {
        shown.append(message);
        return true;
    });
    qInfo("INN and NZBGet up, %lld articles fed, in %lld ms", qint64(articles.size()), clock.elapsed());
    openWindow();
}

void TestDownloadEnd::cleanupTestCase()
{
    window.reset();
    nzbget.reset();
    inn.reset();
    qInfo("the whole test took %lld ms", clock.elapsed());
}

void TestDownloadEnd::openWindow()
{
    window = std::make_unique<MainWindow>();
    auto *controller = window->findChild<Tarnwick *>();
    QSignalSpy upToDate(controller, &Tarnwick::spotsUpToDate);
    window->findChild<DownloadWatch *>()
        ->poller(JobPoller::Downloader::NzbGet)
        .setIntervals(std::chrono::milliseconds(250), std::chrono::milliseconds(2000));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(upToDate.wait(downloadTimeoutMs));
}

QLabel *TestDownloadEnd::handOff(const DemoCorpus::Spot &spot)
{
    return handOffFromWindow(*window, spot.key, downloadTimeoutMs);
}

QString TestDownloadEnd::downloadsItemText(const DemoCorpus::Spot &spot) const
{
    auto *tree = window->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
    const QList<QTreeWidgetItem *> top = tree->findItems(QStringLiteral("Downloads"), Qt::MatchExactly);
    for (int i = 0; !top.isEmpty() && i < top.first()->childCount(); ++i) {
        QTreeWidgetItem *item = top.first()->child(i);
        if (item->data(0, Qt::UserRole + 3).toByteArray() == spot.key)
            return item->text(0);
    }
    return {};
}

// NZBGet fetches every part from INN, joins the files, and its history says SUCCESS: the tab,
// the tree and a desktop notification say "Klaar", and the files are the ones posted.
void TestDownloadEnd::handedOffSpotEndsDoneWithItsFiles()
{
    QElapsedTimer timer;
    timer.start();
    QLabel *state = handOff(spots.at(0));
    QVERIFY(state);
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), QStringLiteral("Download: Klaar"), downloadTimeoutMs);
    qInfo("handed off and done in %lld ms", timer.elapsed());
    QVERIFY(downloadsItemText(spots.at(0)).startsWith(QStringLiteral("Klaar \u2013 ")));
    // The list marks the spot, its state as the tooltip of its row.
    auto *list = window->findChild<QTableView *>(QStringLiteral("tableView"));
    for (int at = 0; at < list->model()->rowCount(); ++at) {
        const QModelIndex date = list->model()->index(at, SpotsModel::DateColumn);
        const bool handedOff = date.data(SpotsModel::MessageIdRole).toByteArray() == spots.at(0).key;
        QCOMPARE(date.data(Qt::ToolTipRole).toString(), handedOff ? QStringLiteral("Klaar") : QString());
        QCOMPARE(date.data(Qt::DecorationRole).isValid(), handedOff);
    }
    for (const BinaryRelease::File &file : releases.at(0).files)
        QVERIFY2(fileUnder(nzbget->destinationDir(), file.name) == file.data, file.name.constData());

    // The category of the spot's main category, and the spot's message-id, went along.
    const QJsonArray history = nzbget->call(QStringLiteral("history"), {false}).toArray();
    QCOMPARE(history.size(), 1);
    QCOMPARE(history.first()[QStringLiteral("Category")].toString(), QStringLiteral("Films"));
    QCOMPARE(history.first()[QStringLiteral("DupeKey")].toString(),
             QStringLiteral("tarnwick:") + QString::fromLatin1(spots.at(0).key));
    if (PrivateNotificationServer::isInstalled()) {
        const QList<NotifyCall> calls = notifications.calls(1);
        QVERIFY(!calls.isEmpty());
        QCOMPARE(calls.last().summary, QStringLiteral("Download klaar"));
        QVERIFY(calls.last().body.endsWith(QStringLiteral(": Klaar")));
    }
}

// One part of the release never reached INN: NZBGet gives up, and its status is the reason
// shown.
void TestDownloadEnd::spotWithAMissingArticleFailsWithNzbGetsReason()
{
    QLabel *state = handOff(spots.at(1));
    QVERIFY(state);
    QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith(QStringLiteral("Download: Mislukt: ")), downloadTimeoutMs);
    QString status;
    for (const QJsonValue &item : nzbget->call(QStringLiteral("history"), {false}).toArray()) {
        if (item[QStringLiteral("DupeKey")].toString().endsWith(QString::fromLatin1(spots.at(1).key)))
            status = item[QStringLiteral("Status")].toString();
    }
    QVERIFY2(!status.startsWith(QStringLiteral("SUCCESS")), qPrintable(status));
    qInfo("shown: %s", qPrintable(state->text()));
    QVERIFY2(state->text().endsWith(QStringLiteral("(%1)").arg(status)), qPrintable(state->text() + u' ' + status));
    QVERIFY(downloadsItemText(spots.at(1)).startsWith(QStringLiteral("Mislukt: ")));
    if (PrivateNotificationServer::isInstalled()) {
        const QList<NotifyCall> calls = notifications.calls(2);
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.last().summary, QStringLiteral("Download mislukt"));
    }
}

// The spot that is done, handed off again: the window asks first, and NZBGet sets the second
// job aside as a duplicate of the first (the same duplicate key).
void TestDownloadEnd::spotHandedOffTwiceIsAskedAndDuplicate()
{
    shown.clear();
    QLabel *state = handOff(spots.at(0));
    QVERIFY(state);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().kind, MessageBoxes::Kind::Question);
    QVERIFY2(shown.first().text.startsWith(QStringLiteral("Deze spot is al naar NZBGet gestuurd")),
             qPrintable(shown.first().text));
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), QStringLiteral("Download: Dubbel"), downloadTimeoutMs);
    QVERIFY(downloadsItemText(spots.at(0)).startsWith(QStringLiteral("Dubbel \u2013 ")));
}

// The user file keeps each spot's last state: a new window shows them without asking anew.
void TestDownloadEnd::statesSurviveARestart()
{
    window.reset();
    openWindow();
    QCOMPARE(downloadsItemText(spots.at(0)).section(u' ', 0, 0), QStringLiteral("Dubbel"));
    QCOMPARE(downloadsItemText(spots.at(1)).section(u' ', 0, 0), QStringLiteral("Mislukt:"));
    QCOMPARE(window->findChild<DownloadWatch *>()->poller(JobPoller::Downloader::NzbGet).isFollowing(), false);
}

TARNWICK_TEST_MAIN(TestDownloadEnd)
#include "tst_downloadend.moc"
