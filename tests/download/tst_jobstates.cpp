#include "jobstates.h"
#include "testmain.h"

// What the downloaders' answers say of their jobs, read as NZBGet's and SABnzbd's API
// references describe them, and what a state says to the user.
class TestJobStates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data();
    void read();
    void stateText_data();
    void stateText();
};

namespace {

enum class Reader { NzbGetQueue, NzbGetHistory, SabnzbdQueue, SabnzbdHistory };

using Phase = DownloadState::Phase;

// "id=phase:percent:reason" per job, sorted; "-" for an answer not understood.
QString described(const std::optional<JobStates::States> &states)
{
    if (!states)
        return QStringLiteral("-");
    QStringList jobs;
    for (auto job = states->cbegin(); job != states->cend(); ++job)
        jobs << QStringLiteral("%1=%2:%3:%4")
                    .arg(job.key(), DownloadState::word(job->phase))
                    .arg(job->percent)
                    .arg(job->reason);
    jobs.sort();
    return jobs.join(u' ');
}

} // namespace

void TestJobStates::read_data()
{
    QTest::addColumn<Reader>("reader");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("states");

    // clang-format off
    QTest::newRow("nzbget-queue-states") << Reader::NzbGetQueue << QByteArray(R"({"result": [
        {"NZBID": 3, "Status": "QUEUED"}, {"NZBID": 4, "Status": "PAUSED"}, {"NZBID": 5, "Status": "FETCHING"},
        {"NZBID": 6, "Status": "UNPACKING"}, {"NZBID": 7, "Status": "PP_QUEUED"}]})")
        << QStringLiteral("3=wachtrij:0: 4=wachtrij:0: 5=wachtrij:0: 6=nabewerking:0: 7=nabewerking:0:");
    // 1000 of 4000 unpaused bytes downloaded: the paused par files do not count.
    QTest::newRow("nzbget-downloading-without-paused") << Reader::NzbGetQueue << QByteArray(R"({"result": [
        {"NZBID": 9, "Status": "DOWNLOADING", "FileSizeLo": 5000, "FileSizeHi": 0, "RemainingSizeLo": 4000,
         "RemainingSizeHi": 0, "PausedSizeLo": 1000, "PausedSizeHi": 0}]})")
        << QStringLiteral("9=bezig:25:");
    QTest::newRow("nzbget-downloading-above-4-gib") << Reader::NzbGetQueue << QByteArray(R"({"result": [
        {"NZBID": 9, "Status": "DOWNLOADING", "FileSizeLo": 0, "FileSizeHi": 2, "RemainingSizeLo": 0,
         "RemainingSizeHi": 1}]})")
        << QStringLiteral("9=bezig:50:");
    QTest::newRow("nzbget-downloading-nothing-known") << Reader::NzbGetQueue
        << QByteArray(R"({"result": [{"NZBID": 9, "Status": "DOWNLOADING"}]})") << QStringLiteral("9=bezig:0:");
    QTest::newRow("nzbget-hostile-sizes") << Reader::NzbGetQueue << QByteArray(R"({"result": [
        {"NZBID": 8, "Status": "DOWNLOADING", "FileSizeLo": 1, "RemainingSizeHi": -1e300},
        {"NZBID": 9, "Status": "DOWNLOADING", "FileSizeLo": 1, "RemainingSizeLo": 1e300}]})")
        << QStringLiteral("8=bezig:100: 9=bezig:0:");
    QTest::newRow("nzbget-bad-ids-skipped") << Reader::NzbGetQueue << QByteArray(R"({"result": [
        {"NZBID": "3", "Status": "QUEUED"}, {"NZBID": 0, "Status": "QUEUED"}, {"NZBID": 2.5, "Status": "QUEUED"},
        {"Status": "QUEUED"}, 7]})")
        << QString();
    QTest::newRow("nzbget-empty-queue") << Reader::NzbGetQueue << QByteArray(R"({"result": []})") << QString();
    QTest::newRow("nzbget-rpc-error") << Reader::NzbGetQueue
        << QByteArray(R"({"error": {"code": 1, "message": "Access denied"}})") << QStringLiteral("-");
    QTest::newRow("nzbget-not-json") << Reader::NzbGetQueue << QByteArray("<html>") << QStringLiteral("-");
    QTest::newRow("nzbget-history") << Reader::NzbGetHistory << QByteArray(R"({"result": [
        {"NZBID": 1, "Kind": "NZB", "Status": "SUCCESS/ALL"},
        {"NZBID": 2, "Kind": "NZB", "Status": "FAILURE/HEALTH"},
        {"NZBID": 3, "Kind": "NZB", "Status": "DELETED/DUPE"},
        {"NZBID": 4, "Kind": "NZB", "Status": "DELETED/MANUAL"},
        {"NZBID": 5, "Kind": "DUP", "Status": "SUCCESS/HIDDEN"},
        {"NZBID": 6, "Kind": "NZB", "Status": "DELETED/HEALTH"},
        {"NZBID": 7, "Kind": "NZB", "Status": "WARNING/DAMAGED"},
        {"NZBID": 8, "Kind": "NZB", "Status": "DELETED/COPY"},
        {"NZBID": 9, "Kind": "NZB", "Status": "FAILURE/SOMETHINGNEW"}]})")
        << QStringLiteral("1=klaar:0: 2=mislukt:0:er ontbreken te veel artikelen (FAILURE/HEALTH) 3=dubbel:0: "
                          "4=verwijderd:0: 5=klaar:0: 6=mislukt:0:er ontbreken te veel artikelen (DELETED/HEALTH) "
                          "7=mislukt:0:beschadigd (WARNING/DAMAGED) 8=dubbel:0: 9=mislukt:0:FAILURE/SOMETHINGNEW");
    QTest::newRow("nzbget-status-with-control-characters") << Reader::NzbGetHistory
        << QByteArray(R"({"result": [{"NZBID": 1, "Status": "FAILURE/\u0007<b>\nX"}]})")
        << QStringLiteral("1=mislukt:0:FAILURE/ <b> X");

    QTest::newRow("sabnzbd-queue") << Reader::SabnzbdQueue << QByteArray(R"({"queue": {"status": "Downloading",
        "slots": [{"nzo_id": "SABnzbd_nzo_a1", "status": "Downloading", "percentage": "57"},
                  {"nzo_id": "SABnzbd_nzo_b2", "status": "Queued", "percentage": "0"},
                  {"nzo_id": "SABnzbd_nzo_c3", "status": "Paused", "percentage": "0"},
                  {"nzo_id": "SABnzbd_nzo_d4", "status": "Downloading", "percentage": 250},
                  {"nzo_id": "SABnzbd_nzo_e5", "status": "Checking"},
                  {"nzo_id": "SABnzbd_nzo_f6", "status": "Downloading", "percentage": "-1e300"},
                  {"nzo_id": "SABnzbd_nzo_g7", "status": "Downloading", "percentage": 1e300},
                  {"nzo_id": "bad id;rm", "status": "Queued"}]}})")
        << QStringLiteral("SABnzbd_nzo_a1=bezig:57: SABnzbd_nzo_b2=wachtrij:0: SABnzbd_nzo_c3=wachtrij:0: "
                          "SABnzbd_nzo_d4=bezig:100: SABnzbd_nzo_e5=nabewerking:0: SABnzbd_nzo_f6=bezig:0: "
                          "SABnzbd_nzo_g7=bezig:100:");
    QTest::newRow("sabnzbd-queue-empty") << Reader::SabnzbdQueue
        << QByteArray(R"({"queue": {"status": "Idle", "slots": []}})") << QString();
    QTest::newRow("sabnzbd-refused-key") << Reader::SabnzbdQueue
        << QByteArray(R"({"status": false, "error": "API Key Incorrect"})") << QStringLiteral("-");
    QTest::newRow("sabnzbd-history") << Reader::SabnzbdHistory << QByteArray(R"j({"history": {"slots": [
        {"nzo_id": "SABnzbd_nzo_a1", "status": "Completed", "fail_message": ""},
        {"nzo_id": "SABnzbd_nzo_b2", "status": "Failed", "fail_message": "Download failed - Not on your server(s)"},
        {"nzo_id": "SABnzbd_nzo_c3", "status": "Failed", "fail_message": "Duplicate NZB"},
        {"nzo_id": "SABnzbd_nzo_d4", "status": "Extracting"},
        {"nzo_id": "SABnzbd_nzo_e5", "status": "Failed"}]}})j")
        << QStringLiteral("SABnzbd_nzo_a1=klaar:0: SABnzbd_nzo_b2=mislukt:0:Download failed - Not on your server(s) "
                          "SABnzbd_nzo_c3=dubbel:0: SABnzbd_nzo_d4=nabewerking:0: SABnzbd_nzo_e5=mislukt:0:");
    QTest::newRow("sabnzbd-history-is-no-queue") << Reader::SabnzbdQueue
        << QByteArray(R"({"history": {"slots": []}})") << QStringLiteral("-");
    // clang-format on
}

