// The spot page without a web view: a typical spot built from its articles, and the NZB reader.
#include "benchsupport.h"
#include "figures.h"
#include "nzbescape.h"
#include "nzbreader.h"
#include "pagetemplates.h"
#include "spotarticles.h"
#include "spotpage.h"
#include "spotpagecorpus.h"
#include "zlibstream.h"

namespace {

constexpr int buildRuns = 101;
constexpr int sampleFiles = 200;

constexpr int segmentsPerFile = 40;

// An NZB article of fileCount files as posting programs write them: every file in 40
// segments, each with a message-id of its own (random, as they are), which is what keeps
// a real NZB from compressing far.
QByteArray nzbArticle(int fileCount)
{
    const QByteArray ids = Bench::randomBytes(qsizetype(fileCount) * segmentsPerFile * 12).toHex();
    QByteArray files;
    for (int file = 0; file < fileCount; ++file) {
        const QByteArray number = QByteArray::number(file + 1);
        files += "<file poster=\"Jan Spotter &lt;jan@example&gt;\" date=\"1700000000\" subject=\"[" + number
            + "] - &quot;Vuurtoren.part" + number + ".rar&quot; yEnc (1/" + QByteArray::number(segmentsPerFile)
            + ")\"><groups><group>alt.binaries.boneless</group></groups><segments>";
        for (int segment = 0; segment < segmentsPerFile; ++segment)
            files += "<segment bytes=\"768000\" number=\"" + QByteArray::number(segment + 1) + "\">"
                + ids.mid((qsizetype(file) * segmentsPerFile + segment) * 24, 24) + "@news.example</segment>";
        files += "</segments></file>\n";
    }
    return SpotArticles::delivered(SpotArticles::nzb(
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n"
        + files + "</nzb>\n"));
}

} // namespace

// The spot article, its NZB and 100 comments handed to a SpotPage opened with their
// numbers, as SpotView hands the answers from the cache on.
double spotPageBuildMs()
{
    const SpotPageCorpus::Spot &spot = SpotPageCorpus::typicalSpot();
    const PageTemplates &templates = PageTemplates::shared();
    QList<quint32> numbers;
    for (const auto &comment : spot.comments)
        numbers += comment.first;

    QByteArray page;
    const double seconds = Bench::medianSeconds(
        [&] {
            SpotPage built(templates, false);
            built.open(spot.storedMessageId, numbers);
            Bench::require(built.articleData(spot.messageId, spot.article).urgentRequest == spot.nzbMessageId,
                           "the spot article names no NZB");
            Bench::require(!built.articleData(spot.nzbMessageId, spot.nzbArticle).page.isEmpty(),
                           "the NZB did not read");
            for (const auto &[number, article] : spot.comments)
                page = built.articleData(QByteArray::number(number), article).page;
        },
        buildRuns);
    Bench::require(page.contains("Reactie van <b>" + spot.lastPoster + "</b>") && page.contains(".part199.rar"),
                   "the page lacks the NZB's files or the comments");
    return seconds * 1e3;
}

// An NZB article of about 5 MB: its fileCount.
QByteArray largeNzbArticle(int &fileCount)
{
    const qsizetype sampleSize = nzbArticle(sampleFiles).size();
    fileCount = int(Bench::sized<qsizetype>(5'000'000, 50'000) * sampleFiles / sampleSize);
    return nzbArticle(fileCount);
}

// That article unescaped and inflated to its NZB text; megabytes of article per second.
double nzbReadMBps()
{
    int fileCount = 0;
    const QByteArray article = largeNzbArticle(fileCount);
    const QByteArrayView body = QByteArrayView(article).sliced(article.indexOf("\r\n\r\n") + 4);
    qsizetype inflated = 0;
    const double seconds = Bench::bestSeconds([&] {
        inflated
            = ZlibStream::inflateRaw(NzbEscape::decodeBody(body), NzbReader::maxNzbSize).value_or(QByteArray()).size();
    });
    Bench::require(inflated > article.size(), "the NZB did not inflate");
    return Bench::megabytesPerSecond(article.size(), seconds);
}

// The same article read whole: unescaped, inflated, parsed and its files named; files per second.
double nzbFilesReadPerSecond()
{
    int fileCount = 0;
    const QByteArray article = largeNzbArticle(fileCount);
    QString newsgroup;
    QStringList fileNames;
    const double seconds = Bench::bestSeconds([&] {
        newsgroup.clear();
        fileNames.clear();
        Bench::require(NzbReader::readNzb(article, newsgroup, fileNames), "the NZB did not read");
    });
    Bench::require(fileNames.size() == fileCount, "the NZB lost files");
    return fileCount / seconds;
}
