#include "newscorpus.h"

#include <variant>

#include "yencencoder.h"

#include <optional>

namespace {

QByteArray withCrLf(const QByteArray &line)
{
    return line.endsWith("\r\n") ? line : line + "\r\n";
}

// Every line ends in CR LF, and a line that starts with "." gets another one.
QByteArray wireText(const QByteArray &text)
{
    QByteArray wire;
    wire.reserve(text.size() + text.size() / 16 + 2);
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype end = newline < 0 ? text.size() : newline;
        if (text.at(start) == '.')
            wire += '.';
        wire += QByteArrayView(text).sliced(start, end - start);
        if (!wire.endsWith('\r'))
            wire += '\r';
        wire += '\n';
        start = end + 1;
    }
    return wire;
}

struct Range
{
    qint64 first = 0;
    qint64 last = 0;
};

// "a-b", "a-" (to the end of the group) or "a".
std::optional<Range> parseRange(const QByteArray &text, qint64 high)
{
    bool ok = false;
    const qsizetype dash = text.indexOf('-');
    if (dash < 0) {
        const qint64 number = text.toLongLong(&ok);
        return ok ? std::optional<Range>(Range{number, number}) : std::nullopt;
    }
    const qint64 first = text.left(dash).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    if (dash == text.size() - 1)
        return Range{first, high};
    const qint64 last = text.mid(dash + 1).toLongLong(&ok);
    return ok ? std::optional<Range>(Range{first, last}) : std::nullopt;
}

QByteArray multiLine(const QByteArray &statusLine, const QByteArray &lines, NewsCorpus::Form form, NewsCorpus::Crc crc)
{
    if (form == NewsCorpus::Form::Plain)
        return statusLine + "\r\n" + wireText(lines) + ".\r\n";
    const auto trailer = crc == NewsCorpus::Crc::Wrong ? YencEncoder::Trailer::WrongCrc : YencEncoder::Trailer::Correct;
    return statusLine + "\r\n" + YencEncoder::compressedReply(lines, trailer);
}

} // namespace

void NewsCorpus::addGroup(const QByteArray &group, qint64 low, qint64 high)
{
    Group &entry = groups[group];
    entry.low = low;
    entry.high = high;
    entry.fixedBounds = true;
}

void NewsCorpus::addOverview(const QByteArray &group, qint64 number, const QByteArray &line)
{
    groupFor(group, number).overview.insert(number, withCrLf(line));
}

void NewsCorpus::setOverviewSource(const QByteArray &group, std::function<QByteArray(qint64)> source)
{
    groups[group].overviewSource = std::move(source);
}

void NewsCorpus::addReferences(const QByteArray &group, qint64 number, const QByteArray &value)
{
    groupFor(group, number).references.insert(number, value);
}

void NewsCorpus::addArticle(const QByteArray &group, qint64 number, const QByteArray &messageId, const QByteArray &text)
{
    groupFor(group, number).messageIds.insert(number, messageId);
    articles.insert(messageId, wireText(text));
}

void NewsCorpus::setGenerator(const ArticleGenerator *source)
{
    generator = source;
}

bool NewsCorpus::hasGroup(const QByteArray &group) const
{
    return boundsOf(group).has_value();
}

std::optional<ArticleGenerator::Bounds> NewsCorpus::boundsOf(const QByteArray &group) const
{
    const auto found = groups.constFind(group);
    if (found != groups.cend())
        return ArticleGenerator::Bounds{found->low, found->high};
    return generator ? generator->bounds(group) : std::nullopt;
}

QByteArray NewsCorpus::groupReply(const QByteArray &group) const
{
    const auto bounds = boundsOf(group);
    if (!bounds)
        return "411 No such group " + group + "\r\n";
    const qint64 count = std::max<qint64>(0, bounds->high - bounds->low + 1);
    return "211 " + QByteArray::number(count) + ' ' + QByteArray::number(bounds->low) + ' '
        + QByteArray::number(std::max(bounds->high, qint64(0))) + ' ' + group + "\r\n";
}

std::variant<QByteArray, NewsCorpus::Refusal> NewsCorpus::rangeLines(const QByteArray &group, const QByteArray &range,
                                                                     Field field) const
{
    const auto bounds = boundsOf(group);
    if (!bounds)
        return Refusal{QByteArray(NewsStatus::notInGroup) + "\r\n"};
    const auto numbers = parseRange(range, bounds->high);
    if (!numbers)
        return Refusal{QByteArray(NewsStatus::syntaxError) + "\r\n"};
    QByteArray lines;
    const auto held = groups.constFind(group);
    if (held != groups.cend()) {
        for (const qint64 number : numbersIn(*held, numbers->first, numbers->last))
            lines += fieldLine(group, &*held, number, field);
        return lines;
    }
    for (qint64 number = std::max(numbers->first, bounds->low); number <= std::min(numbers->last, bounds->high);
         ++number)
        lines += fieldLine(group, nullptr, number, field);
    return lines;
}

