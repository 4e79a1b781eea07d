#pragma once

#include <QByteArrayView>

#include <memory>

struct _xmlDoc;
struct _xmlParserCtxt;
struct _xmlSAXHandler;

// A libxml2 parse of bytes read one character per byte (ISO 8859-1, up to the first NUL,
// whatever encoding the document declares), so text comes back as UTF-8 of those characters.
// It never uses the network, loads no DTD, and stops at the first entity declaration, so no
// entity is ever expanded.
//
// By default libxml2's own SAX handlers build a document (takeDocument()). A reader that
// needs no tree sets element and text callbacks of its own on handler() before parse(); they
// are called with the parser context, and userData() gives them back what setUserData() set.
// The handlers that refuse entities are the parser's: leave them.
class SafeXmlParser
{
public:
    explicit SafeXmlParser(QByteArrayView bytes);
    ~SafeXmlParser();
    SafeXmlParser(const SafeXmlParser &) = delete;
    SafeXmlParser &operator=(const SafeXmlParser &) = delete;

    // Null when there is nothing to parse (no bytes, or more than libxml2 takes at once).
    _xmlSAXHandler *handler();
    void setUserData(void *data);
    static void *userData(void *context);

    // Parses the whole document once. True when it is well-formed and declares no entity.
    bool parse();
    // The document libxml2's handlers built, when parse() was true; null otherwise.
    _xmlDoc *takeDocument();

private:
    friend struct EntityRefusal;
    struct FreeParser
    {
        void operator()(_xmlParserCtxt *parser) const;
    };

    std::unique_ptr<_xmlParserCtxt, FreeParser> parser;
    void *user = nullptr;
    bool refused = false;
    bool accepted = false;
};
