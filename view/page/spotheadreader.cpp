#include "spotheadreader.h"

#include "safexmlparser.h"
#include "spotxml.h"
#include "xmldocument.h"

#include <libxml/parser.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// What SpotFields reads of "/Spotnet/Posting/...", taken in one pass over the SAX events
// instead of from a document and its XPath queries, which cost several times the parse.
class DetailsCollector
{
public:
    // The single values: the first element of the name in each Posting, their text joined.
    enum Value { Description, Size, Image, Website, Newsgroup, valueCount };

    explicit DetailsCollector(QByteArrayView xml)
        : parser(xml)
    {
        xmlSAXHandler *handler = parser.handler();
        if (!handler)
            return;
        parser.setUserData(this);
        handler->initialized = XML_SAX2_MAGIC;
        handler->startElement = nullptr;
        handler->endElement = nullptr;
        handler->startElementNs = start;
        handler->endElementNs = end;
        handler->characters = text;
        handler->cdataBlock = text;
        handler->ignorableWhitespace = text;
        // Not part of any value, and no tree is built to hold them.
        handler->comment = nullptr;
        handler->processingInstruction = nullptr;
        handler->reference = nullptr;
    }

    bool parse() { return parser.parse(); }

    // The text of each element of the value, in document order.
    const QList<QByteArray> &texts(Value value) const { return values[value]; }
    int segments() const { return segmentCount; }
    int files() const { return fileCount; }

private:
    static DetailsCollector &of(void *context)
    {
        return *static_cast<DetailsCollector *>(SafeXmlParser::userData(context));
    }

    // A name test of an XPath step: a local name without a namespace.
    static bool named(const xmlChar *localName, const xmlChar *prefix, const xmlChar *uri, const char *name)
    {
        return !prefix && !uri && std::strcmp(reinterpret_cast<const char *>(localName), name) == 0;
    }

    static void start(void *context, const xmlChar *localName, const xmlChar *prefix, const xmlChar *uri, int,
                      const xmlChar **, int, int, const xmlChar **)
    {
        static constexpr const char *valueNames[valueCount] = {"Description", "Size", "Image", "Website", "Newsgroup"};
        DetailsCollector &self = of(context);
        const int depth = ++self.depth;
        const auto is = [&](const char *name) { return named(localName, prefix, uri, name); };
        if (depth == 1) {
            self.inRoot = is("Spotnet");
        } else if (depth == 2) {
            self.inPosting = self.inRoot && is("Posting");
            self.seen = {};
        } else if (depth == 3 && self.inPosting) {
            self.inNzb = is("NZB");
            if (is("Filename"))
                ++self.fileCount;
            for (int value = 0; value < valueCount; ++value) {
                if (!self.seen[value] && is(valueNames[value])) {
                    self.seen[value] = true;
                    self.capturing = &self.values[value].emplace_back();
                }
            }
        } else if (depth == 4 && self.inNzb && is("Segment")) {
            ++self.segmentCount;
        }
    }

    static void end(void *context, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        DetailsCollector &self = of(context);
        if (self.depth-- == 3) {
            self.capturing = nullptr;
            self.inNzb = false;
        }
    }

    static void text(void *context, const xmlChar *characters, int length)
    {
        // An element's string value: the text of all its descendants.
        if (QByteArray *value = of(context).capturing)
            value->append(reinterpret_cast<const char *>(characters), length);
    }

    SafeXmlParser parser;
    QList<QByteArray> values[valueCount]; // UTF-8
    QByteArray *capturing = nullptr; // the value whose element is open
    std::array<bool, valueCount> seen{}; // in the open Posting
    int depth = 0;
    bool inRoot = false;
    bool inPosting = false;
    bool inNzb = false;
    int segmentCount = 0;
    int fileCount = 0;
};

QString written(const QList<QByteArray> &texts)
{
    QStringList values;
    values.reserve(texts.size());
    for (const QByteArray &text : texts)
        values.append(QString::fromUtf8(text));
    return XmlDocument::written(values);
}

// What XmlDocument::written() gives is empty: line feeds alone, or nothing.
bool writtenEmpty(const QList<QByteArray> &texts)
{
    return texts.isEmpty() || (texts.size() == 1 && std::all_of(texts.front().begin(), texts.front().end(), [](char c) {
                                   return c == '\n';
                               }));
}

} // namespace

std::optional<SpotDetails> SpotHeadReader::read(QByteArrayView head)
{
    if (head.size() > maxHeadSize)
        return std::nullopt;
    // The header lines end at an empty line, if the block has one.
    const qsizetype end = head.indexOf(QByteArrayView("\r\n\r\n"));
    const QByteArray xml = SpotFields::xmlOf(end >= 0 ? head.first(end) : head);
    if (xml.isEmpty())
        return std::nullopt;
    DetailsCollector collector(xml);
    if (!collector.parse() || writtenEmpty(collector.texts(DetailsCollector::Description)))
        return std::nullopt;
    SpotDetails details;
    details.size = SpotDetails::sizeFrom(written(collector.texts(DetailsCollector::Size)));
    details.image = written(collector.texts(DetailsCollector::Image));
    details.website = written(collector.texts(DetailsCollector::Website));
    details.newsgroup = written(collector.texts(DetailsCollector::Newsgroup));
    details.segments = std::min(collector.segments(), SpotDetails::maxCount);
    details.files = std::min(collector.files(), SpotDetails::maxCount);
    return details.bounded();
}
