#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include "crc32.h"

// Turns the yEnc text of one compressed overview or header reply back into bytes in memory
// and checks them against the CRC-32 of the "=yend" trailer.
//
// Feed the reply's text with decode() in chunks of any size, as received (dot-stuffed,
// CR LF lines, the terminating "." line may follow): the result does not depend on where
// the chunks are cut. Bytes before the "=ybegin " line are discarded, "=ypart " lines are
// ignored, and after the trailer crcOk() tells whether decodedData() is intact. Whatever
// follows the trailer is ignored until reset(), which the owner calls before the next reply.
class YencMemDecoder : public QObject
{
    Q_OBJECT

public:
    explicit YencMemDecoder(QObject *parent = nullptr);

    void reset();
    void decode(QByteArrayView chunk);

    const QByteArray &decodedData() const;
    // True once a trailer whose CRC matches the decoded data has been read.
    bool crcOk() const;

private:
    enum class Stream { WaitingForHeader, InData, TrailerSeen };
    // Where the scan stands between two bytes, so that a chunk may end anywhere.
    enum class Scan { Data, Escape, LineStart, LineStartDot, LineStartEquals, KeywordLine };

    void keepDecoded(qsizetype start, qsizetype count);
    void updateCrc();
    void checkTrailer();

    QByteArray decoded;
    QByteArray keywordLine;
    quint64 total = 0;
    quint32 crcRegister = crc32Init();
    qsizetype checksummed = 0; // decoded bytes that the CRC register covers
    Stream stream = Stream::WaitingForHeader;
    Scan scan = Scan::LineStart;
    bool crcMatches = false;
};
