#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

struct _xmlDoc;
struct _xmlXPathContext;

// A parsed XML document that answers XPath 1.0 queries. The bytes are parsed as
// SafeXmlParser parses them: one character per byte, no network, no DTD, no entities. A
// document that does not parse, or is refused, answers every query with nothing.
class XmlDocument
{
public:
    explicit XmlDocument(QByteArrayView bytes);
    ~XmlDocument();
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    // Lets queries name the elements of namespace uri as prefix:name.
    void registerNamespace(const QByteArray &prefix, const QByteArray &uri);

    // The string value of each node that the expression selects, in document order.
    QStringList values(const char *xpath) const;

    // The values joined by one space and written as XML text (written()).
    QString single(const char *xpath) const;
    // Values joined by one space and written as XML text ("&", "<" and ">" escaped), with
    // every line feed removed.
    static QString written(const QStringList &values);

private:
    struct FreeDoc
    {
        void operator()(_xmlDoc *doc) const;
    };
    struct FreeContext
    {
        void operator()(_xmlXPathContext *context) const;
    };
    // Made at the first query and kept: making one registers every XPath function anew.
    _xmlXPathContext *queryContext() const;

    std::unique_ptr<_xmlDoc, FreeDoc> document;
    mutable std::unique_ptr<_xmlXPathContext, FreeContext> context;
    QList<std::pair<QByteArray, QByteArray>> namespaces;
};
