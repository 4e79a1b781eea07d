// SpotHeader::parse() on any overview line: it never reads outside the line, its views point
// into it, the outcome follows the field count and the date, and the categories stay in range.
#include "fuzzinput.h"
#include "spotheader.h"

namespace {

bool inside(QByteArrayView piece, QByteArrayView line)
{
    return piece.isEmpty() || (piece.data() >= line.data() && piece.data() + piece.size() <= line.data() + line.size());
}

bool isStoredBytes(const QVariant &value, qsizetype bound)
{
    return value.metaType() == QMetaType::fromType<QByteArray>() && value.toByteArray().size() <= bound;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy of exactly the input's size, so that ASan sees any read past the line.
    const QByteArray line(reinterpret_cast<const char *>(data), qsizetype(size));
    const SpotHeader header = SpotHeader::parse(line);

    FUZZ_CHECK((header.outcome == SpotHeader::Outcome::Malformed) == (line.count('\t') < 7));
    if (header.outcome == SpotHeader::Outcome::Malformed)
        return 0;
    for (const QByteArrayView piece :
         {header.titlePiece, header.tagPiece, header.spotter, header.spotKey, header.otherCats})
        FUZZ_CHECK(inside(piece, line));
    FUZZ_CHECK((header.outcome == SpotHeader::Outcome::Spot) == (header.spotDate != 0));
    FUZZ_CHECK(header.cat >= 0 && header.cat <= 9);
    FUZZ_CHECK(header.subcat >= header.cat * 100 && header.subcat < header.cat * 100 + 100);
    FUZZ_CHECK(header.isErotic() == (header.table() == SpotTable::EroticSpots));

    const SpotRecord record = header.record();
    FUZZ_CHECK(record.cat == header.cat && record.subcat == header.subcat && record.spotDate == header.spotDate);
    const bool titleText
        = record.title.metaType() == QMetaType::fromType<QString>() && record.title.toString().size() <= line.size();
    FUZZ_CHECK(titleText || isStoredBytes(record.title, line.size()));
    FUZZ_CHECK(!record.tag.isNull());
    FUZZ_CHECK(header.hasTag ? isStoredBytes(record.tag, line.size()) : record.tag == QVariant(QStringLiteral("")));
    FUZZ_CHECK(record.spotter == header.spotter && record.msgid == header.spotKey
               && record.othercats == header.otherCats);
    FUZZ_CHECK(!record.spotter.isNull() && !record.msgid.isNull() && !record.othercats.isNull());
    return 0;
}
