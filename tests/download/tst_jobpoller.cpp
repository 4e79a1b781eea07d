#include "httptestbed.h"
#include "jobpoller.h"
#include "settings.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QSignalSpy>

namespace {

using namespace std::chrono_literals;
using Phase = DownloadState::Phase;

const QString apiKey = QStringLiteral("7d1f0c9e2b4a46e8a3c5b7d9e1f20486");
constexpr auto interval = 20ms;
constexpr auto maxBackOff = 160ms;

void configureSabnzbd(const QString &url, const QString &key = apiKey)
{
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::Sabnzbd;
    handOff.sabnzbdUrl = url;
    handOff.sabnzbdKey = key;
    Settings::setNzbHandOff(handOff);
}

HttpAnswer json(const QByteArray &body)
{
    HttpAnswer answer;
    answer.body = body;
    return answer;
}

// SABnzbd's answer with these slots, for mode=queue or mode=history.
HttpAnswer slots(const HttpRequest &request, const QByteArray &slotList)
{
    return json("{\"" + request.queryValue(QStringLiteral("mode")).toLatin1() + "\": {\"slots\": [" + slotList + "]}}");
}

QStringList texts(const QSignalSpy &changes)
{
    QStringList texts;
    for (const QList<QVariant> &change : changes)
        texts << change.at(0).toString() + u'=' + change.at(1).value<DownloadState>().text();
    return texts;
}

} // namespace

// JobPoller against a server that answers as SABnzbd's API reference describes mode=queue and
// mode=history (with nzo_ids): when it asks, what it makes of the answers, and how it backs
// off from a downloader that refuses or is not there.
class TestJobPoller : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { log.emplace(); }
    void cleanupTestCase()
    {
        log->verifyNeverSaid(apiKey);
        log.reset();
    }

    void asksNothingWithoutOpenJobs();
    void followsJobsToTheirEnd();
    void backsOffWhileUnreachable_data();
    void backsOffWhileUnreachable();

private:
    std::optional<MessageLog> log;
};

// Nothing handed off, or only jobs that ended: not one request.
void TestJobPoller::asksNothingWithoutOpenJobs()
{
    HttpTestServer server;
    configureSabnzbd(server.url());
    JobPoller poller(JobPoller::Downloader::Sabnzbd, nullptr);
    poller.setIntervals(interval, maxBackOff);
    poller.follow(QStringLiteral("SABnzbd_nzo_done"), DownloadState{Phase::Done, 0, {}});
    poller.follow(QStringLiteral("SABnzbd_nzo_failed"), DownloadState{Phase::Failed, 0, QStringLiteral("x")});
    QVERIFY(!poller.isFollowing());
    QVERIFY(!QTest::qWaitFor([&] { return !server.requests.isEmpty(); }, int(10 * interval.count())));
    QCOMPARE(poller.requestCount(), 0);
}

