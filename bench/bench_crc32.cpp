#include "benchsupport.h"
#include "crc32.h"
#include "figures.h"

namespace {

qsizetype dataSize()
{
    return Bench::sized(qsizetype(32) << 20, qsizetype(1) << 20);
}

constexpr qsizetype cachedBlock = qsizetype(256) << 10;

} // namespace

// 32 MiB in one pass: the data streams in from memory.
double crc32MBps()
{
    const QByteArray data = Bench::randomBytes(dataSize());
    quint32 crc = 0;
    const double seconds
        = Bench::bestSeconds([&] { crc = crc32Final(crc32Update(crc32Init(), data.constData(), data.size())); });
    Bench::require(crc != 0, "CRC of the data is 0");
    return Bench::megabytesPerSecond(data.size(), seconds);
}

// 32 MiB as 128 passes over one block in cache, as the decoder checksums bytes it has just written.
double crc32CachedMBps()
{
    const QByteArray block = Bench::randomBytes(cachedBlock);
    quint32 reg = crc32Init();
    const double seconds = Bench::bestSeconds([&] {
        for (qsizetype done = 0; done < dataSize(); done += block.size())
            reg = crc32Update(reg, block.constData(), block.size());
    });
    Bench::require(reg != crc32Init(), "CRC register never moved");
    return Bench::megabytesPerSecond(dataSize(), seconds);
}
