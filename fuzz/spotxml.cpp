// SpotFields::parseArticle() on any article, and on any XML spread over "X-XML: " lines as
// the fuzzer cuts it: no crash, nothing expanded beyond the escaping of single values (which
// hold no "<", ">" or line feed), the first segment leading its single value, and the same fields
// however the XML is cut into header lines; and SpotHeadReader's one pass over the same header
// lines giving the details that the page's reading gives.
#include "fuzzinput.h"
#include "pagedetails.h"
#include "spotheadreader.h"
#include "spotxml.h"

namespace {

QString writtenAsXml(QString text)
{
    return text.remove(QLatin1Char('\n'))
        .replace(QLatin1Char('&'), QLatin1StringView("&amp;"))
        .replace(QLatin1Char('<'), QLatin1StringView("&lt;"))
        .replace(QLatin1Char('>'), QLatin1StringView("&gt;"));
}

bool isXmlText(const QString &value)
{
    return !value.contains(QLatin1Char('<')) && !value.contains(QLatin1Char('>')) && !value.contains(QLatin1Char('\n'));
}

void checkFields(const std::optional<SpotFields> &fields, qsizetype xmlSize)
{
    if (!fields)
        return;
    FUZZ_CHECK(!fields->description.isEmpty());
    qsizetype total = 0;
    for (const QString *value : {&fields->description, &fields->image, &fields->website, &fields->newsgroup}) {
        FUZZ_CHECK(isXmlText(*value));
        total += value->size();
    }
    for (const QByteArray &segment : fields->nzbSegments)
        total += segment.size();
    for (const QString &name : fields->fileNames)
        total += name.size();
    // Text is at most five times its XML ("&" written as "&amp;"), and all of it came from there.
    FUZZ_CHECK(total <= 5 * xmlSize);
    // The first segment of every NZB element, joined: the first of all comes first.
    if (fields->nzbSegments.isEmpty())
        FUZZ_CHECK(fields->nzbMessageId.isEmpty());
    else if (const QString first = writtenAsXml(QString::fromLatin1(fields->nzbSegments.first())); !first.isEmpty())
        FUZZ_CHECK(QString::fromLatin1(fields->nzbMessageId).startsWith(first));
}

bool sameFields(const std::optional<SpotFields> &a, const std::optional<SpotFields> &b)
{
    if (!a || !b)
        return !a && !b;
    return a->description == b->description && a->size == b->size && a->image == b->image && a->website == b->website
        && a->newsgroup == b->newsgroup && a->nzbMessageId == b->nzbMessageId && a->nzbSegments == b->nzbSegments
        && a->fileNames == b->fileNames;
}

QByteArray articleOf(const QList<QByteArrayView> &xmlLines)
{
    QByteArray article = "From: Jan Spotter <Xk9Z@2101a01.a1.b2.1600000000.c3.d4>\r\n";
    for (const QByteArrayView line : xmlLines)
        article += "X-XML: " + line.toByteArray() + "\r\n";
    return article + "Subject: Een spot\r\n\r\nDe spot zelf staat in de kopregels.\r\n.\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const bool wholeArticle = input.byte() & 1;
    const QList<qsizetype> lengths = input.lengths();
    QByteArray bytes = input.rest().toByteArray();

    if (wholeArticle) {
        checkFields(SpotFields::parseArticle(bytes), bytes.size());
        FUZZ_CHECK(SpotHeadReader::read(bytes) == pageDetails(bytes));
        return 0;
    }
    // Line breaks inside the XML would end its header line.
    bytes.removeIf([](char c) { return c == '\r' || c == '\n'; });
    const QByteArray article = articleOf({bytes});
    const std::optional<SpotFields> oneLine = SpotFields::parseArticle(article);
    checkFields(oneLine, bytes.size());
    const QByteArray head = article.first(article.indexOf("\r\n\r\n") + 2);
    FUZZ_CHECK(SpotHeadReader::read(head) == pageDetails(head));
    FUZZ_CHECK(sameFields(SpotFields::parseArticle(articleOf(cut(bytes, lengths))), oneLine));
    return 0;
}
