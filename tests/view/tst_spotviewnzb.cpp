// A spot's whole NZB from its tab or the list: fetched over all its segment articles and
// saved, or put into a downloader's folder; what the user is told on the way.
#include "nzbhandoffjob.h"
#include "spotarticles.h"
#include "spotview.h"
#include "syncsession.h"
#include "testmain.h"
#include "zlibstream.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

const QByteArray nzbDocument = SpotArticles::nzbXml(
    {"&quot;a.part1.rar&quot; yEnc (1/9)", "&quot;a.part2.rar&quot; yEnc (1/9)", "&quot;a.nfo&quot;"},
    {"alt.binaries.x"});

// The spot and the segment articles that carry its NZB, cut into segments pieces.
void serveSpotWithNzb(SyncSession &session, int segments, const QList<int> &missing = {})
{
    session.serveSpots(1, 1, 1);
    const QByteArray deflated = ZlibStream::deflateRaw(nzbDocument, 0);
    QByteArray xml = "<Description>d</Description><NZB>";
    const qsizetype piece = deflated.size() / segments + 1;
    for (int segment = 0; segment < segments; ++segment) {
        const QByteArray id = "nzb" + QByteArray::number(segment) + "@free.pt";
        xml += "<Segment>" + id + "</Segment>";
        if (!missing.contains(segment))
            session.server.addArticle(Tarnwick::spotGroup, 10 + segment, id,
                                      SpotArticles::nzbArticle(deflated.mid(segment * piece, piece)));
    }
    session.server.addArticle(Tarnwick::spotGroup, 1, "spot1@free.pt",
                              SpotArticles::spot("<Spotnet><Posting>" + xml + "</NZB></Posting></Spotnet>"));
}

} // namespace

class TestSpotViewNzb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void handOff_data();
    void handOff();
    void buttonsFollowTheSpot();

private:
    std::unique_ptr<SyncSession> session;
    QTemporaryDir folder;
    QWidget window;
};

void TestSpotViewNzb::init()
{
    session = std::make_unique<SyncSession>();
    session->refreshMs = 600000;
}

void TestSpotViewNzb::cleanup()
{
    NzbHandOffJob::setSavePrompt({});
    QDir(folder.path()).removeRecursively();
    QDir().mkpath(folder.path());
    endSession(session);
}

void TestSpotViewNzb::handOff_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("destination"); // the settings' value
    QTest::addColumn<QList<int>>("missing");
    QTest::addColumn<QString>("outcome"); // the last status text or the failure, %1 the folder
    QTest::addColumn<QString>("file"); // where the NZB is then, relative to the folder

    const int save = int(NzbHandOffJob::Mode::Save);
    const int download = int(NzbHandOffJob::Mode::Download);
    QTest::newRow("saved") << save << QStringLiteral("nzbget") << QList<int>()
                           << QStringLiteral("NZB opgeslagen: %1/gekozen.nzb") << QStringLiteral("gekozen.nzb");
    QTest::newRow("downloaded-into-a-folder")
        << download << QStringLiteral("map") << QList<int>() << QStringLiteral("NZB in map gezet: %1/Spot 1.nzb")
        << QStringLiteral("Spot 1.nzb");
    QTest::newRow("download-asks-where-without-a-downloader")
        << download << QStringLiteral("opslaan") << QList<int>() << QStringLiteral("NZB opgeslagen: %1/gekozen.nzb")
        << QStringLiteral("gekozen.nzb");
    QTest::newRow("segment-missing") << download << QStringLiteral("map") << QList<int>{1}
                                     << QStringLiteral(
                                            "Een deel van de NZB ontbreekt op de Usenet server (nzb1@free.pt)")
                                     << QString();
}