// Queue, history, queue, ...: each change of a job once; a job in neither answer is gone; a job
// that ended is asked for no more, and with none left the asking stops.
void TestJobPoller::followsJobsToTheirEnd()
{
    HttpTestServer server;
    int round = 0;
    server.respond = [&](const HttpRequest &request) {
        const bool queue = request.queryValue(QStringLiteral("mode")) == QLatin1String("queue");
        if (queue)
            ++round;
        if (round == 1 && queue)
            return slots(request, R"({"nzo_id": "SABnzbd_nzo_a", "status": "Downloading", "percentage": "40"})");
        if (round == 1)
            return slots(request, {});
        if (queue)
            return slots(request, {});
        return slots(request,
                     round == 2 ? R"({"nzo_id": "SABnzbd_nzo_a", "status": "Extracting"})"
                                : R"({"nzo_id": "SABnzbd_nzo_a", "status": "Completed", "fail_message": ""})");
    };
    configureSabnzbd(server.url());
    JobPoller poller(JobPoller::Downloader::Sabnzbd, nullptr);
    poller.setIntervals(interval, maxBackOff);
    QSignalSpy changes(&poller, &JobPoller::stateChanged);
    QSignalSpy unreachable(&poller, &JobPoller::unreachable);
    poller.follow(QStringLiteral("SABnzbd_nzo_a"), DownloadState{Phase::Sent, 0, {}});
    poller.follow(QStringLiteral("SABnzbd_nzo_unknown"), DownloadState{Phase::Sent, 0, {}});

    QTRY_VERIFY(!poller.isFollowing());
    QCOMPARE(texts(changes),
             (QStringList{QStringLiteral("SABnzbd_nzo_a=Bezig (40%)"), QStringLiteral("SABnzbd_nzo_unknown=Verwijderd"),
                          QStringLiteral("SABnzbd_nzo_a=Nabewerking"), QStringLiteral("SABnzbd_nzo_a=Klaar")}));
    QVERIFY(unreachable.isEmpty());
    QCOMPARE(server.requests.size(), 6);
    QStringList modes;
    for (const HttpRequest &request : std::as_const(server.requests)) {
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path, QByteArray("/api"));
        QCOMPARE(request.queryValue(QStringLiteral("apikey")), apiKey);
        QCOMPARE(request.queryValue(QStringLiteral("output")), QStringLiteral("json"));
        modes << request.queryValue(QStringLiteral("mode")) + u':' + request.queryValue(QStringLiteral("nzo_ids"));
    }
    const QString both = QStringLiteral("SABnzbd_nzo_a,SABnzbd_nzo_unknown");
    QCOMPARE(modes,
             (QStringList{QStringLiteral("queue:") + both, QStringLiteral("history:") + both,
                          QStringLiteral("queue:SABnzbd_nzo_a"), QStringLiteral("history:SABnzbd_nzo_a"),
                          QStringLiteral("queue:SABnzbd_nzo_a"), QStringLiteral("history:SABnzbd_nzo_a")}));
    QVERIFY(!QTest::qWaitFor([&] { return server.requests.size() > 6; }, int(10 * interval.count())));
}

void TestJobPoller::backsOffWhileUnreachable_data()
{
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("reason");
    QTest::newRow("key-refused") << true << QStringLiteral("SABnzbd niet bereikbaar: API Key Incorrect");
    QTest::newRow("nothing-listening") << false << QStringLiteral("SABnzbd niet bereikbaar: Connection refused");
}

// Each failed answer doubles the wait before the next request, up to the most; the user hears of
// it once; the first good answer brings the wait back.
void TestJobPoller::backsOffWhileUnreachable()
{
    QFETCH(bool, listening);
    HttpTestServer server;
    bool refusing = true;
    server.respond = [&](const HttpRequest &request) {
        return refusing ? json(R"({"status": false, "error": "API Key Incorrect"})")
                        : slots(request, R"({"nzo_id": "SABnzbd_nzo_a", "status": "Queued"})");
    };
    configureSabnzbd(listening ? server.url() : QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    JobPoller poller(JobPoller::Downloader::Sabnzbd, nullptr);
    poller.setIntervals(interval, maxBackOff);
    QSignalSpy unreachable(&poller, &JobPoller::unreachable);
    QElapsedTimer clock;
    clock.start();
    poller.follow(QStringLiteral("SABnzbd_nzo_a"), DownloadState{Phase::Sent, 0, {}});

    // Requests at 20, then 40, 80, 160 and 160 ms after each failure: the sixth after 460 ms.
    QTRY_VERIFY_WITH_TIMEOUT(poller.requestCount() >= 6, 5000);
    QVERIFY2(clock.elapsed() >= 20 + 40 + 80 + 160 + 160, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(unreachable.size(), 1);
    QTEST(unreachable.first().at(0).toString(), "reason");
    QVERIFY(poller.isFollowing()); // a failure ends no job

    if (!listening)
        return;
    refusing = false;
    QSignalSpy changes(&poller, &JobPoller::stateChanged);
    QVERIFY(changes.wait());
    QCOMPARE(texts(changes), QStringList{QStringLiteral("SABnzbd_nzo_a=In wachtrij")});
    // Asked again at the normal interval.
    const int asked = poller.requestCount();
    clock.restart();
    QTRY_VERIFY(poller.requestCount() >= asked + 2);
    QVERIFY2(clock.elapsed() < maxBackOff.count() * 2, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(unreachable.size(), 1);
}

TARNWICK_TEST_MAIN(TestJobPoller)
#include "tst_jobpoller.moc"
