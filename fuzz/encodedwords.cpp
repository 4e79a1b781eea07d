// decodeEncodedWords() against the rule it implements in linear time: decode the first
// "=?UTF-8?B?...?=" of the text and start again from the beginning, until none is left.
#include "bytetext.h"
#include "fuzzinput.h"
#include "spotheader.h"

namespace {

// The rule as written, quadratic: only for inputs of fuzzer size.
QString decodedByRule(QByteArrayView title)
{
    const QLatin1StringView introducer("=?UTF-8?B?");
    const QLatin1StringView closer("?=");
    QString text = ByteText::toText(title.toByteArray().replace("?= =?", "?==?"));
    for (;;) {
        const qsizetype start = text.indexOf(introducer);
        if (start < 0)
            return text;
        const qsizetype end = text.indexOf(closer, start + introducer.size());
        if (end < 0)
            return text;
        const qsizetype payload = start + introducer.size();
        const QByteArray bytes = QByteArray::fromBase64(text.sliced(payload, end - payload).toLatin1());
        const qsizetype nul = bytes.indexOf('\0');
        text.replace(start, end + closer.size() - start, QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray title(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decoded = decodeEncodedWords(title);
    FUZZ_CHECK(title.isEmpty() || !decoded.isNull()); // a null text would be bound as NULL
    FUZZ_CHECK(decoded.size() <= title.size()); // no word decodes to more characters than it is long
    FUZZ_CHECK(decoded == decodedByRule(title));
    return 0;
}
