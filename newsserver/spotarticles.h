#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Articles of the spot formats, in the news server's form (LF line ends, not dot-stuffed:
// NewsServer::addArticle) or as the client delivers them (delivered()).
namespace SpotArticles {

// A spot article whose "X-XML: " header lines carry xml, cut into pieces of pieceSize bytes.
QByteArray spot(const QByteArray &xml, qsizetype pieceSize = 900);
// The XML of a spot: the Posting fields given, in this order, as <Name>value</Name>.
QByteArray spotXml(const QList<std::pair<QByteArray, QByteArray>> &fields);
// An NZB article: nzb raw-deflated, escaped ("=A" NUL, "=B" CR, "=C" LF, "=D" "=") and cut
// into lines.
QByteArray nzb(const QByteArray &nzbXml);
// The same for bytes that are raw deflate data already (or are meant not to be).
QByteArray nzbArticle(QByteArrayView deflated);
// The escaped form of an NZB article's data, before it is cut into lines.
QByteArray nzbEscaped(QByteArrayView deflated);
// The body of an NZB article: the escaped data cut into lines of 120 bytes.
QByteArray nzbBody(QByteArrayView escaped);
// The segment articles of a whole NZB: the escaped form of deflated cut at the given
// offsets (ascending; equal ones give an empty article), each piece as nzbArticle makes it.
QList<QByteArray> nzbArticles(QByteArrayView deflated, const QList<qsizetype> &cuts);
// A document type's internal subset that would expand "&e9;" to a billion "lol"s.
QByteArray entityBombDeclarations();
// An NZB document in the NZB 2003 namespace: one file per subject (written into the
// attribute as given: escape quotes as "&quot;"), all in these groups.
QByteArray nzbXml(const QList<QByteArray> &subjects, const QList<QByteArray> &groups);
// A comment article on the spot with that message-id (its References header); signed ones
// carry an "X-User-Signature: " line.
QByteArray comment(const QByteArray &poster, const QByteArray &text, const QByteArray &spotMessageId,
                   bool isSigned = true);

// The article (text ending in LF) as the client hands it on: CR LF, dot-stuffed, ending in
// "\r\n.\r\n".
QByteArray delivered(const QByteArray &text);

} // namespace SpotArticles
