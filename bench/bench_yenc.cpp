#include "benchsupport.h"
#include "figures.h"
#include "yencdecoder.h"
#include "yencencoder.h"

// 24 MB of random bytes (deflate output looks like that) in yEnc, fed line by line as the
// client does; megabytes of yEnc text read per second.
double yencDecodeMBps()
{
    const QByteArray data = Bench::randomBytes(Bench::sized(24'000'000, 240'000));
    const QByteArray text = YencEncoder::encode(data) + ".\r\n";
    const QList<QByteArrayView> lines = YencEncoder::splitLines(text);

    YencMemDecoder decoder;
    const double seconds = Bench::bestSeconds([&] {
        decoder.reset();
        for (const QByteArrayView line : lines)
            decoder.decode(line);
    });
    Bench::require(decoder.crcOk() && decoder.decodedData() == data, "yEnc data did not decode");
    return Bench::megabytesPerSecond(text.size(), seconds);
}
