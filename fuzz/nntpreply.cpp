// The client's reply handling fed from bytes: the input, cut into reads chosen by the fuzzer,
// goes through the line buffer as SpotNNTP reads a socket; the first line is a status line,
// the rest data lines of an overview, references or compressed reply. The line buffer loses
// and adds nothing, parsers stay inside their line, a compressed reply ends in a verdict or
// lines that hold nothing but line ends, and the same reader then decodes a real compressed
// reply to exactly its plain lines.
#include "compressedreply.h"
#include "fuzzinput.h"
#include "linebuffer.h"
#include "nntpreply.h"
#include "yencencoder.h"
#include "zlibstream.h"

namespace {

// The lines of the bytes read in the given pieces, and what is left without a line end.
struct Lines
{
    QList<QByteArray> complete;
    QByteArray rest;
};

Lines readLines(const QList<QByteArrayView> &reads)
{
    LineBuffer buffer;
    Lines lines;
    qsizetype pending = 0;
    for (const QByteArrayView read : reads) {
        buffer.append(read.toByteArray());
        pending += read.size();
        for (QByteArray line = buffer.takeLine(); !line.isEmpty(); line = buffer.takeLine()) {
            FUZZ_CHECK(line.indexOf('\n') == line.size() - 1);
            pending -= line.size();
            lines.complete.append(line);
        }
        FUZZ_CHECK(buffer.pending() == pending);
    }
    lines.rest = buffer.takeAll();
    FUZZ_CHECK(lines.rest.size() == pending && !lines.rest.contains('\n'));
    FUZZ_CHECK(buffer.pending() == 0 && buffer.takeLine().isEmpty());
    return lines;
}

bool within(QByteArrayView part, QByteArrayView line)
{
    return part.size() <= line.size() && line.contains(part);
}

void checkStatusLine(const QByteArray &line)
{
    const int code = NntpReply::code(line);
    FUZZ_CHECK(code >= -99 && code <= 999);
    const NntpReply::Group group = NntpReply::parseGroup(line);
    FUZZ_CHECK(within(group.name, line) && !group.name.contains(' '));
    if (line.count(' ') < 4)
        FUZZ_CHECK(group.name.isEmpty() && group.low == 0 && group.high == 0);
}

void checkDataLine(const QByteArray &line)
{
    FUZZ_CHECK(NntpReply::isTerminator(line) == (line == ".\r\n"));
    if (const auto references = NntpReply::parseReferences(line)) {
        FUZZ_CHECK(references->number >= 0);
        FUZZ_CHECK(within(references->value, line) && !references->value.contains(' ')
                   && !references->value.endsWith('\n'));
    }
}

// Feeds the data lines until the reply has its verdict; the lines of a complete one are returned.
std::optional<QByteArray> readCompressed(CompressedReply &reply, const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines) {
        switch (reply.add(line)) {
        case CompressedReply::Outcome::Pending:
            continue;
        case CompressedReply::Outcome::Complete: {
            QByteArray text;
            for (QByteArray plain = reply.takeLine(); !plain.isEmpty(); plain = reply.takeLine()) {
                FUZZ_CHECK(!plain.chopped(1).contains('\n'));
                text += plain;
                FUZZ_CHECK(text.size() <= ZlibStream::defaultOutputLimit);
            }
            return text;
        }
        default:
            FUZZ_CHECK(reply.takeLine().isEmpty());
            return std::nullopt;
        }
    }
    reply.reset(); // the connection ended half-way
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const QList<qsizetype> lengths = input.lengths();
    const QByteArrayView bytes = input.rest();

    const Lines lines = readLines(cut(bytes, lengths));
    const Lines whole = readLines({bytes});
    FUZZ_CHECK(lines.complete == whole.complete && lines.rest == whole.rest);
    FUZZ_CHECK(lines.complete.join() + lines.rest == bytes);
    if (lines.complete.isEmpty())
        return 0;
    checkStatusLine(lines.complete.first());
    const QList<QByteArray> dataLines = lines.complete.mid(1);
    for (const QByteArray &line : dataLines)
        checkDataLine(line);

    CompressedReply reply;
    readCompressed(reply, dataLines);
    // Whatever the last reply did, the next one is read from its own start: the data lines
    // as the plain reply, then as the raw deflate data of one.
    const QByteArray plain = dataLines.join();
    const Lines compressed = readLines(cut(YencEncoder::compressedReply(plain), lengths));
    FUZZ_CHECK(compressed.rest.isEmpty());
    FUZZ_CHECK(readCompressed(reply, compressed.complete) == plain);
    const Lines yenc = readLines(cut(YencEncoder::encode(plain) + ".\r\n", lengths));
    const std::optional<QByteArray> inflated = ZlibStream::inflateRaw(plain);
    FUZZ_CHECK(readCompressed(reply, yenc.complete) == inflated);
    return 0;
}
