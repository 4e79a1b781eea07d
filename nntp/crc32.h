#pragma once

#include <QtGlobal>

// CRC-32 of ISO-HDLC, as zlib and yEnc use it (reflected polynomial 0xEDB88320).
// The register runs from crc32Init() through any number of crc32Update() calls;
// crc32Final() turns it into the checksum.

constexpr quint32 crc32Init()
{
    return 0xFFFFFFFFu;
}

quint32 crc32Update(quint32 reg, const void *data, qsizetype len);

constexpr quint32 crc32Final(quint32 reg)
{
    return ~reg;
}
