#include "spotpagecorpus.h"

#include "spotarticles.h"

namespace SpotPageCorpus {
namespace {

constexpr int nzbFileCount = 200;
constexpr int commentCount = 100;
constexpr quint32 firstComment = 48'201;
const QByteArray release = "Vuurtoren.Aan.Zee.2023.1080p.BluRay.x264";

// About 3 KB of text in bracket markup, with line breaks escaped the way posters do.
QByteArray description()
{
    QByteArray text = "[b]" + release + "[/b][br][br]";
    for (int line = 1; text.size() < 3000; ++line)
        text += "Regel " + QByteArray::number(line)
            + ": een [i]rustige[/i] film over een vuurtoren en de mensen aan de kust,"
              " met [u]Nederlandse[/u] ondertitels &amp; extra's.&lt;br /&gt;";
    return text + "[br][b]Veel kijkplezier![/b]";
}

QByteArray spotArticle(const QByteArray &nzbMessageId)
{
    return SpotArticles::delivered(SpotArticles::spot(SpotArticles::spotXml({
        {"Key", "7"},
        {"Created", "1700000000"},
        {"Poster", "Jan Spotter"},
        {"Tag", "hd"},
        {"Title", release},
        {"Description", description()},
        {"Image", "http://images.example.com/vuurtoren.jpg"},
        {"Size", "8589934592"},
        {"Category", "01"},
        {"Website", "http://www.imdb.com/title/tt0000001/?ref=spot&amp;lang=nl"},
        {"Newsgroup", "alt.binaries.hdtv"},
        {"NZB", "<Segment>" + nzbMessageId + "</Segment>"},
        {"Filename", release + ".part001.rar"},
        {"Filename", release + ".part002.rar"},
        {"Filename", release + ".nfo"},
    })));
}

QByteArray nzbArticle()
{
    QList<QByteArray> subjects;
    for (int part = 1; part < nzbFileCount; ++part)
        subjects += "[" + QByteArray::number(part) + "/" + QByteArray::number(nzbFileCount) + "] - &quot;" + release
            + ".part" + QByteArray::number(part).rightJustified(3, '0') + ".rar&quot; yEnc (1/137)";
    subjects += "[" + QByteArray::number(nzbFileCount) + "/" + QByteArray::number(nzbFileCount) + "] - &quot;" + release
        + ".nfo&quot; yEnc (1/1)";
    return SpotArticles::delivered(
        SpotArticles::nzb(SpotArticles::nzbXml(subjects, {"alt.binaries.hdtv", "alt.binaries.multimedia"})));
}

QByteArray poster(int index)
{
    return "Lezer" + QByteArray::number(index);
}

QByteArray commentArticle(int index, const QByteArray &spotMessageId)
{
    return SpotArticles::delivered(
        SpotArticles::comment(poster(index),
                              "Dank je wel voor deze spot, nummer " + QByteArray::number(index)
                                  + "![br]Beeld en geluid zijn [b]prima[/b], de ondertitels lopen goed gelijk.[br]"
                                    "Na het uitpakken van alle delen werkte alles in een keer. [i]Top![/i]",
                              spotMessageId));
}

} // namespace

const Spot &typicalSpot()
{
    static const Spot spot = [] {
        Spot made;
        made.storedMessageId = "Xk9Zvuurtoren7";
        made.messageId = made.storedMessageId + "@free.pt";
        made.nzbMessageId = "nzb.vuurtoren7@free.pt";
        made.article = spotArticle(made.nzbMessageId);
        made.nzbArticle = nzbArticle();
        for (int index = 1; index <= commentCount; ++index)
            made.comments.append({firstComment + quint32(index), commentArticle(index, made.messageId)});
        made.lastPoster = poster(commentCount);
        return made;
    }();
    return spot;
}

} // namespace SpotPageCorpus
