#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The command lines of one connection, cut from its bytes in whatever pieces they arrive.
// A line longer than the limit (its LF included) is never handed on as a command: it is
// reported once, when its end arrives, and what came of it is dropped as it comes, so the
// reader never holds more than the limit.
class CommandReader
{
public:
    struct Line
    {
        QByteArray command; // without its CR LF; a line that ends in LF alone is kept as it came
        bool tooLong = false;
    };

    explicit CommandReader(qsizetype maxLength);

    // The lines these bytes complete, in order.
    QList<Line> feed(QByteArrayView bytes);

private:
    const qsizetype maxLength;
    QByteArray pending;
    bool skipping = false;
};
