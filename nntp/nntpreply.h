#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// NNTP reply framing as pure functions over bytes; SpotNNTP buffers and emits.
namespace NntpReply {

// Reply codes that change what the client does.
inline constexpr int articleNumberNotFound = 423; // "No such article number" in the current group
inline constexpr int articleNotFound = 430; // "No such article" (message-id)
inline constexpr int unknownCommand = 500; // "What?", e.g. XZVER on a server without it
inline constexpr int authenticationRequired = 480; // the server wants a login first
inline constexpr int passwordRejected = 483; // the login was refused

// The integer value of the first three characters of a status line; 0 when they are no number.
int code(QByteArrayView statusLine);

// 200 to 399: the command was accepted.
bool isSuccess(int code);

// The line that ends a multi-line reply.
bool isTerminator(QByteArrayView line);

// "211 <count> <low> <high> <group>": with fewer than five blank-separated parts all empty.
struct Group
{
    QByteArray name;
    qint64 low = 0;
    qint64 high = 0;
};
Group parseGroup(QByteArrayView statusLine);

// "<number> <references>\r\n" of an XHDR reply; any other number of parts is no line.
struct References
{
    qint64 number = 0;
    QByteArray value;
};
std::optional<References> parseReferences(QByteArrayView line);

// The article number that an overview line starts with (the field before the first tab),
// or nullopt when that is no number.
std::optional<qint64> overviewNumber(QByteArrayView line);

// The size of the article data after the status line, its terminator included, when data
// holds all of it (what follows belongs to the next reply); -1 while it does not. The
// terminator is searched from searchFrom on (what was searched before, less 4 bytes).
qsizetype articleEnd(QByteArrayView data, qsizetype searchFrom = 0);

// The data of a complete HEAD reply (as articleEnd() measures it) without its
// terminator and with the dot-stuffing of its lines undone.
QByteArray unstuffedLines(QByteArrayView data);

} // namespace NntpReply
