#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A spot's whole NZB from the articles of all its segments, in the order the spot XML
// names them: each article's transfer form undone as for the first segment, the bytes
// joined, the whole inflated as one raw deflate stream (bounded by NzbReader::maxNzbSize)
// and checked to be an NZB document: it parses (without entities or network), its root is
// "nzb" and at least one "file" has a "segments" element.
namespace NzbAssembly {

struct Result
{
    std::optional<QByteArray> nzb; // the NZB document, or nullopt
    QString error; // why not, in Dutch, for the user
};

Result join(const QList<QByteArray> &segmentArticles);

} // namespace NzbAssembly
