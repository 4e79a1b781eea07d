#include "xmldocument.h"

#include "safexmlparser.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>

namespace {

struct FreeObject
{
    void operator()(xmlXPathObject *object) const { xmlXPathFreeObject(object); }
};
struct FreeString
{
    void operator()(xmlChar *text) const { xmlFree(text); }
};

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
    SafeXmlParser parser(bytes);
    if (parser.parse())
        document.reset(parser.takeDocument());
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
    return written(values(xpath));
}

QString XmlDocument::written(const QStringList &values)
{
    const QString joined = values.join(QLatin1Char(' '));
    // Most values (a size, an address, a group) need nothing written.
    const auto plain = [](QChar c) { return c != u'&' && c != u'<' && c != u'>' && c != u'\n'; };
    if (std::all_of(joined.begin(), joined.end(), plain))
        return joined;
    QString text;
    text.reserve(joined.size());
    for (const QChar c : joined) {
        switch (c.unicode()) {
        case u'&':
            text += QLatin1StringView("&amp;");
            break;
        case u'<':
            text += QLatin1StringView("&lt;");
            break;
        case u'>':
            text += QLatin1StringView("&gt;");
            break;
        case u'\n':
            break;
        default:
            text += c;
        }
    }
    return text;
}
