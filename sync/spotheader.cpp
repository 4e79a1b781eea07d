#include "spotheader.h"

#include "bytetext.h"
#include "categoryscheme.h"

#include <QString>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr char fieldSeparator = '\t';
constexpr int requiredFields = 8;
constexpr int messageIdField = 4;
constexpr int requiredDomainPieces = 6;
constexpr qsizetype minimumCategoryBlock = 4;
const QByteArrayView spotDomain = "@free.pt";

// The n-th piece of `text` split at `separator`, or nullopt when there are fewer pieces.
std::optional<QByteArrayView> piece(QByteArrayView text, char separator, int n)
{
    qsizetype start = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype next = text.indexOf(separator, start);
        if (next < 0)
            return std::nullopt;
        start = next + 1;
    }
    const qsizetype end = text.indexOf(separator, start);
    return text.sliced(start, (end < 0 ? text.size() : end) - start);
}

int countPieces(QByteArrayView text, char separator, int enough)
{
    int pieces = 1;
    for (qsizetype at = text.indexOf(separator); at >= 0 && pieces < enough; at = text.indexOf(separator, at + 1))
        ++pieces;
    return pieces;
}

int digitValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

// The sub-category number: its digits only, 0 when any is none (a sign or blank would make
// a number of another category's range).
int subcategoryNumber(QByteArrayView digits)
{
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A decimal number, 0 when the text is not one or does not fit.
template<typename Int>
Int number(QByteArrayView text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    const bool fits = value >= std::numeric_limits<Int>::min() && value <= std::numeric_limits<Int>::max();
    return ok && fits ? Int(value) : 0;
}

// Main category 1 with an erotic genre mark is stored as category 9; the first mark found wins.
std::optional<int> eroticSubcat(QByteArrayView block)
{
    for (int genre = 0; genre < CategoryScheme::eroticGenreCount; ++genre) {
        if (block.contains(QByteArrayView(CategoryScheme::eroticGenreMarks[genre])))
            return CategoryScheme::eroticSubcategory(genre);
    }
    return std::nullopt;
}

// An empty value is still an empty byte string, never NULL.
QByteArray storedBytes(QByteArrayView bytes)
{
    return bytes.isEmpty() ? QByteArray("") : bytes.toByteArray();
}

} // namespace

SpotHeader SpotHeader::parse(QByteArrayView line)
{
    // The fields in use, found in one pass; the rest of the line is never looked at.
    std::array<QByteArrayView, requiredFields> fields;
    qsizetype start = 0;
    for (int i = 0; i < requiredFields; ++i) {
        const qsizetype end = line.indexOf(fieldSeparator, start);
        if (end < 0 && i < requiredFields - 1)
            return {};
        fields[i] = line.sliced(start, (end < 0 ? line.size() : end) - start);
        start = end + 1;
    }

    SpotHeader header;
    header.outcome = Outcome::Rejected;
    header.articleNumber = number<qint64>(fields[0]);

    const QByteArrayView subject = fields[1];
    const qsizetype bar = subject.indexOf('|');
    header.titlePiece = bar < 0 ? subject : subject.first(bar);
    header.hasTag = bar >= 0;
    if (header.hasTag)
        header.tagPiece = *piece(subject.sliced(bar + 1), '|', 0);

    const QByteArrayView from = fields[2];
    const qsizetype addressStart = from.indexOf(QByteArrayView(" <"));
    if (addressStart < 0)
        return header;
    header.spotter = from.first(addressStart);
    const QByteArrayView address = from.sliced(addressStart + 2);
    const std::optional<QByteArrayView> domain = piece(address, '@', 1);
    if (!domain || countPieces(*domain, '.', requiredDomainPieces) < requiredDomainPieces)
        return header;
    const QByteArrayView block = *piece(*domain, '.', 0);
    if (block.size() < minimumCategoryBlock)
        return header;

    header.cat = digitValue(block[0]);
    const bool shortLayout = block[1] == '1';
    const qsizetype subcatAt = shortLayout ? 2 : 3;
    header.subcat = header.cat * 100
        + subcategoryNumber(block.sliced(subcatAt).first(qMin<qsizetype>(2, block.size() - subcatAt)));
    header.otherCats = block.size() > subcatAt + 2 ? block.sliced(subcatAt + 2) : QByteArrayView();
    if (header.cat == CategoryScheme::image) {
        if (const auto erotic = eroticSubcat(block)) {
            header.cat = CategoryScheme::erotic;
            header.subcat = *erotic;
        }
    }
    header.spotDate = number<qint32>(*piece(*domain, '.', 3));

    const QByteArrayView messageId = fields[messageIdField];
    QByteArrayView key = messageId.size() >= 2 ? messageId.sliced(1, messageId.size() - 2) : QByteArrayView();
    if (key.endsWith(spotDomain))
        key.chop(spotDomain.size());
    header.spotKey = key;

    if (header.spotDate != 0)
        header.outcome = Outcome::Spot;
    return header;
}

bool SpotHeader::isErotic() const
{
    return CategoryScheme::isErotic(cat);
}

QVariant SpotHeader::storedTitle() const
{
    if (titlePiece.contains(QByteArrayView("?=")) && titlePiece.contains(QByteArrayView("=?")))
        return decodeEncodedWords(titlePiece.trimmed());
    return storedBytes(titlePiece.trimmed());
}

SpotRecord SpotHeader::record() const
{
    return {cat,
            subcat,
            spotDate,
            storedTitle(),
            storedBytes(spotter),
            hasTag ? QVariant(storedBytes(tagPiece.trimmed())) : QVariant(QStringLiteral("")),
            storedBytes(spotKey),
            storedBytes(otherCats)};
}

SpotTable SpotHeader::table() const
{
    return isErotic() ? SpotTable::EroticSpots : SpotTable::Spots;
}

QString decodeEncodedWords(QByteArrayView title)
{
    const QLatin1StringView introducer("=?UTF-8?B?");
    const QLatin1StringView closer("?=");
    QString text = ByteText::toText(title.toByteArray().replace("?= =?", "?==?"));
    // Decoded text may complete an introducer that began at most this far before it.
    const qsizetype lookBack = introducer.size() - 1;
    // Replacing each word in place would move all the text behind it every time. So text[0, done) is
    // finished and text[from, size) still to be searched: a decoded word goes into the room its encoded
    // form leaves, behind the last finished characters it may form an introducer with.
    qsizetype done = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = text.indexOf(introducer, from);
        if (start < 0)
            break;
        const qsizetype payload = start + introducer.size();
        const qsizetype end = text.indexOf(closer, payload);
        if (end < 0)
            break;
        const QByteArray decoded = QByteArray::fromBase64(QStringView(text).sliced(payload, end - payload).toLatin1());
        const qsizetype nul = decoded.indexOf('\0');
        const QString word = QString::fromUtf8(nul < 0 ? decoded : decoded.left(nul));
        QChar *chars = text.data();
        if (done < from) // until the first word there is no room, and nothing to move
            std::copy(chars + from, chars + start, chars + done);
        done += start - from;
        const qsizetype kept = qMin(lookBack, done);
        // Never longer than its payload, the decoded text fits where the word was.
        from = end + closer.size() - kept - word.size();
        std::copy(word.cbegin(), word.cend(), std::copy(chars + done - kept, chars + done, chars + from));
        done -= kept;
    }
    return text.remove(done, from - done);
}
