// The demo server serves its spots' releases: every segment an NZB names is a yEnc part of
// the file's bytes, and a real NZBGet downloads a small release from it whole.
#include "demorelease.h"
#include "demoserver.h"
#include "nzbgetdaemon.h"
#include "testmain.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <zlib.h>

namespace {

constexpr quint32 seed = 7;
constexpr qint64 smallSpot = 10; // every tenth spot is a small release

const DemoCorpus corpus({seed, 40, 1'800'000'000});

quint32 crcOf(const QByteArray &data)
{
    return quint32(crc32_z(0, reinterpret_cast<const Bytef *>(data.constData()), z_size_t(data.size())));
}

// The value of "name=" on the article's line that starts with start; -1 without one.
qint64 field(const QByteArray &article, const QByteArray &start, const QByteArray &name)
{
    const QRegularExpression pattern(
        QStringLiteral("^%1.* %2=([0-9a-f]+)")
            .arg(QRegularExpression::escape(QString::fromLatin1(start)), QString::fromLatin1(name)),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(article));
    bool ok = false;
    const qint64 value = match.captured(1).toLongLong(&ok, name.endsWith("crc32") ? 16 : 10);
    return ok ? value : -1;
}

// The bytes of the article's yEnc lines.
QByteArray yencData(const QByteArray &article)
{
    QByteArray data;
    const QByteArray body = article.mid(article.indexOf("\n\n") + 2);
    for (const QByteArray &line : body.split('\n')) {
        if (line.startsWith("=y"))
            continue;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const bool escaped = line.at(i) == '=' && i + 1 < line.size();
            const uchar encoded = escaped ? uchar(line.at(++i) - 64) : uchar(line.at(i));
            data += char(encoded - 42);
        }
    }
    return data;
}

} // namespace

class TestDemoRelease : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void segmentIsAYencPartOfTheFile_data();
    void segmentIsAYencPartOfTheFile();
    void otherMessageIdsAreNoArticles_data();
    void otherMessageIdsAreNoArticles();
    void nzbGetDownloadsASmallReleaseWhole();
};

void TestDemoRelease::segmentIsAYencPartOfTheFile_data()
{
    QTest::addColumn<qint64>("spot");
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("segment");
    // clang-format off
    QTest::newRow("first part of the first rar") << smallSpot << 0 << 1;
    QTest::newRow("last part of the first rar")  << smallSpot << 0 << 2;
    QTest::newRow("nfo in one part")             << smallSpot << -1 << 1;
    QTest::newRow("last rar, the rest")          << smallSpot << -5 << 1;
    QTest::newRow("part of another spot")        << qint64(1) << 0 << 1;
    // clang-format on
}

// The article's part and trailers say what the NZB says, and its bytes are the file's there.
void TestDemoRelease::segmentIsAYencPartOfTheFile()
{
    QFETCH(qint64, spot);
    QFETCH(int, file);
    QFETCH(int, segment);
    const DemoCorpus::Spot made = corpus.spot(spot);
    const QList<DemoCorpus::File> files = DemoCorpus::files(made);
    if (file < 0)
        file += int(files.size());
    const DemoCorpus::File &named = files.at(file);
    const DemoRelease::SegmentName name{spot, file, segment};
    const DemoRelease::Range range = DemoRelease::range(named, segment);
    const QByteArray messageId = DemoRelease::messageId(seed, name);
    QVERIFY(corpus.nzbDocument(made).contains("<segment bytes=\"" + QByteArray::number(range.end - range.begin)
                                              + "\" number=\"" + QByteArray::number(segment) + "\">" + messageId
                                              + "</segment>"));

    const QByteArray article = corpus.article(messageId);
    const QByteArray data = yencData(article);
    QCOMPARE(data, DemoRelease::bytes(seed, name, range.begin, range.end));
    QCOMPARE(field(article, "=ybegin", "part"), segment);
    QCOMPARE(field(article, "=ybegin", "total"), named.segments);
    QCOMPARE(field(article, "=ybegin", "size"), named.bytes);
    QCOMPARE(field(article, "=ypart", "begin"), range.begin + 1);
    QCOMPARE(field(article, "=ypart", "end"), range.end);
    QCOMPARE(field(article, "=yend", "size"), data.size());
    QCOMPARE(field(article, "=yend", "pcrc32"), crcOf(data));
    const bool last = segment == named.segments;
    QCOMPARE(field(article, "=yend", "crc32"),
             last ? qint64(crcOf(DemoRelease::bytes(seed, name, 0, named.bytes))) : -1);
    if (last)
        QCOMPARE(range.end, named.bytes);
}

