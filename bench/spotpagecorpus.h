#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

// A typical spot as a click opens it, its articles as the client delivers them: the spot
// article (a description of a few KB with markup, size, website, newsgroup, NZB segment and
// three file names), its NZB of 200 files and 100 signed comments.
namespace SpotPageCorpus {

struct Spot
{
    QByteArray storedMessageId; // as the spot table holds it: without "@free.pt"
    QByteArray messageId;
    QByteArray article;
    QByteArray nzbMessageId;
    QByteArray nzbArticle;
    QList<std::pair<quint32, QByteArray>> comments; // article number, article
    QByteArray lastPoster; // the poster of the last comment
};

const Spot &typicalSpot();

} // namespace SpotPageCorpus
