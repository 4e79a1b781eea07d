// tarnwick-demo and the real program as processes, as scripts/run starts them: a full
// download ends with the demo's spots and comments, and a spot that arrives later comes in
// with the next cycle.
#include "demorun.h"
#include "programprocess.h"
#include "testmain.h"

namespace {

// The next cycle starts this long after the last one ended.
constexpr int refreshMs = 119000;
constexpr int arrivalSeconds = 100;

qint64 storedSpots()
{
    return DatabaseReader(DemoProfile::databaseFile(QStringLiteral("spots.db")))
        .scalar(QStringLiteral("SELECT (SELECT count(*) FROM spots) + (SELECT count(*) FROM erospots)"));
}

qint64 indexedComments()
{
    return DatabaseReader(DemoProfile::databaseFile(QStringLiteral("reactielijst.db")))
        .scalar(QStringLiteral("SELECT total(length(nrs)) / 4 FROM msgnrs"));
}

} // namespace

class TestDemoDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void downloadsWhatTheDemoServes();
};

void TestDemoDownload::downloadsWhatTheDemoServes()
{
    DemoServerProcess demo;
    demo.start({QStringLiteral("--spots"), QStringLiteral("3000"), QStringLiteral("--interval"),
                QString::number(arrivalSeconds)});
    if (QTest::currentTestFailed())
        return;
    const qint64 spots = demo.spots();
    const qint64 comments = demo.comments();
    DemoProfile::configure(demo.port(), true);
    QProcess program;
    ProgramProcess::start(program, QStringLiteral(TARNWICK_EXECUTABLE));

    QTRY_COMPARE_WITH_TIMEOUT(DemoProfile::setting("lastcommentsheader"), comments, 120000);
    QCOMPARE(DemoProfile::setting("lastheader"), spots);
    QCOMPARE(storedSpots(), spots);
    QCOMPARE(indexedComments(), comments);

    QVERIFY(demo.process().waitForReadyRead((arrivalSeconds + 30) * 1000));
    QVERIFY(demo.process().readLine().startsWith("tarnwick-demo: spot " + QByteArray::number(spots + 1) + " arrived"));
    QTRY_COMPARE_WITH_TIMEOUT(storedSpots(), spots + 1, refreshMs + 30000);

    ProgramProcess::stop(program);
    demo.stop();
}

TARNWICK_TEST_MAIN(TestDemoDownload)
#include "tst_demodownload.moc"