// One line of an XOVER or XHDR References reply; empty where no article has the number.
QByteArray NewsCorpus::fieldLine(const QByteArray &group, const Group *held, qint64 number, Field field) const
{
    if (field == Field::References) {
        if (!held && generator->messageId(group, number).isEmpty())
            return {};
        const QByteArray value = held ? held->references.value(number) : generator->references(group, number);
        return QByteArray::number(number) + ' ' + value + "\r\n";
    }
    if (held) {
        const auto stored = held->overview.constFind(number);
        if (stored != held->overview.cend())
            return *stored;
        return held->overviewSource ? withCrLf(held->overviewSource(number)) : QByteArray();
    }
    const QByteArray line = generator->overviewLine(group, number);
    return line.isEmpty() ? line : withCrLf(line);
}

QByteArray NewsCorpus::overviewReply(const QByteArray &group, const QByteArray &range, Form form, Crc crc) const
{
    const auto lines = rangeLines(group, range, Field::Overview);
    if (const auto *refusal = std::get_if<Refusal>(&lines))
        return refusal->statusLine;
    const QByteArray &text = std::get<QByteArray>(lines);
    if (form == Form::Compressed)
        return multiLine("224 compressed data follows", text, form, crc);
    if (text.isEmpty())
        return "224 No articles in " + range + "\r\n.\r\n";
    return multiLine("224 Overview information for " + range + " follows", text, form, crc);
}

QByteArray NewsCorpus::referencesReply(const QByteArray &group, const QByteArray &range, Form form, Crc crc) const
{
    const auto lines = rangeLines(group, range, Field::References);
    if (const auto *refusal = std::get_if<Refusal>(&lines))
        return refusal->statusLine;
    return multiLine(form == Form::Plain ? "221 Header or metadata information for References follows (from overview)"
                                         : "221 compressed data follows",
                     std::get<QByteArray>(lines), form, crc);
}

QByteArray NewsCorpus::messageIdOf(const QByteArray &group, qint64 number) const
{
    const auto held = groups.constFind(group);
    if (held != groups.cend())
        return held->messageIds.value(number);
    return generator ? generator->messageId(group, number) : QByteArray();
}

QByteArray NewsCorpus::wireArticle(const QByteArray &messageId) const
{
    const auto text = articles.constFind(messageId);
    if (text != articles.cend())
        return *text;
    const QByteArray made = generator ? generator->article(messageId) : QByteArray();
    return made.isEmpty() ? made : wireText(made);
}

QByteArray NewsCorpus::articleReply(const QByteArray &group, const QByteArray &argument, Part part) const
{
    const QByteArray status = part == Part::Head ? "221 " : part == Part::Body ? "222 " : "220 ";
    const QByteArray what = part == Part::Head ? " head\r\n" : part == Part::Body ? " body\r\n" : " article\r\n";
    const auto reply = [&](const QByteArray &number, const QByteArray &messageId, const QByteArray &text) {
        // The header block ends where the empty line starts; the dot-stuffing of either half
        // holds as it is.
        const qsizetype blankLine = text.indexOf("\r\n\r\n");
        const QByteArray data = part == Part::Head ? text.left(blankLine + 2)
            : part == Part::Body                   ? text.mid(blankLine + 4)
                                                   : text;
        return status + number + " <" + messageId + '>' + what + data + ".\r\n";
    };
    if (argument.startsWith('<') && argument.endsWith('>')) {
        const QByteArray messageId = argument.mid(1, argument.size() - 2);
        const QByteArray text = wireArticle(messageId);
        if (text.isEmpty())
            return QByteArray(NewsStatus::noSuchArticle) + "\r\n";
        return reply("0", messageId, text);
    }
    if (!hasGroup(group))
        return QByteArray(NewsStatus::notInGroup) + "\r\n";
    bool ok = false;
    const qint64 number = argument.toLongLong(&ok);
    if (!ok)
        return QByteArray(NewsStatus::syntaxError) + "\r\n";
    const QByteArray messageId = messageIdOf(group, number);
    const QByteArray text = messageId.isEmpty() ? QByteArray() : wireArticle(messageId);
    if (text.isEmpty())
        return "423 No such article number " + argument + "\r\n";
    return reply(argument, messageId, text);
}

NewsCorpus::Group &NewsCorpus::groupFor(const QByteArray &group, qint64 number)
{
    Group &entry = groups[group];
    if (!entry.fixedBounds) {
        const bool empty = entry.high < entry.low;
        entry.low = empty ? number : std::min(entry.low, number);
        entry.high = empty ? number : std::max(entry.high, number);
    }
    return entry;
}

QList<qint64> NewsCorpus::numbersIn(const Group &group, qint64 first, qint64 last) const
{
    QList<qint64> numbers;
    if (group.overviewSource) {
        for (qint64 number = std::max(first, group.low); number <= std::min(last, group.high); ++number)
            numbers += number;
        return numbers;
    }
    for (const QMap<qint64, QByteArray> *known : {&group.overview, &group.references, &group.messageIds}) {
        for (auto it = known->lowerBound(first); it != known->cend() && it.key() <= last; ++it)
            numbers += it.key();
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
