#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Bytes received but not yet taken, cut into lines. Every line taken is a copy of exactly
// its own size, so that lines kept by a receiver hold no read buffer.
class LineBuffer
{
public:
    void append(const QByteArray &bytes);
    // The next complete line, line end included; empty while no LF has arrived.
    QByteArray takeLine();
    QByteArray takeAll();
    // The bytes not yet taken, valid until the next change; and the first size of them taken.
    QByteArrayView pendingBytes() const;
    QByteArray take(qsizetype size);
    // Bytes received and not yet taken.
    qsizetype pending() const;
    void clear();

private:
    QByteArray data;
    qsizetype taken = 0;
};
