#include "commandreader.h"

CommandReader::CommandReader(qsizetype limit)
    : maxLength(limit)
{
}

QList<CommandReader::Line> CommandReader::feed(QByteArrayView bytes)
{
    QList<Line> lines;
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        const QByteArrayView piece = newline < 0 ? bytes : bytes.first(newline + 1);
        bytes = bytes.sliced(piece.size());
        if (!skipping)
            pending += piece;
        if (pending.size() > maxLength) {
            pending.clear();
            skipping = true;
        }
        if (newline < 0)
            break;
        if (skipping)
            lines.append({{}, true});
        else
            lines.append({pending.endsWith("\r\n") ? pending.chopped(2) : pending, false});
        pending.clear();
        skipping = false;
    }
    return lines;
}
