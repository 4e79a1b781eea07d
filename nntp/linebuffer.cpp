#include "linebuffer.h"

void LineBuffer::append(const QByteArray &bytes)
{
    // What was taken goes once it is at least half of the buffer, so that appending to a
    // buffer that holds much is not a move of all of it; the storage is reused from read to read.
    if (taken > 0 && taken >= data.size() / 2) {
        data.remove(0, taken);
        taken = 0;
    }
    data += bytes;
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

QByteArrayView LineBuffer::pendingBytes() const
{
    return QByteArrayView(data).sliced(taken);
}

QByteArray LineBuffer::take(qsizetype size)
{
    const QByteArray part = data.sliced(taken, size);
    taken += size;
    return part;
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
