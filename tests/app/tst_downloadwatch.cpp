#include "downloadwatch.h"
#include "httptestbed.h"
#include "settings.h"
#include "spotsmodel.h"
#include "spotstore.h"
#include "standinsource.h"
#include "testmain.h"
#include "userstore.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

using namespace std::chrono_literals;
using Phase = DownloadState::Phase;

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

HandOff handOff(const QByteArray &messageId, HandOff::Target target, const QString &jobId, DownloadState state)
{
    HandOff handOff;
    handOff.spot = {messageId, 1, 102, 1700000000, QStringLiteral("Spot ") + QString::fromLatin1(messageId), {}, false};
    handOff.target = target;
    handOff.jobId = jobId;
    handOff.sentAt = 1700000000;
    handOff.state = state;
    return handOff;
}

} // namespace

// The hand-offs behind the window, against a server answering as SABnzbd: what the user file
// held at the start is followed where it was left, and what the downloader says goes to the file.
class TestDownloadWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // No desktop notifications from here.
        QSettings().setValue(Settings::Key::notifications, false);
        spotStore.emplace();
        source = std::make_unique<StandInSource>(*spotStore);
    }

    // A job left "Bezig" at the last exit is asked for again at the start, and its end is kept;
    // jobs that had ended, and saved spots, are not asked for.
    void openJobsAreFollowedAfterARestart()
    {
        HttpTestServer server;
        server.respond = [](const HttpRequest &request) {
            HttpAnswer answer;
            answer.body = request.queryValue(QStringLiteral("mode")) == QLatin1String("queue")
                ? QByteArray(R"({"queue": {"slots": []}})")
                : QByteArray(R"j({"history": {"slots": [{"nzo_id": "SABnzbd_nzo_open", "status": "Failed",
                               "fail_message": "Not on your server(s)"}]}})j");
            return answer;
        };
        Settings::NzbHandOff settings;
        settings.sabnzbdUrl = server.url();
        settings.sabnzbdKey = QStringLiteral("sleutel");
        Settings::setNzbHandOff(settings);
        {
            UserStore store;
            QVERIFY(store.open(dataDir()));
            QVERIFY(store.recordHandOff(handOff("saved", HandOff::Target::File, {}, {Phase::Saved, 0, {}})));
            QVERIFY(store.recordHandOff(
                handOff("done", HandOff::Target::Sabnzbd, QStringLiteral("SABnzbd_nzo_done"), {Phase::Done, 0, {}})));
            QVERIFY(store.recordHandOff(handOff("open", HandOff::Target::Sabnzbd, QStringLiteral("SABnzbd_nzo_open"),
                                                {Phase::Downloading, 40, {}})));
        }

        UserStore store;
        QVERIFY(store.open(dataDir()));
        SpotsModel model(source.get(), nullptr);
        DownloadWatch watch(store, &model, nullptr);
        watch.poller(JobPoller::Downloader::Sabnzbd).setIntervals(20ms, 160ms);
        QSignalSpy changed(&watch, &DownloadWatch::changed);
        watch.load();
        QCOMPARE(watch.handOffs().size(), 3);
        QVERIFY(watch.poller(JobPoller::Downloader::Sabnzbd).isFollowing());
        QVERIFY(!watch.poller(JobPoller::Downloader::NzbGet).isFollowing());

        QTRY_VERIFY(!watch.poller(JobPoller::Downloader::Sabnzbd).isFollowing());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).toByteArray(), QByteArray("open"));
        QCOMPARE(watch.handOff("open")->state.text(), QStringLiteral("Mislukt: Not on your server(s)"));
        for (const HttpRequest &request : std::as_const(server.requests))
            QCOMPARE(request.queryValue(QStringLiteral("nzo_ids")), QStringLiteral("SABnzbd_nzo_open"));

        UserStore reopened;
        QVERIFY(reopened.open(dataDir()));
        QCOMPARE(reopened.handOffs().first().state, watch.handOff("open")->state);
    }

private:
    std::optional<SpotStore> spotStore;
    std::unique_ptr<StandInSource> source;
};

TARNWICK_TEST_MAIN(TestDownloadWatch)
#include "tst_downloadwatch.moc"
