#pragma once

#include <QByteArrayView>

// Whether a value may become part of a command line. Message-ids and numbers come from
// posters' XML and servers' replies: a CR LF in one would end our command and start one of
// theirs on the user's logged-in connection. Pure functions over bytes.
namespace NntpArgument {

inline constexpr qsizetype maxMessageIdLength = 250; // without the angle brackets
inline constexpr qsizetype maxGroupNameLength = 250;
inline constexpr qsizetype maxArticleNumberDigits = 16; // RFC 3977

// A message-id without angle brackets: 1 to 250 bytes of printable ASCII (0x21 to 0x7e)
// without "<" or ">".
bool isMessageId(QByteArrayView id);

// 1 to 16 decimal digits, not all zero.
bool isArticleNumber(QByteArrayView number);

// What fetchArticle() takes: a message-id when it contains "@", else an article number.
bool isArticleId(QByteArrayView id);

// 1 to 250 bytes of printable ASCII without blanks.
bool isGroupName(QByteArrayView name);

// An article range that a command may ask for: 1 <= first <= last.
bool isRange(qint64 first, qint64 last);

// An AUTHINFO argument: no CR, LF or NUL.
bool isLoginArgument(QByteArrayView value);

} // namespace NntpArgument
