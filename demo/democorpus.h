#pragma once

#include "newscorpus.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// A generated corpus of spots, their NZBs and their comments, as a real spot group holds
// them. Everything is made on demand from the seed and an article's number, so the same
// seed (and the same "now") always gives the same corpus, whatever its size.
//
//   free.pt       spots 1 ... spotCount(), oldest first, posted over the 90 days before now
//   free.usenet   comments 1 ... commentCount(), their References naming a spot
//   (no group)    NZB segment articles and the releases' binary articles (DemoRelease),
//                 fetched by message-id only
//
// addSpot() and addComment() post one more article, as a live group grows.
class DemoCorpus : public ArticleGenerator
{
public:
    static constexpr char spotGroup[] = "free.pt";
    static constexpr char commentGroup[] = "free.usenet";
    static constexpr qint64 daysCovered = 90;

    struct Options
    {
        quint32 seed = 20261209;
        qint64 spots = 20000;
        qint64 now = 0; // seconds since 1970; 0: the current time
    };

    struct File
    {
        QByteArray name;
        qint64 bytes = 0;
        int segments = 0;
    };

    struct Spot
    {
        qint64 number = 0;
        QByteArray key; // the message-id without "@free.pt" and angle brackets
        int subcategory = 0; // the list's code: 104 (HD), 900 (erotic), ...
        QByteArray categoryBlock; // as the From address carries it
        QByteArray title; // UTF-8
        QByteArray subjectTitle; // as the Subject carries it: UTF-8, an encoded word or Latin-1
        QByteArray tag;
        QByteArray poster; // UTF-8
        QByteArray fromPoster; // as the From header carries it: UTF-8 or Latin-1
        qint64 date = 0;
        qint64 size = 0;
        QByteArray description; // bracket markup and escaped entities, as posters write them
        QByteArray website;
        QByteArray newsgroup;
        QByteArray release; // the name its files start with
        QList<QByteArray> nzbMessageIds; // the NZB's segment articles, in order
        bool isErotic() const;
    };

    struct Comment
    {
        qint64 number = 0;
        qint64 spot = 0;
        QByteArray messageId;
        QByteArray poster;
        QByteArray text;
        qint64 date = 0;
        bool isSigned = true;
    };

    explicit DemoCorpus(const Options &options);

    qint64 spotCount() const;
    qint64 commentCount() const;
    qint64 now() const;

    Spot spot(qint64 number) const;
    // The spot's files: a RAR set, its recovery files and its .nfo. Releases of up to 8 MB
    // (every tenth spot is one) come in 1 MB parts.
    static QList<File> files(const Spot &spot);
    Comment comment(qint64 number) const;

    // The article texts (LF line ends, not dot-stuffed) with every header a server keeps.
    QByteArray spotArticle(const Spot &spot) const;
    QByteArray commentArticle(const Comment &comment) const;
    // The NZB document of the spot, and its segment articles (raw deflate, escaped, cut).
    QByteArray nzbDocument(const Spot &spot) const;
    QList<QByteArray> nzbArticles(const Spot &spot) const;
    // The spot's segment articles carrying another NZB document.
    QList<QByteArray> nzbArticles(const Spot &spot, const QByteArray &document) const;

    // One more spot at the end of free.pt; returns its number.
    qint64 addSpot(qint64 postedAt);
    // One more comment, on one of the newest spots; returns its number.
    qint64 addComment(qint64 postedAt);

    // ArticleGenerator
    std::optional<Bounds> bounds(const QByteArray &group) const override;
    QByteArray overviewLine(const QByteArray &group, qint64 number) const override;
    QByteArray references(const QByteArray &group, qint64 number) const override;
    QByteArray messageId(const QByteArray &group, qint64 number) const override;
    QByteArray article(const QByteArray &messageId) const override;

private:
    struct Posted
    {
        qint64 date = 0;
        qint64 spot = 0; // comments only
    };

    qint64 spotDate(qint64 number) const;
    QByteArray spotKey(qint64 number) const;
    QByteArray overviewOf(qint64 number, const QByteArray &subject, const QByteArray &from, qint64 date,
                          const QByteArray &messageId, const QByteArray &references, const QByteArray &article,
                          const QByteArray &group) const;

    Options options;
    qint64 initialSpots;
    qint64 initialComments;
    qint64 spots;
    qint64 comments;
    QHash<qint64, Posted> postedSpots; // added by addSpot()
    QHash<qint64, Posted> postedComments; // added by addComment()
};
