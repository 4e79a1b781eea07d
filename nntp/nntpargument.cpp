#include "nntpargument.h"

#include <algorithm>

namespace NntpArgument {
namespace {

bool isPrintable(char byte)
{
    return byte >= 0x21 && byte <= 0x7e;
}

bool isPrintableText(QByteArrayView text, qsizetype maxLength)
{
    return !text.isEmpty() && text.size() <= maxLength && std::all_of(text.begin(), text.end(), isPrintable);
}

} // namespace

bool isMessageId(QByteArrayView id)
{
    return isPrintableText(id, maxMessageIdLength) && !id.contains('<') && !id.contains('>');
}

bool isArticleNumber(QByteArrayView number)
{
    return !number.isEmpty() && number.size() <= maxArticleNumberDigits
        && std::all_of(number.begin(), number.end(), [](char byte) { return byte >= '0' && byte <= '9'; })
        && std::any_of(number.begin(), number.end(), [](char byte) { return byte != '0'; });
}

bool isArticleId(QByteArrayView id)
{
    return id.contains('@') ? isMessageId(id) : isArticleNumber(id);
}

bool isGroupName(QByteArrayView name)
{
    return isPrintableText(name, maxGroupNameLength);
}

bool isRange(qint64 first, qint64 last)
{
    return first >= 1 && first <= last;
}

bool isLoginArgument(QByteArrayView value)
{
    return !value.contains('\r') && !value.contains('\n') && !value.contains('\0');
}

} // namespace NntpArgument
