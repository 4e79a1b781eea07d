// NzbReader::readNzb() on any NZB article, and on any XML made into one as posters do
// (raw deflate, escaped, dot-stuffed): no crash, no expansion, the spot's own fields kept
// when the article has no body, and a true result exactly when a newsgroup is known.
#include "fuzzinput.h"
#include "nzbescape.h"
#include "nzbreader.h"
#include "spotarticles.h"
#include "zlibstream.h"

namespace {

qsizetype totalSize(const QStringList &texts)
{
    qsizetype total = 0;
    for (const QString &text : texts)
        total += text.size();
    return total;
}

void check(const QByteArray &article)
{
    const QString spotGroup = QStringLiteral("alt.binaries.spot");
    const QStringList spotFiles{QStringLiteral("spot.nfo"), QStringLiteral("spot.r00")};
    QString newsgroup = spotGroup;
    QStringList fileNames = spotFiles;
    const bool read = NzbReader::readNzb(article, newsgroup, fileNames);

    const qsizetype headerEnd = article.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        FUZZ_CHECK(!read && newsgroup == spotGroup && fileNames == spotFiles);
        return;
    }
    FUZZ_CHECK(read == !newsgroup.isEmpty());
    // All that was read came from the NZB, and every character of it at most five times ("&amp;").
    const QByteArray nzb = ZlibStream::inflateRaw(NzbEscape::decodeBody(QByteArrayView(article).sliced(headerEnd + 4)),
                                                  NzbReader::maxNzbSize)
                               .value_or(QByteArray());
    FUZZ_CHECK(newsgroup.size() <= qMax(5 * nzb.size(), spotGroup.size()));
    FUZZ_CHECK(totalSize(fileNames) <= nzb.size() + totalSize(spotFiles));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const bool wholeArticle = input.byte() & 1;
    const QByteArray bytes = input.rest().toByteArray();
    check(wholeArticle ? bytes : SpotArticles::delivered(SpotArticles::nzb(bytes)));
    return 0;
}
