// YencMemDecoder on whatever a server sends: the input cut into pieces chosen by the fuzzer.
// Every cutting, and one byte at a time, must end with the data and verdict of the whole; the
// data never outgrows the text; encoded bytes come back as they were, CRC and all.
#include "fuzzinput.h"
#include "yencdecoder.h"
#include "yencencoder.h"

namespace {

struct Result
{
    QByteArray data;
    bool crcOk = false;
};

Result decode(YencMemDecoder &decoder, const QList<QByteArrayView> &pieces)
{
    decoder.reset();
    for (const QByteArrayView piece : pieces)
        decoder.decode(piece);
    return {decoder.decodedData(), decoder.crcOk()};
}

QList<QByteArrayView> bytewise(QByteArrayView text)
{
    return cut(text, {1});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const QList<qsizetype> lengths = input.lengths();
    const QByteArrayView text = input.rest();

    YencMemDecoder decoder;
    const Result whole = decode(decoder, {text});
    FUZZ_CHECK(whole.data.size() <= text.size());
    // The same decoder after reset(): nothing of the last stream may stay behind.
    const Result pieces = decode(decoder, cut(text, lengths));
    FUZZ_CHECK(pieces.data == whole.data && pieces.crcOk == whole.crcOk);
    const Result bytes = decode(decoder, bytewise(text));
    FUZZ_CHECK(bytes.data == whole.data && bytes.crcOk == whole.crcOk);

    // The text read as payload: encoded as a server encodes it, it decodes to itself.
    const QByteArray stream = YencEncoder::encode(text) + ".\r\n";
    const Result roundTrip = decode(decoder, cut(stream, lengths));
    FUZZ_CHECK(roundTrip.crcOk && roundTrip.data == text);
    return 0;
}
