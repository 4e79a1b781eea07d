#include "commentdownload.h"

#include "bytetext.h"

namespace {

const QByteArrayView spotDomain = "@free.pt";
// "<" + at least a two-character key + "@free.pt>"
constexpr qsizetype shortestReference = 12;
// A message-id is at most 250 bytes: anything longer names no spot, and would only make
// the comment map of a hostile reply larger.
constexpr qsizetype longestReference = 512;

} // namespace

std::optional<QString> spotKeyFromReference(QByteArrayView references)
{
    if (references.size() < shortestReference || references.size() > longestReference
        || !references.contains(spotDomain))
        return std::nullopt;
    // "<key@free.pt>": the key lies between the bracket and the domain.
    return ByteText::toText(references.sliced(1, references.size() - 10).toByteArray());
}
