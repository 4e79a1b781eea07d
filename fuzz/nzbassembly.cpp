// NzbAssembly::join() on any segment articles the fuzzer cuts its input into, and the whole
// NZB's escaped stream cut into articles anywhere: escapes and dot-stuffing split between two
// articles join to the bytes that were cut, and the join of the pieces is that of one article.
#include "fuzzinput.h"
#include "nzbassembly.h"
#include "nzbescape.h"
#include "nzbreader.h"
#include "spotarticles.h"
#include "zlibstream.h"

namespace {

const QStringList errors{QStringLiteral("NZB-artikel is onleesbaar"), QStringLiteral("NZB kon niet uitgepakt worden"),
                         QStringLiteral("NZB bevat geen geldige bestandslijst")};

NzbAssembly::Result checkedJoin(const QList<QByteArray> &articles)
{
    NzbAssembly::Result result = NzbAssembly::join(articles);
    if (result.nzb)
        FUZZ_CHECK(result.error.isEmpty() && result.nzb->size() <= NzbReader::maxNzbSize);
    else
        FUZZ_CHECK(errors.contains(result.error));
    return result;
}

QList<QByteArray> delivered(const QList<QByteArray> &articles)
{
    QList<QByteArray> result;
    for (const QByteArray &article : articles)
        result.append(SpotArticles::delivered(article));
    return result;
}

QList<QByteArrayView> bodies(const QList<QByteArray> &articles)
{
    QList<QByteArrayView> result;
    for (const QByteArray &article : articles)
        result.append(QByteArrayView(article).sliced(article.indexOf("\r\n\r\n") + 4));
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const bool rawArticles = input.byte() & 1;
    const QList<qsizetype> lengths = input.lengths();
    const QByteArrayView bytes = input.rest();

    if (rawArticles) {
        QList<QByteArray> articles;
        for (const QByteArrayView piece : cut(bytes, lengths))
            articles.append(piece.toByteArray());
        checkedJoin(articles);
        return 0;
    }

    // The bytes as the deflated stream: cut into articles at offsets of its escaped form.
    QList<qsizetype> cuts;
    const qsizetype escapedSize = SpotArticles::nzbEscaped(bytes).size();
    for (qsizetype at = 0, next = 0; !lengths.isEmpty() && next < lengths.size(); ++next) {
        at = qMin(at + lengths[next], escapedSize);
        cuts.append(at);
    }
    const QList<QByteArray> pieces = delivered(SpotArticles::nzbArticles(bytes, cuts));
    FUZZ_CHECK(NzbEscape::decodeBodies(bodies(pieces)) == bytes);
    const NzbAssembly::Result joined = checkedJoin(pieces);
    const NzbAssembly::Result whole = checkedJoin({SpotArticles::delivered(SpotArticles::nzbArticle(bytes))});
    FUZZ_CHECK(joined.nzb == whole.nzb && joined.error == whole.error);

    // The bytes as the NZB document: deflated first, so that the XML checks see them.
    const QByteArray deflated = ZlibStream::deflateRaw(bytes);
    const NzbAssembly::Result document = checkedJoin(delivered(SpotArticles::nzbArticles(deflated, cuts)));
    if (document.nzb)
        FUZZ_CHECK(*document.nzb == bytes);
    return 0;
}
