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
constexpr qsizetype largeNzbSize = 5'000'000;
constexpr int sampleFiles = 4000;

// An NZB article of fileCount files whose subjects carry 32 random hex digits each (as the
// names of an obfuscated post do), so that deflate cannot shrink the XML far.
QByteArray nzbArticle(int fileCount)
{
    const QByteArray hex = Bench::randomBytes(qsizetype(fileCount) * 16).toHex();
    QList<QByteArray> subjects;
    subjects.reserve(fileCount);
    for (int file = 0; file < fileCount; ++file)
        subjects += "[" + QByteArray::number(file + 1) + "] - &quot;" + hex.mid(qsizetype(file) * 32, 32) + ".part"
            + QByteArray::number(file + 1) + ".rar&quot; yEnc (1/50)";
    return SpotArticles::delivered(SpotArticles::nzb(SpotArticles::nzbXml(subjects, {"alt.binaries.boneless"})));
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
            Bench::require(!built.articleData(spot.nzbMessageId, spot.nzbArticle).page.isEmpty(), "the NZB did not read");
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
    fileCount = int(largeNzbSize * sampleFiles / sampleSize);
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
        inflated = ZlibStream::inflateRaw(NzbEscape::decodeBody(body), NzbReader::maxNzbSize).value_or(QByteArray()).size();
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
