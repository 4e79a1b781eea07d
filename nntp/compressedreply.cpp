#include "compressedreply.h"

#include "nntpreply.h"
#include "zlibstream.h"

#include <QDebug>

#include <optional>

CompressedReply::Outcome CompressedReply::add(QByteArrayView line)
{
    decoder.decode(line);
    if (NntpReply::isTerminator(line))
        return finish();
    if (decoder.decodedData().size() > ZlibStream::defaultOutputLimit) {
        decoder.reset();
        return Outcome::TooLarge;
    }
    return Outcome::Pending;
}

QByteArray CompressedReply::takeLine()
{
    QByteArray line = plainLines.takeLine();
    if (line.isEmpty())
        line = plainLines.takeAll();
    if (plainLines.pending() == 0)
        plainLines = LineBuffer(); // the inflated text, up to its bound, is not kept for the next reply
    return line;
}

void CompressedReply::reset()
{
    decoder.reset();
    plainLines = LineBuffer();
}

CompressedReply::Outcome CompressedReply::finish()
{
    const bool crcOk = decoder.crcOk();
    std::optional<QByteArray> text;
    if (crcOk) {
        qDebug() << decoder.decodedData().size();
        text = ZlibStream::inflateRaw(decoder.decodedData());
    }
    decoder.reset(); // so that the next compressed reply decodes, whatever became of this one
    if (!crcOk)
        return Outcome::BadCrc;
    if (!text)
        return Outcome::BadData;
    plainLines = LineBuffer();
    plainLines.append(*text);
    return Outcome::Complete;
}
