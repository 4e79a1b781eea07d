#include "benchsupport.h"
#include "figures.h"
#include "overviewcorpus.h"
#include "yencdecoder.h"
#include "yencencoder.h"
#include "zlibstream.h"

// A compressed overview reply of one full range: yEnc-decoded line by line, inflated and cut
// into lines again, as the client does before it hands the lines on; megabytes of overview
// text per second.
double xzverDecodeInflateMBps()
{
    const qint64 rangeSize = Bench::sized<qint64>(50'001, 501); // one download range: 26.5 MB of overview text
    const QByteArray plain = OverviewCorpus::lines(1, rangeSize);
    const QByteArray reply = YencEncoder::compressedReply(plain);
    const QList<QByteArrayView> replyLines = YencEncoder::splitLines(reply);

    YencMemDecoder decoder;
    qint64 lineCount = 0;
    qint64 textSize = 0;
    const double seconds = Bench::bestSeconds([&] {
        decoder.reset();
        for (const QByteArrayView line : replyLines)
            decoder.decode(line);
        Bench::require(decoder.crcOk(), "compressed reply failed its CRC check");
        const std::optional<QByteArray> text = ZlibStream::inflateRaw(decoder.decodedData());
        Bench::require(text.has_value(), "compressed reply did not inflate");
        lineCount = 0;
        textSize = 0;
        for (const QByteArrayView line : YencEncoder::splitLines(*text)) {
            ++lineCount;
            textSize += line.size();
        }
    });
    Bench::require(lineCount == rangeSize && textSize == plain.size(), "inflated reply lost lines");
    return Bench::megabytesPerSecond(plain.size(), seconds);
}
