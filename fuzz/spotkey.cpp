// spotKeyFromReference() on any References value: a key only for a value of message-id size
// that names the spot domain, never longer than the value, and for "<key@free.pt>" exactly
// the key.
#include "bytetext.h"
#include "commentdownload.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray value(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> key = spotKeyFromReference(value);
    const bool plausible = value.size() >= 12 && value.size() <= 512 && value.contains("@free.pt");
    FUZZ_CHECK(key.has_value() == plausible);
    if (key)
        FUZZ_CHECK(key->size() <= value.size() - 10);

    // The value read as a key: the reference that a comment on it carries gives it back.
    const QByteArray reference = '<' + value + "@free.pt>";
    const std::optional<QString> back = spotKeyFromReference(reference);
    if (reference.size() >= 12 && reference.size() <= 512)
        FUZZ_CHECK(back && *back == ByteText::toText(value));
    else
        FUZZ_CHECK(!back);
    return 0;
}