void TestDemoRelease::otherMessageIdsAreNoArticles_data()
{
    QTest::addColumn<QByteArray>("messageId");
    const QByteArray real = DemoRelease::messageId(seed, {smallSpot, 0, 1});
    const QByteArray token = real.left(real.indexOf('.'));
    // clang-format off
    QTest::newRow("wrong token")        << QByteArray("x" + real);
    QTest::newRow("segment past last")  << QByteArray(DemoRelease::messageId(seed, {smallSpot, 0, 3}));
    QTest::newRow("file past last")     << QByteArray(DemoRelease::messageId(seed, {smallSpot, 120, 1}));
    QTest::newRow("spot not posted")    << QByteArray(DemoRelease::messageId(seed, {41, 0, 1}));
    QTest::newRow("other seed's")       << QByteArray(DemoRelease::messageId(seed + 1, {smallSpot, 0, 1}));
    QTest::newRow("negative segment")   << QByteArray(token + "." + QByteArray::number(smallSpot) + ".0.-1@news.demo.tarnwick");
    // clang-format on
}

void TestDemoRelease::otherMessageIdsAreNoArticles()
{
    QFETCH(QByteArray, messageId);
    QVERIFY(corpus.article(messageId).isEmpty());
}

// The demo server in process serves a small spot's release to a private NZBGet, that gets
// every file whole: the NZB's size and the crc of the file's bytes.
void TestDemoRelease::nzbGetDownloadsASmallReleaseWhole()
{
    if (!NzbGetDaemon::installed())
        QSKIP("needs NZBGet (Debian package nzbget, which scripts/test installs)");
    QElapsedTimer clock;
    clock.start();
    DemoServer::Options options;
    options.corpus = {seed, 40, 1'800'000'000};
    options.arrivalSeconds = 0;
    DemoServer server(options);
    QVERIFY(server.start());
    NzbGetDaemon nzbget;
    QString why;
    QVERIFY2(
        nzbget.start(NzbGetDaemon::newsServer(server.port(), 4)
                         + NzbGetDaemon::Options{{"ArticleRetries", "0"}, {"ParCheck", "manual"}, {"Unpack", "no"}},
                     &why),
        qPrintable(why));

    const DemoCorpus::Spot spot = server.corpus().spot(smallSpot);
    QVERIFY(spot.size <= 8 * 1024 * 1024);
    const QJsonValue id
        = nzbget.call(QStringLiteral("append"),
                      {QStringLiteral("demo.nzb"), QString::fromLatin1(server.corpus().nzbDocument(spot).toBase64()),
                       QString(), 0, false, false, QString(), 0, QStringLiteral("SCORE"), QJsonArray()});
    QVERIFY(id.toInt() > 0);
    QString status;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QJsonValue &item : nzbget.call(QStringLiteral("history"), {false}).toArray()) {
                if (item[QStringLiteral("NZBID")].toInt() == id.toInt())
                    status = item[QStringLiteral("Status")].toString();
            }
            return !status.isEmpty();
        },
        60000));
    qInfo("NZBGet: %s after %lld ms", qPrintable(status), clock.elapsed());
    QVERIFY2(status.startsWith(QStringLiteral("SUCCESS")), qPrintable(status));

    const QList<DemoCorpus::File> files = DemoCorpus::files(spot);
    QHash<QString, QByteArray> arrived;
    QDirIterator found(nzbget.destinationDir(), QDir::Files, QDirIterator::Subdirectories);
    while (found.hasNext()) {
        QFile file(found.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        arrived.insert(found.fileName(), file.readAll());
    }
    // NZBGet holds back recovery volumes until a repair needs them: all else arrives.
    qsizetype whole = 0;
    for (qsizetype index = 0; index < files.size(); ++index) {
        const DemoCorpus::File &file = files.at(index);
        const auto data = arrived.constFind(QString::fromLatin1(file.name));
        if (data == arrived.cend()) {
            QVERIFY2(file.name.contains(".vol"), file.name.constData());
            continue;
        }
        ++whole;
        QCOMPARE(data->size(), file.bytes);
        QCOMPARE(crcOf(*data), DemoRelease::fileCrc(seed, {smallSpot, int(index), 0}, file.bytes));
    }
    QCOMPARE(whole, arrived.size());
    QVERIFY(whole >= files.size() - 2);
    qInfo("%lld files whole after %lld ms", qint64(whole), clock.elapsed());
}

TARNWICK_TEST_MAIN(TestDemoRelease)
#include "tst_demorelease.moc"
