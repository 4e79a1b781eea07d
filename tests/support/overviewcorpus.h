#pragma once

#include <QByteArray>

class QRandomGenerator;

// Overview lines of spot articles in free.pt as a server's XOVER sends them: nine TAB-separated
// fields (number, Subject "title | tag", From with the category block and the spot date in the
// address and key-like random material around them, Date, Message-ID, empty References, bytes,
// lines, Xref), CR LF, each exactly lineLength bytes long. The same seed and number always give
// the same line, so a test server can make any article's line on demand.
namespace OverviewCorpus {

inline constexpr qsizetype lineLength = 530;
inline constexpr quint32 defaultSeed = 20260401;

// Random key-like text of the given length (letters, digits, "-" and "_").
QByteArray keyMaterial(QRandomGenerator &random, qsizetype length);

// The date that the From address of article number carries, in seconds since 1970 (UTC).
qint64 spotDate(qint64 number);

QByteArray line(qint64 number, quint32 seed = defaultSeed);

// The lines of articles first to last, one after the other.
QByteArray lines(qint64 first, qint64 last, quint32 seed = defaultSeed);

} // namespace OverviewCorpus
