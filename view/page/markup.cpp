#include "markup.h"

#include "bytetext.h"

#include <QByteArrayView>

#include <iterator>

namespace {

struct Replacement
{
    QByteArrayView search;
    QByteArrayView replacement;
};

// The order matters: the escaped line breaks are caught before "<" and ">" are escaped,
// and "&amp;#" before "&amp;amp;#" (which does not contain it).
constexpr Replacement markupTable[] = {
    {"&amp;amp;lt;br /&gt;", "[br]"},
    {"&amp;lt;br /&amp;gt;", "[br]"},
    {"&lt;br /&gt;", "[br]"},
    {"<", "&lt;"},
    {">", "&gt;"},
    {"&amp;#", "&#"},
    {"&amp;amp;#", "&#"},
    {"&amp;quot;", "&quot;"},
    {"[br]", "<br>"},
    {"[b]", "<b>"},
    {"[i]", "<i>"},
    {"[u]", "<u>"},
    {"[/b]", "</b>"},
    {"[/i]", "</i>"},
    {"[/u]", "</u>"},
};
static_assert(std::size(markupTable) == 15);

} // namespace

QByteArray convertMarkup(const QString &text)
{
    QByteArray html = ByteText::toBytes(text);
    // QByteArray::replace continues after each inserted replacement, so a step never
    // matches its own output.
    for (const Replacement &step : markupTable)
        html.replace(step.search, step.replacement);
    return html;
}
