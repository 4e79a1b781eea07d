// The comment number list on any blob: one number per whole 4 bytes, and the blob (without
// its broken tail) written again byte for byte; numbers survive the way back and forth.
#include "commentnumberlist.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray blob(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<quint32> numbers = CommentNumberList::decode(blob);
    FUZZ_CHECK(numbers.size() == blob.size() / 4);
    const QByteArray written = CommentNumberList::encode(numbers);
    FUZZ_CHECK(written == blob.first(numbers.size() * 4));
    FUZZ_CHECK(CommentNumberList::decode(written) == numbers);
    // Big-endian: the first byte is the most significant one.
    if (!numbers.isEmpty())
        FUZZ_CHECK(numbers.first() >> 24 == quint8(blob[0]));
    return 0;
}
