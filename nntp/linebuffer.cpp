#include "linebuffer.h"

void LineBuffer::append(const QByteArray &bytes)
{
    // Only the unfinished line moves; the storage is reused from read to read.
    data.remove(0, taken);
    data += bytes;
    taken = 0;
}

QByteArray LineBuffer::takeLine()
{
    const qsizetype lineFeed = data.indexOf('\n', taken);
    if (lineFeed < 0)
        return {};
    const QByteArray line = data.sliced(taken, lineFeed + 1 - taken);
    taken = lineFeed + 1;
    return line;
}

QByteArray LineBuffer::takeAll()
{
    const QByteArray rest = taken == 0 ? data : data.sliced(taken);
    clear();
    return rest;
}

void LineBuffer::clear()
{
    data.resize(0);
    taken = 0;
}

qsizetype LineBuffer::pending() const
{
    return data.size() - taken;
}
