#pragma once

#include "linebuffer.h"
#include "yencdecoder.h"

#include <QByteArray>

// The data of one compressed (XZVER, XZHDR) reply: yEnc lines of raw deflate data, fed as
// they arrive, and once the terminator has come the lines of the plain reply they carry,
// as the uncompressed command would have sent them (each with its LF, the last one maybe
// without; not dot-stuffed, so a "." line among them is data). Inflation is bounded by
// ZlibStream::defaultOutputLimit, and so is the decoded data while it arrives.
class CompressedReply
{
public:
    enum class Outcome {
        Pending, // more lines are due
        TooLarge, // the decoded data passed its bound: the reply is to be abandoned
        BadCrc, // the yEnc trailer is missing or its CRC does not match
        BadData, // the data does not inflate (within its bound)
        Complete, // takeLine() hands out the plain lines
    };

    // Takes one line of the reply, line end included; the terminator ".\r\n" ends it. Every
    // outcome but Pending starts the next reply afresh.
    Outcome add(QByteArrayView line);
    // The next plain line after Complete; empty once all have been taken.
    QByteArray takeLine();
    // Forgets the reply under way and any lines not taken.
    void reset();

private:
    Outcome finish();

    YencMemDecoder decoder;
    LineBuffer plainLines;
};
