// convertMarkup() on any text, read byte per character or as UTF-16: the only tags in the
// HTML are those of the bracket codes, no bracket code is left, and the HTML is at most four
// bytes per character (a "<" becomes "&lt;").
#include "fuzzinput.h"
#include "markup.h"

namespace {

const QByteArrayView tags[] = {"<br>", "<b>", "<i>", "<u>", "</b>", "</i>", "</u>"};
const QByteArrayView codes[] = {"[br]", "[b]", "[i]", "[u]", "[/b]", "[/i]", "[/u]"};

void check(const QString &text)
{
    QByteArray html = convertMarkup(text);
    FUZZ_CHECK(html.size() <= 4 * text.size());
    for (const QByteArrayView code : codes)
        FUZZ_CHECK(!html.contains(code));
    for (const QByteArrayView tag : tags)
        html.replace(tag, "");
    FUZZ_CHECK(!html.contains('<') && !html.contains('>'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(QString::fromLatin1(bytes));
    check(QString(reinterpret_cast<const QChar *>(bytes.data()), bytes.size() / 2));
    return 0;
}
