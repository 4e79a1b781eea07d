// The demo news server's answers to any command argument: a group name, a range, a
// message-id or an article number, against the groups it serves (generated and added ones).
// NewsSession reads its commands from a socket only, so its line reading is not fuzzed here:
// what it hands NewsCorpus is. Every reply is one status line or a multi-line reply that the
// client reads to its own end and no further; a compressed reply carries exactly the lines of
// the plain one.
#include "compressedreply.h"
#include "democorpus.h"
#include "fuzzinput.h"
#include "linebuffer.h"
#include "newscorpus.h"
#include "nntpreply.h"

namespace {

struct Served
{
    DemoCorpus demo{{20261209, 8, 1765000000}};
    NewsCorpus corpus;

    Served()
    {
        corpus.setGenerator(&demo);
        demo.addComment(1765000100);
        corpus.addOverview("test.group", 3, "3\tT\tJan <k@3112.a.b.1298000000.c.d>\tdate\t<t3@free.pt>\t\t5\t1\t");
        corpus.addReferences("test.group", 4, "<t3@free.pt>");
        corpus.addArticle("test.group", 5, "t5@free.usenet", "Subject: x\n\n.punt vooraan\n..twee\n.\nslot");
    }

    qsizetype articlesIn(const QByteArray &group) const
    {
        if (group == "test.group")
            return 3;
        const auto bounds = demo.bounds(group);
        return bounds ? bounds->high - bounds->low + 1 : 0;
    }
};

const QByteArray groups[] = {DemoCorpus::spotGroup, DemoCorpus::commentGroup, "test.group"};

// The lines of a reply as the client reads them; the status line first.
QList<QByteArray> linesOf(const QByteArray &reply)
{
    LineBuffer buffer;
    buffer.append(reply);
    QList<QByteArray> lines;
    for (QByteArray line = buffer.takeLine(); !line.isEmpty(); line = buffer.takeLine())
        lines.append(line);
    FUZZ_CHECK(buffer.pending() == 0); // every reply ends with its line end
    return lines;
}

bool isMultiLine(int code)
{
    return code == 220 || code == 221 || code == 224;
}

// A well-framed reply; for a multi-line one its data lines, dot-stuffing undone.
QList<QByteArray> checkedDataLines(const QByteArray &reply)
{
    const QList<QByteArray> lines = linesOf(reply);
    FUZZ_CHECK(!lines.isEmpty() && lines.first().endsWith("\r\n"));
    const int code = NntpReply::code(lines.first());
    FUZZ_CHECK(code >= 200 && code <= 599 && lines.first().at(3) == ' ');
    if (!isMultiLine(code)) {
        FUZZ_CHECK(lines.size() == 1);
        return {};
    }
    FUZZ_CHECK(lines.size() >= 2 && NntpReply::isTerminator(lines.last()));
    QList<QByteArray> data;
    for (const QByteArray &line : lines.mid(1, lines.size() - 2)) {
        FUZZ_CHECK(!NntpReply::isTerminator(line) && line.endsWith("\r\n"));
        data.append(line.startsWith('.') ? line.sliced(1) : line);
    }
    return data;
}

// The plain lines that a compressed reply carries.
QList<QByteArray> decompressedLines(const QByteArray &reply)
{
    const QList<QByteArray> lines = linesOf(reply);
    if (!isMultiLine(NntpReply::code(lines.first())))
        return checkedDataLines(reply);
    CompressedReply compressed;
    CompressedReply::Outcome outcome = CompressedReply::Outcome::Pending;
    for (const QByteArray &line : lines.mid(1))
        outcome = compressed.add(line);
    FUZZ_CHECK(outcome == CompressedReply::Outcome::Complete);
    QList<QByteArray> plain;
    for (QByteArray line = compressed.takeLine(); !line.isEmpty(); line = compressed.takeLine())
        plain.append(line);
    return plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const Served served;
    FuzzInput input(data, size);
    const quint8 command = input.byte();
    const quint8 groupChoice = input.byte() % 4;
    // As the session hands it on: what follows the verb on one command line, without its line end.
    const QByteArrayView rest = input.rest();
    const QByteArray argument
        = rest.first(qMin(rest.indexOf('\n') < 0 ? rest.size() : rest.indexOf('\n'), 510)).toByteArray();
    // The group selected: one the server has, or none yet.
    const QByteArray group = groupChoice < 3 ? groups[groupChoice] : QByteArray();
    const NewsCorpus &corpus = served.corpus;

    switch (command % 4) {
    case 0:
        checkedDataLines(corpus.groupReply(argument));
        break;
    case 1:
    case 2: {
        const bool overview = command % 4 == 1;
        const auto reply = [&](NewsCorpus::Form form) {
            return overview ? corpus.overviewReply(group, argument, form, NewsCorpus::Crc::Correct)
                            : corpus.referencesReply(group, argument, form, NewsCorpus::Crc::Correct);
        };
        const QList<QByteArray> plain = checkedDataLines(reply(NewsCorpus::Form::Plain));
        FUZZ_CHECK(plain.size() <= served.articlesIn(group)); // never more lines than the group has articles
        for (const QByteArray &line : plain) {
            if (!overview)
                FUZZ_CHECK(NntpReply::parseReferences(line).has_value());
        }
        FUZZ_CHECK(decompressedLines(reply(NewsCorpus::Form::Compressed)) == plain);
        break;
    }
    case 3:
        checkedDataLines(corpus.articleReply(group, argument));
        break;
    }
    return 0;
}
