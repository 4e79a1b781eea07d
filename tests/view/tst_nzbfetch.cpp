// A spot's whole NZB over its segment articles, from a spot whose XML the poster wrote: each
// segment fetched once, and no more segments or bytes than an NZB can need.
#include "articlesource.h"
#include "nzbfetch.h"
#include "spotarticles.h"
#include "testmain.h"
#include "zlibstream.h"

#include <QSignalSpy>

namespace {

const QByteArray spotId = "spot1@free.pt";
const QByteArray nzbDocument
    = SpotArticles::nzbXml({"&quot;a.part1.rar&quot;", "&quot;a.nfo&quot;"}, {"alt.binaries.x"});

// Answers every request inside the call, as the article cache does.
class ArticleShelf : public ArticleSource
{
public:
    QSqlDatabase spotsDatabase() const override { return {}; }
    int newSpotCount() const override { return 0; }
    int newEroticSpotCount() const override { return 0; }
    QList<quint32> commentNumbers(const QString &) override { return {}; }
    void requestArticleNumber(qint64) override {}
    void requestArticle(const QByteArray &id, bool) override
    {
        requested += id;
        const auto article = articles.constFind(id);
        if (article != articles.cend())
            Q_EMIT articleData(id, *article);
        else
            Q_EMIT articleNotFound(id);
    }

    QHash<QByteArray, QByteArray> articles; // as the client delivers them
    QList<QByteArray> requested;
};

QByteArray segmentId(int segment)
{
    return "nzb" + QByteArray::number(segment) + "@free.pt";
}

} // namespace

class TestNzbFetch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bounds_data();
    void bounds();
};

void TestNzbFetch::bounds_data()
{
    QTest::addColumn<QList<int>>("named"); // the segments the spot names, in order
    QTest::addColumn<int>("served"); // segment articles the source holds
    QTest::addColumn<qsizetype>("articleSize"); // 0: the NZB cut into the served pieces
    QTest::addColumn<int>("requests"); // segment requests made
    QTest::addColumn<QString>("failure"); // empty: the NZB is handed on

    QList<int> hundred;
    for (int segment = 0; segment < 100; ++segment)
        hundred += segment;
    const QString tooMany = QStringLiteral("Deze spot noemt te veel NZB-delen (101, hoogstens 100)");
    QTest::newRow("three-segments") << QList<int>{0, 1, 2} << 3 << qsizetype(0) << 3 << QString();
    QTest::newRow("duplicated-segments") << QList<int>{0, 1, 0, 2, 1} << 3 << qsizetype(0) << 3 << QString();
    QTest::newRow("100-segments") << hundred << 100 << qsizetype(0) << 100 << QString();
    QTest::newRow("101-segments") << hundred + QList<int>{100} << 101 << qsizetype(0) << 0 << tooMany;
    QTest::newRow("101-names-of-one-segment") << QList<int>(101, 0) << 1 << qsizetype(0) << 0 << tooMany;
    QTest::newRow("oversized-segments") << QList<int>{0, 1, 2} << 3 << NzbFetch::maxFetchedBytes / 2 << 2
                                        << QStringLiteral("De NZB van deze spot is te groot (meer dan 128 MB)");
}

void TestNzbFetch::bounds()
{
    QFETCH(QList<int>, named);
    QFETCH(int, served);
    QFETCH(qsizetype, articleSize);
    QFETCH(int, requests);
    QFETCH(QString, failure);

    ArticleShelf shelf;
    QByteArray xml = "<Spotnet><Posting><Description>d</Description><NZB>";
    for (const int segment : named)
        xml += "<Segment>" + segmentId(segment) + "</Segment>";
    shelf.articles.insert(spotId, SpotArticles::delivered(SpotArticles::spot(xml + "</NZB></Posting></Spotnet>")));
    const QByteArray deflated = ZlibStream::deflateRaw(nzbDocument, 0);
    QList<qsizetype> cuts;
    for (int piece = 1; piece < served; ++piece)
        cuts += deflated.size() * piece / served;
    const QList<QByteArray> pieces = SpotArticles::nzbArticles(deflated, cuts);
    // One article shared by every segment: its size counts each time, its memory once.
    const QByteArray oversized = "Subject: x\r\n\r\n" + QByteArray(articleSize, 'a') + "\r\n.\r\n";
    for (int segment = 0; segment < served; ++segment)
        shelf.articles.insert(segmentId(segment),
                              articleSize != 0 ? oversized : SpotArticles::delivered(pieces.at(segment)));

    NzbFetch fetch(&shelf, spotId);
    QSignalSpy finished(&fetch, &NzbFetch::finished);
    QSignalSpy failed(&fetch, &NzbFetch::failed);
    fetch.start();

    QCOMPARE(shelf.requested.first(), spotId);
    const QList<QByteArray> segmentRequests = shelf.requested.mid(1);
    QCOMPARE(segmentRequests.size(), requests);
    QCOMPARE(QSet<QByteArray>(segmentRequests.cbegin(), segmentRequests.cend()).size(), requests);
    if (failure.isEmpty()) {
        QCOMPARE(failed.count(), 0);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toByteArray(), nzbDocument);
        return;
    }
    QCOMPARE(finished.count(), 0);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(), failure);
}

TARNWICK_TEST_MAIN(TestNzbFetch)
#include "tst_nzbfetch.moc"
