// The demo corpus: what Tarnwick's own readers make of it, and that a seed fixes it.
#include "categoryscheme.h"
#include "democorpus.h"
#include "nzbassembly.h"
#include "nzbreader.h"
#include "spotarticles.h"
#include "spotheader.h"
#include "testmain.h"

#include <QSet>

namespace {

constexpr qint64 now = 1'800'000'000;

DemoCorpus corpus(qint64 spots, quint32 seed = 7)
{
    return DemoCorpus({seed, spots, now});
}

} // namespace

class TestDemoCorpus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyCategoryHasSpots();
    void everyNzbShowsItsFiles();
    void commentsNameTheirSpots();
    void fixedBySeed();
    void arrivalsGrowTheGroups();
};

// Read back with the download's own parser: every sub-category of the tree, a few erotic
// spots, dates over the covered days in article order, and the titles as posted.
void TestDemoCorpus::everyCategoryHasSpots()
{
    const DemoCorpus demo = corpus(8000);
    QSet<int> subcategories;
    qint64 erotic = 0;
    qint64 previousDate = 0;
    for (qint64 number = 1; number <= demo.spotCount(); ++number) {
        const QByteArray line = demo.overviewLine(DemoCorpus::spotGroup, number);
        const SpotHeader header = SpotHeader::parse(line);
        const DemoCorpus::Spot spot = demo.spot(number);
        QCOMPARE(header.outcome, SpotHeader::Outcome::Spot);
        QCOMPARE(header.subcat, spot.subcategory);
        QCOMPARE(header.spotKey, spot.key);
        QCOMPARE(header.storedTitle().toString(),
                 header.storedTitle().typeId() == QMetaType::QString ? QString::fromUtf8(spot.title)
                                                                     : header.storedTitle().toString());
        QVERIFY(header.spotDate >= previousDate && header.spotDate >= now - DemoCorpus::daysCovered * 86400);
        previousDate = header.spotDate;
        subcategories.insert(header.subcat);
        erotic += header.isErotic();
    }
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (entry.treeText && entry.code >= CategoryScheme::firstSubcategory)
            QVERIFY2(subcategories.contains(entry.code), qPrintable(QString::number(entry.code)));
    }
    QVERIFY(erotic > 100 && erotic < 1000);
}

// Each spot's NZB segments, joined as the page joins them, give an NZB whose files the
// page lists: the RAR parts, and the spot's newsgroup.
void TestDemoCorpus::everyNzbShowsItsFiles()
{
    const DemoCorpus demo = corpus(3000);
    int split = 0;
    for (qint64 number = 1; number <= demo.spotCount(); number += 7) {
        const DemoCorpus::Spot spot = demo.spot(number);
        QList<QByteArray> delivered;
        for (const QByteArray &id : spot.nzbMessageIds)
            delivered += SpotArticles::delivered(demo.article(id));
        const NzbAssembly::Result joined = NzbAssembly::join(delivered);
        QVERIFY2(joined.nzb, qPrintable(joined.error));
        const QList<DemoCorpus::File> files = DemoCorpus::files(spot);
        QCOMPARE(joined.nzb->count("<file "), files.size());
        if (spot.nzbMessageIds.size() > 1) {
            ++split;
            continue;
        }
        // The page reads the first segment: one that holds the whole NZB lists its RAR parts.
        QString newsgroup;
        QStringList shown;
        QVERIFY(NzbReader::readNzb(delivered.first(), newsgroup, shown));
        QCOMPARE(newsgroup, QString::fromLatin1(spot.newsgroup));
        for (const DemoCorpus::File &file : files) {
            if (file.name.endsWith(".rar"))
                QVERIFY(shown.contains(QString::fromLatin1(file.name)));
        }
    }
    QVERIFY(split > 0);
}

// XHDR References of every comment names a spot of the group, and the article says so too.
void TestDemoCorpus::commentsNameTheirSpots()
{
    const DemoCorpus demo = corpus(2000);
    int unsignedComments = 0;
    for (qint64 number = 1; number <= demo.commentCount(); ++number) {
        const DemoCorpus::Comment comment = demo.comment(number);
        const QByteArray references = demo.references(DemoCorpus::commentGroup, number);
        QCOMPARE(references, '<' + demo.spot(comment.spot).key + "@free.pt>");
        const QByteArray article = demo.article(demo.messageId(DemoCorpus::commentGroup, number));
        QVERIFY(article.contains("\nReferences: " + references + '\n'));
        QCOMPARE(article.contains("\nX-User-Signature: "), comment.isSigned);
        unsignedComments += !comment.isSigned;
    }
    QVERIFY(unsignedComments > 0 && unsignedComments < demo.commentCount() / 4);
    QCOMPARE(demo.comment(40).text, demo.comment(39).text); // a reader who posted twice
}

void TestDemoCorpus::fixedBySeed()
{
    const DemoCorpus first = corpus(500);
    const DemoCorpus again = corpus(500);
    const DemoCorpus other = corpus(500, 8);
    for (const qint64 number : {1, 250, 500}) {
        const QByteArray id = first.messageId(DemoCorpus::spotGroup, number);
        QCOMPARE(again.overviewLine(DemoCorpus::spotGroup, number), first.overviewLine(DemoCorpus::spotGroup, number));
        QCOMPARE(again.article(id), first.article(id));
        QVERIFY(other.article(id).isEmpty());
    }
    QVERIFY(first.article("VRZWvyk2EM.1@free.pt").isEmpty()); // a made-up id of the right form
}

void TestDemoCorpus::arrivalsGrowTheGroups()
{
    DemoCorpus demo = corpus(100);
    const qint64 spot = demo.addSpot(now + 60);
    const qint64 comment = demo.addComment(now + 60);
    QCOMPARE(spot, 101);
    QCOMPARE(demo.bounds(DemoCorpus::spotGroup)->high, 101);
    QCOMPARE(SpotHeader::parse(demo.overviewLine(DemoCorpus::spotGroup, spot)).spotDate, now + 60);
    QCOMPARE(comment, demo.commentCount());
    QVERIFY(demo.comment(comment).spot > 95);
    QVERIFY(!demo.article(demo.messageId(DemoCorpus::commentGroup, comment)).isEmpty());
}

TARNWICK_TEST_MAIN(TestDemoCorpus)
#include "tst_democorpus.moc"