void TestJobStates::read()
{
    QFETCH(Reader, reader);
    QFETCH(QByteArray, answer);
    std::optional<JobStates::States> states;
    switch (reader) {
    case Reader::NzbGetQueue:
        states = JobStates::nzbgetQueue(answer);
        break;
    case Reader::NzbGetHistory:
        states = JobStates::nzbgetHistory(answer);
        break;
    case Reader::SabnzbdQueue:
        states = JobStates::sabnzbdQueue(answer);
        break;
    case Reader::SabnzbdHistory:
        states = JobStates::sabnzbdHistory(answer);
        break;
    }
    QTEST(described(states), "states");
}

void TestJobStates::stateText_data()
{
    QTest::addColumn<DownloadState>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("open");

    // clang-format off
    QTest::newRow("sent") << DownloadState{Phase::Sent, 0, {}} << QStringLiteral("Verstuurd") << true;
    QTest::newRow("queued") << DownloadState{Phase::Queued, 0, {}} << QStringLiteral("In wachtrij") << true;
    QTest::newRow("downloading") << DownloadState{Phase::Downloading, 45, {}} << QStringLiteral("Bezig (45%)") << true;
    QTest::newRow("post-processing") << DownloadState{Phase::PostProcessing, 0, {}} << QStringLiteral("Nabewerking")
                                     << true;
    QTest::newRow("done") << DownloadState{Phase::Done, 0, {}} << QStringLiteral("Klaar") << false;
    QTest::newRow("failed-with-reason") << DownloadState{Phase::Failed, 0, QStringLiteral("schijf vol")}
                                        << QStringLiteral("Mislukt: schijf vol") << false;
    QTest::newRow("failed-without-reason") << DownloadState{Phase::Failed, 0, {}} << QStringLiteral("Mislukt") << false;
    QTest::newRow("duplicate") << DownloadState{Phase::Duplicate, 0, {}} << QStringLiteral("Dubbel") << false;
    QTest::newRow("removed") << DownloadState{Phase::Removed, 0, {}} << QStringLiteral("Verwijderd") << false;
    QTest::newRow("saved") << DownloadState{Phase::Saved, 0, {}} << QStringLiteral("Opgeslagen") << false;
    // clang-format on
}

void TestJobStates::stateText()
{
    QFETCH(DownloadState, state);
    QTEST(state.text(), "text");
    QTEST(state.isOpen(), "open");
    QCOMPARE(DownloadState::phaseOf(DownloadState::word(state.phase)), state.phase); // as the user file keeps it
}

TARNWICK_TEST_MAIN(TestJobStates)
#include "tst_jobstates.moc"
