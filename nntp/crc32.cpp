#include "crc32.h"

#include <zlib.h>

// zlib's crc32() outran an eight-table lookup by more than two to one on this kind of data.
// It takes and returns the complemented register, hence the complements around the call.
quint32 crc32Update(quint32 reg, const void *data, qsizetype len)
{
    Q_ASSERT(len >= 0);
    return ~quint32(crc32_z(~reg, static_cast<const Bytef *>(data), z_size_t(len)));
}