void TestSpotViewNzb::handOff()
{
    QFETCH(int, mode);
    QFETCH(QString, destination);
    QFETCH(QList<int>, missing);
    QFETCH(QString, outcome);
    QFETCH(QString, file);

    serveSpotWithNzb(*session, 3, missing);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    QSettings settings;
    settings.setValue(Settings::Key::nzbDestination, destination);
    settings.setValue(Settings::Key::nzbFolder, folder.path());
    QString suggestedName;
    NzbHandOffJob::setSavePrompt([&](QWidget *, const QString &suggested) {
        suggestedName = QFileInfo(suggested).fileName();
        return folder.filePath(QStringLiteral("gekozen.nzb"));
    });

    SpotRow spot;
    spot.messageId = "spot1";
    spot.category = 1;
    auto *job = new NzbHandOffJob(&controller, spot, QStringLiteral("Spot 1"), NzbHandOffJob::Mode(mode), &window);
    QStringList told;
    connect(job, &NzbHandOffJob::status, this, [&](const QString &text) { told += text; });
    connect(job, &NzbHandOffJob::failed, this, [&](const QString &text) { told += text; });
    QList<HandOff> handedOff;
    connect(job, &NzbHandOffJob::handedOff, this, [&](const HandOff &handOff) { handedOff += handOff; });
    const QPointer<NzbHandOffJob> running = job;
    job->start();
    QTRY_VERIFY(!running);

    QVERIFY2(!told.isEmpty(), "the job said nothing");
    if (file == QLatin1String("gekozen.nzb"))
        QCOMPARE(suggestedName, QStringLiteral("Spot 1.nzb"));
    QCOMPARE(told.last(), outcome.arg(folder.path()));
    if (file.isEmpty()) {
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
        QVERIFY(handedOff.isEmpty());
        return;
    }
    // A file or a folder: the spot is "Opgeslagen", with no job to follow.
    QCOMPARE(handedOff.size(), 1);
    QCOMPARE(handedOff.first().spot.messageId, QByteArray("spot1"));
    QCOMPARE(handedOff.first().target,
             destination == QLatin1String("map") && mode == int(NzbHandOffJob::Mode::Download) ? HandOff::Target::Folder
                                                                                               : HandOff::Target::File);
    QCOMPARE(handedOff.first().state.text(), QStringLiteral("Opgeslagen"));
    QVERIFY(handedOff.first().jobId.isEmpty());
    QCOMPARE(told.mid(0, 3),
             QStringList({QStringLiteral("NZB ophalen: 1 van 3 delen"), QStringLiteral("NZB ophalen: 2 van 3 delen"),
                          QStringLiteral("NZB ophalen: 3 van 3 delen")}));
    QFile written(folder.filePath(file));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), nzbDocument);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{file});
}

// The buttons above the page: enabled once the spot article names an NZB.
void TestSpotViewNzb::buttonsFollowTheSpot()
{
    serveSpotWithNzb(*session, 1);
    Tarnwick &controller = session->start();
    QVERIFY(session->waitForCycle());
    QTabWidget tabs;
    SpotView spot(&controller, &tabs, 1, QStringLiteral("Spot 1"), &tabs);
    const QList<QPushButton *> buttons = tabs.widget(0)->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 3);
    QCOMPARE(buttons.at(0)->text(), QStringLiteral("NZB opslaan"));
    QCOMPARE(buttons.at(1)->text(), QStringLiteral("Downloaden"));
    QTRY_VERIFY(buttons.at(0)->isEnabled() && buttons.at(1)->isEnabled());
    QSignalSpy asked(&spot, &SpotView::nzbRequested);
    buttons.at(1)->click();
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.first().first().value<NzbHandOffJob::Mode>(), NzbHandOffJob::Mode::Download);

    // "Bewaren" asks; the tab shows what the window made of it.
    QPushButton *mark = buttons.at(2);
    QCOMPARE(mark->text(), QStringLiteral("Bewaren"));
    QSignalSpy marking(&spot, &SpotView::markRequested);
    mark->click();
    QCOMPARE(marking.count(), 1);
    QCOMPARE(marking.first().first().toBool(), true);
    spot.setMarked(true);
    QCOMPARE(mark->text(), QStringLiteral("Bewaard"));
    QVERIFY(mark->isChecked());
}

TARNWICK_TEST_MAIN(TestSpotViewNzb)
#include "tst_spotviewnzb.moc"
