#include "safexmlparser.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>

namespace {

// No entity substitution, no DTD loading or default attributes, nothing printed; the
// declared encoding is ignored because the bytes are always read as Latin-1.
constexpr int parseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

SafeXmlParser &owner(void *context)
{
    return *static_cast<SafeXmlParser *>(static_cast<xmlParserCtxt *>(context)->_private);
}

bool declaresEntities(const xmlDoc *doc)
{
    const xmlDtd *dtd = doc ? doc->intSubset : nullptr;
    return dtd && (dtd->entities || dtd->pentities);
}

} // namespace

// An entity declaration ends the parse before any reference to it can be expanded: refusing
// every entity is simpler and safer than bounding how far references may grow.
struct EntityRefusal
{
    static void refuse(void *context)
    {
        owner(context).refused = true;
        xmlStopParser(static_cast<xmlParserCtxt *>(context));
    }
    static void entity(void *context, const xmlChar *, int, const xmlChar *, const xmlChar *, xmlChar *)
    {
        refuse(context);
    }
    static void unparsedEntity(void *context, const xmlChar *, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        refuse(context);
    }
};

void SafeXmlParser::FreeParser::operator()(_xmlParserCtxt *parser) const
{
    xmlFreeDoc(parser->myDoc);
    xmlFreeParserCtxt(parser);
}

SafeXmlParser::SafeXmlParser(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    if (bytes.isEmpty() || bytes.size() > INT_MAX)
        return;
    xmlInitParser();
    parser.reset(xmlCreateMemoryParserCtxt(bytes.data(), int(bytes.size())));
    if (!parser || !parser->sax) {
        parser.reset();
        return;
    }
    parser->_private = this;
    parser->sax->entityDecl = EntityRefusal::entity;
    parser->sax->unparsedEntityDecl = EntityRefusal::unparsedEntity;
    xmlCtxtUseOptions(parser.get(), parseOptions);
    // Not left to libxml2's process-wide defaults.
    parser->replaceEntities = 0;
    parser->loadsubset = 0;
    parser->validate = 0;
    xmlSwitchEncoding(parser.get(), XML_CHAR_ENCODING_8859_1);
}

SafeXmlParser::~SafeXmlParser() = default;

_xmlSAXHandler *SafeXmlParser::handler()
{
    return parser ? parser->sax : nullptr;
}

void SafeXmlParser::setUserData(void *data)
{
    user = data;
}

void *SafeXmlParser::userData(void *context)
{
    return owner(context).user;
}

bool SafeXmlParser::parse()
{
    if (!parser)
        return false;
    xmlParseDocument(parser.get());
    accepted = parser->wellFormed && !refused && !declaresEntities(parser->myDoc);
    return accepted;
}

_xmlDoc *SafeXmlParser::takeDocument()
{
    if (!parser || !accepted)
        return nullptr;
    xmlDoc *doc = parser->myDoc;
    parser->myDoc = nullptr;
    return doc;
}
