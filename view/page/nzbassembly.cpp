#include "nzbassembly.h"

#include "nzbescape.h"
#include "nzbreader.h"
#include "xmldocument.h"
#include "zlibstream.h"

namespace NzbAssembly {
namespace {

Result failure(const char *error)
{
    return {std::nullopt, QString::fromLatin1(error)};
}

bool isNzb(const QByteArray &document)
{
    XmlDocument doc(document);
    doc.registerNamespace(QByteArrayLiteral("n"), QByteArrayLiteral("http://www.newzbin.com/DTD/2003/nzb"));
    return !doc.values("/n:nzb/n:file[n:segments]").isEmpty();
}

} // namespace

Result join(const QList<QByteArray> &segmentArticles)
{
    if (segmentArticles.isEmpty())
        return failure("NZB-artikel is onleesbaar");
    QList<QByteArrayView> bodies;
    bodies.reserve(segmentArticles.size());
    for (const QByteArray &article : segmentArticles) {
        const qsizetype headerEnd = article.indexOf(QByteArrayView("\r\n\r\n"));
        if (headerEnd < 0)
            return failure("NZB-artikel is onleesbaar");
        bodies.append(QByteArrayView(article).sliced(headerEnd + 4));
    }
    // Posters cut the escaped stream wherever an article is full, even inside an escape,
    // so the bodies are unescaped together.
    std::optional<QByteArray> nzb = ZlibStream::inflateRaw(NzbEscape::decodeBodies(bodies), NzbReader::maxNzbSize);
    if (!nzb)
        return failure("NZB kon niet uitgepakt worden");
    if (!isNzb(*nzb))
        return failure("NZB bevat geen geldige bestandslijst");
    return {std::move(nzb), QString()};
}

} // namespace NzbAssembly
