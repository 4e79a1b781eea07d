#include "xmldocument.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>

namespace {

struct FreeParser
{
    void operator()(xmlParserCtxt *parser) const { xmlFreeParserCtxt(parser); }
};
struct FreeObject
{
    void operator()(xmlXPathObject *object) const { xmlXPathFreeObject(object); }
};
struct FreeString
{
    void operator()(xmlChar *text) const { xmlFree(text); }
};

// No entity substitution, no DTD loading or default attributes, nothing printed; the
// declared encoding is ignored because the bytes are always read as Latin-1.
constexpr int parseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

// An entity declaration ends the parse before any reference to it can be expanded: refusing
// every entity is simpler and safer than bounding how far references may grow.
void refuse(void *context)
{
    auto *parser = static_cast<xmlParserCtxt *>(context);
    *static_cast<bool *>(parser->_private) = true;
    xmlStopParser(parser);
}

void refuseEntity(void *context, const xmlChar *, int, const xmlChar *, const xmlChar *, xmlChar *)
{
    refuse(context);
}

void refuseUnparsedEntity(void *context, const xmlChar *, const xmlChar *, const xmlChar *, const xmlChar *)
{
    refuse(context);
}

bool declaresEntities(const xmlDoc *doc)
{
    const xmlDtd *dtd = doc->intSubset;
    return dtd && (dtd->entities || dtd->pentities);
}

const xmlChar *xml(const char *text)
{
    return reinterpret_cast<const xmlChar *>(text);
}

} // namespace

void XmlDocument::FreeDoc::operator()(_xmlDoc *doc) const
{
    xmlFreeDoc(doc);
}

XmlDocument::XmlDocument(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    if (bytes.isEmpty() || bytes.size() > INT_MAX)
        return;

    xmlInitParser();
    const std::unique_ptr<xmlParserCtxt, FreeParser> parser(xmlCreateMemoryParserCtxt(bytes.data(), int(bytes.size())));
    if (!parser || !parser->sax)
        return;
    bool refused = false;
    parser->_private = &refused;
    parser->sax->entityDecl = refuseEntity;
    parser->sax->unparsedEntityDecl = refuseUnparsedEntity;
    xmlCtxtUseOptions(parser.get(), parseOptions);
    // Not left to libxml2's process-wide defaults.
    parser->replaceEntities = 0;
    parser->loadsubset = 0;
    parser->validate = 0;
    xmlSwitchEncoding(parser.get(), XML_CHAR_ENCODING_8859_1);
    xmlParseDocument(parser.get());

    std::unique_ptr<xmlDoc, FreeDoc> doc(parser->myDoc);
    parser->myDoc = nullptr;
    if (doc && parser->wellFormed && !refused && !declaresEntities(doc.get()))
        document = std::move(doc);
}

void XmlDocument::FreeContext::operator()(_xmlXPathContext *context) const
{
    xmlXPathFreeContext(context);
}

XmlDocument::~XmlDocument() = default;

void XmlDocument::registerNamespace(const QByteArray &prefix, const QByteArray &uri)
{
    namespaces.append({prefix, uri});
    if (context)
        xmlXPathRegisterNs(context.get(), xml(namespaces.last().first.constData()),
                           xml(namespaces.last().second.constData()));
}

_xmlXPathContext *XmlDocument::queryContext() const
{
    if (!context && document) {
        context.reset(xmlXPathNewContext(document.get()));
        for (const auto &[prefix, uri] : namespaces) {
            if (context)
                xmlXPathRegisterNs(context.get(), xml(prefix.constData()), xml(uri.constData()));
        }
    }
    return context.get();
}

QStringList XmlDocument::values(const char *xpath) const
{
    QStringList result;
    xmlXPathContext *query = queryContext();
    if (!query)
        return result;
    // An earlier query may leave its context node and position behind: back to a new context's.
    query->node = nullptr;
    query->contextSize = -1;
    query->proximityPosition = -1;
    const std::unique_ptr<xmlXPathObject, FreeObject> found(xmlXPathEvalExpression(xml(xpath), query));
    if (!found || found->type != XPATH_NODESET || !found->nodesetval)
        return result;
    const xmlNodeSet *nodes = found->nodesetval;
    result.reserve(nodes->nodeNr);
    for (int i = 0; i < nodes->nodeNr; ++i) {
        const std::unique_ptr<xmlChar, FreeString> text(xmlXPathCastNodeToString(nodes->nodeTab[i]));
        // libxml2 hands out UTF-8 of the Latin-1 characters it read.
        result.append(text ? QString::fromUtf8(reinterpret_cast<const char *>(text.get())) : QString());
    }
    return result;
}

QString XmlDocument::single(const char *xpath) const
{
    const QString joined = values(xpath).join(QLatin1Char(' '));
    QString written;
    written.reserve(joined.size());
    for (const QChar c : joined) {
        switch (c.unicode()) {
        case u'&':
            written += QLatin1StringView("&amp;");
            break;
        case u'<':
            written += QLatin1StringView("&lt;");
            break;
        case u'>':
            written += QLatin1StringView("&gt;");
            break;
        case u'\n':
            break;
        default:
            written += c;
        }
    }
    return written;
}
