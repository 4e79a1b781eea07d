// The news server's reading of command lines from any bytes, cut into any pieces: the same
// lines as from one piece, never a command over the limit, and a line reported too long
// exactly where the bytes between two LFs outgrow it.
#include "commandreader.h"
#include "fuzzinput.h"
#include "newsserver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const qsizetype limit = 1 + input.byte() % 64; // short limits reach the long-line path
    const QList<qsizetype> lengths = input.lengths();
    const QByteArrayView bytes = input.rest();

    CommandReader whole(limit);
    const QList<CommandReader::Line> expected = whole.feed(bytes);
    CommandReader pieces(limit);
    QList<CommandReader::Line> lines;
    for (const QByteArrayView piece : cut(bytes, lengths))
        lines += pieces.feed(piece);
    FUZZ_CHECK(lines.size() == expected.size());

    qsizetype start = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype newline = bytes.indexOf('\n', start);
        FUZZ_CHECK(newline >= 0);
        const QByteArrayView line = bytes.sliced(start, newline + 1 - start);
        start = newline + 1;
        FUZZ_CHECK(lines[i].tooLong == expected[i].tooLong && lines[i].command == expected[i].command);
        FUZZ_CHECK(lines[i].tooLong == (line.size() > limit));
        if (!lines[i].tooLong)
            FUZZ_CHECK(lines[i].command == (line.endsWith("\r\n") ? line.chopped(2) : line));
    }
    FUZZ_CHECK(bytes.indexOf('\n', start) < 0);
    // The real limit holds a full RFC 3977 line and no more.
    CommandReader server(NewsServer::maxCommandLength);
    FUZZ_CHECK(server.feed(QByteArray(NewsServer::maxCommandLength - 2, 'x') + "\r\n").first().tooLong == false);
    return 0;
}
