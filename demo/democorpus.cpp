#include "democorpus.h"

#include "categoryscheme.h"
#include "demorandom.h"
#include "demorelease.h"
#include "demowords.h"
#include "spotarticles.h"
#include "zlibstream.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr qint64 day = 86400;
constexpr qint64 megabyte = 1024 * 1024;
constexpr int maxFilesPerSpot = 100;
constexpr int maxSegmentsPerFile = 40;
constexpr qint64 segmentBytes = 768000;
// Every tenth spot is a small release of 1 to 8 MB in 1 MB parts, that a downloader fetches
// from the demo server in seconds.
constexpr qint64 smallReleaseEvery = 10;
constexpr qint64 smallReleaseBytes = 8 * megabyte;
constexpr qint64 smallPartBytes = megabyte;
// The NZBs of the largest releases are split over several segment articles.
constexpr qint64 splitNzbFrom = 20LL * 1024 * megabyte;
constexpr int splitNzbSegments = 7;
constexpr qsizetype xmlPieceSize = 900;
const QByteArray nzbDomain = "nzb.demo";
const QByteArray path = "Path: demo.tarnwick!not-for-mail\n";

// What an article is made from: one stream per kind and number (demorelease.cpp has more).
enum Stream : quint32 { SpotStream = 1, CommentStream = 2 };

DemoRandom streamFor(quint32 seed, Stream stream, qint64 number)
{
    return demoStream(seed, stream, number);
}

QByteArray randomText(DemoRandom &random, int length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray text(length, Qt::Uninitialized);
    for (char &c : text)
        c = alphabet[random.bounded(int(sizeof(alphabet) - 1))];
    return text;
}

// "Wed, 09 Dec 2026 05:36:29 +0000"; by hand, since QDateTime's formatting costs more than the
// rest of an overview line together.
QByteArray rfc2822(qint64 seconds)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = QDate(1970, 1, 1).addDays(seconds / day);
    const qint64 time = seconds % day;
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[date.dayOfWeek() - 1], date.day(),
                  months[date.month() - 1], date.year(), int(time / 3600), int(time / 60 % 60), int(time % 60));
    return text;
}

QByteArray xmlEscaped(QByteArray text)
{
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;").replace('"', "&quot;");
}

// The Latin-1 bytes of UTF-8 text, where every character has one; otherwise the UTF-8 as it is.
QByteArray latin1Where(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return utf8;
    }
    return text.toLatin1();
}

// A release name as uploaders write it: ASCII letters and digits joined by dots.
QByteArray releaseName(const QByteArray &title, qint64 number)
{
    const QString plain = QString::fromUtf8(title).normalized(QString::NormalizationForm_KD);
    QByteArray name;
    for (const QChar c : plain) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            name += char(c.unicode());
        else if (c.isSpace() && !name.isEmpty() && !name.endsWith('.'))
            name += '.';
    }
    while (name.endsWith('.'))
        name.chop(1);
    return name.size() < 4 ? "Release." + QByteArray::number(number) : name;
}

struct MainCategory
{
    int code;
    int weight; // out of 100: how often spots of it are posted
    qint64 minimumSize;
    qint64 maximumSize;
    const char *newsgroup;
};

// Films and series dominate, then software and music, games, and a few erotic spots.
constexpr std::array<MainCategory, 5> mainCategories = {{
    {1, 44, 350 * megabyte, 40 * 1024 * megabyte, "alt.binaries.hdtv"},
    {2, 20, 30 * megabyte, 2 * 1024 * megabyte, "alt.binaries.sounds.flac"},
    {3, 12, 200 * megabyte, 25 * 1024 * megabyte, "alt.binaries.games"},
    {4, 19, 60 * 1024, 6 * 1024 * megabyte, "alt.binaries.cd.image"},
    {CategoryScheme::erotic, 5, 300 * megabyte, 8 * 1024 * megabyte, "alt.binaries.erotica"},
}};

const MainCategory &pickMain(DemoRandom &random)
{
    int roll = random.bounded(100);
    for (const MainCategory &main : mainCategories) {
        if (roll < main.weight)
            return main;
        roll -= main.weight;
    }
    return mainCategories.front();
}

// A sub-category of the tree under the main category.
int pickSubcategory(DemoRandom &random, int main)
{
    QList<int> codes;
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (entry.treeText && entry.code >= CategoryScheme::firstSubcategory && entry.code / 100 == main)
            codes += entry.code;
    }
    return codes.at(random.bounded(int(codes.size())));
}

// The From address's category block: main digit, layout digit, sub-category and further
// codes. Erotic spots are films (main category 1) whose further codes name the genre.
QByteArray categoryBlock(DemoRandom &random, int subcategory)
{
    const bool erotic = CategoryScheme::isEroticSubcategory(subcategory);
    const int main = erotic ? CategoryScheme::image : subcategory / 100;
    const int sub = erotic ? random.bounded(10) : subcategory % 100;
    QByteArray further = "a" + QByteArray::number(random.bounded(1, 12)).rightJustified(2, '0');
    if (erotic)
        further += CategoryScheme::eroticGenreMarks[CategoryScheme::eroticGenre(subcategory)];
    const QByteArray subDigits = QByteArray::number(sub).rightJustified(2, '0');
    if (random.bounded(4) == 0)
        return QByteArray::number(main) + "0x" + subDigits + further;
    return QByteArray::number(main) + "1" + subDigits + further;
}

QByteArray titleFor(DemoRandom &random, int subcategory)
{
    const QByteArray year = QByteArray::number(random.bounded(1995, 2027));
    switch (subcategory / 100) {
    case 1: {
        static const QList<QByteArray> qualities = {"1080p", "720p", "2160p HDR", "DVD-rip", "BluRay", "NL Subs"};
        return DemoWords::pick(random, DemoWords::filmTitles()) + " (" + year + ") "
            + DemoWords::pick(random, qualities);
    }
    case 2: {
        static const QList<QByteArray> formats = {"FLAC", "MP3 320kbps", "Lossless", "AAC"};
        return DemoWords::pick(random, DemoWords::artists()) + " - " + DemoWords::pick(random, DemoWords::albums())
            + " (" + year + ") " + DemoWords::pick(random, formats);
    }
    case 3:
        return DemoWords::pick(random, DemoWords::games()) + " v" + QByteArray::number(random.bounded(1, 4)) + '.'
            + QByteArray::number(random.bounded(10)) + " [" + CategoryScheme::shortCategoryName(subcategory).toUtf8()
            + "]";
    case 4:
        return DemoWords::pick(random, DemoWords::applications()) + ' ' + year + '.'
            + QByteArray::number(random.bounded(1, 10)) + " NL";
    default: {
        static const QList<QByteArray> titles = {"Heet Amsterdam", "Nachtvlinders", "Rode Lampen", "Zwoele Zomer"};
        return DemoWords::pick(random, titles) + ' ' + QByteArray::number(random.bounded(1, 9)) + " (" + year + ") XXX";
    }
    }
}

QByteArray tagFor(DemoRandom &random, int subcategory)
{
    static const QList<QList<QByteArray>> tags = {
        {"hd", "nl", "x264", "1080p", "multi"},
        {"flac", "mp3", "nl", "live"},
        {"retail", "nl", "multi"},
        {"nl", "retail", "portable"},
        {"xxx", "hd"},
    };
    const int main = CategoryScheme::isEroticSubcategory(subcategory) ? 5 : subcategory / 100;
    return random.bounded(5) == 0 ? QByteArray() : DemoWords::pick(random, tags.at(main - 1));
}

qint64 sizeFor(DemoRandom &random, const MainCategory &main)
{
    const double low = std::log(double(main.minimumSize));
    const double high = std::log(double(main.maximumSize));
    return qint64(std::exp(low + random.generateDouble() * (high - low)));
}

QByteArray descriptionFor(DemoRandom &random, const QByteArray &title)
{
    QByteArray text = "[b]" + xmlEscaped(title) + "[/b][br][br]";
    const int sentences = random.bounded(2, 8);
    for (int i = 0; i < sentences; ++i)
        text += DemoWords::pick(random, DemoWords::descriptionSentences()) + (random.bounded(3) ? " " : "[br]");
    return text + "[br][i]Veel plezier![/i]";
}

QByteArray websiteFor(DemoRandom &random, int subcategory)
{
    const QByteArray number = QByteArray::number(random.bounded(100000, 9999999));
    switch (subcategory / 100) {
    case 1:
        return "https://www.imdb.com/title/tt" + number.rightJustified(7, '0') + "/";
    case 2:
        return "https://www.discogs.com/release/" + number;
    case 3:
        return "https://www.mobygames.com/game/" + number + "/";
    case 4:
        return "https://nl.wikipedia.org/wiki/Software?id=" + number + "&amp;taal=nl";
    default:
        return {};
    }
}

qint64 partSizeFor(qint64 size)
{
    if (size <= smallReleaseBytes)
        return smallPartBytes;
    return std::max<qint64>(50 * megabyte, (size + maxFilesPerSpot - 1) / maxFilesPerSpot);
}

int partsFor(qint64 size)
{
    const qint64 partSize = partSizeFor(size);
    return int(std::clamp<qint64>((size + partSize - 1) / partSize, 1, maxFilesPerSpot));
}

} // namespace

// A RAR set with its recovery files and its .nfo, as uploaders post a release.
QList<DemoCorpus::File> DemoCorpus::files(const Spot &spot)
{
    const QByteArray &release = spot.release;
    const qint64 size = spot.size;
    const qint64 partSize = partSizeFor(size);
    const int parts = partsFor(size);
    const auto file = [](const QByteArray &name, qint64 bytes) {
        return DemoCorpus::File{
            name, bytes, int(std::clamp<qint64>((bytes + segmentBytes - 1) / segmentBytes, 1, maxSegmentsPerFile))};
    };
    QList<DemoCorpus::File> files;
    for (int part = 1; part <= parts; ++part)
        files += file(release + ".part" + QByteArray::number(part).rightJustified(3, '0') + ".rar",
                      part < parts ? partSize : size - partSize * (parts - 1));
    files += file(release + ".par2", 40 * 1024);
    files += file(release + ".vol00+01.par2", std::max<qint64>(partSize / 20, 1024));
    files += file(release + ".vol01+02.par2", std::max<qint64>(partSize / 10, 1024));
    files += file(release + ".nfo", 4 * 1024);
    return files;
}

namespace {

qint64 numberAfterLastDot(const QByteArray &text)
{
    bool ok = false;
    const qint64 number = text.mid(text.lastIndexOf('.') + 1).toLongLong(&ok);
    return ok ? number : 0;
}

qint64 lineCount(const QByteArray &text)
{
    return text.count('\n');
}

} // namespace

DemoCorpus::DemoCorpus(const Options &given)
    : options(given)
    , initialSpots(std::max<qint64>(given.spots, 0))
    , initialComments(initialSpots * 3 / 2)
    , spots(initialSpots)
    , comments(initialComments)
{
    if (options.now == 0)
        options.now = QDateTime::currentSecsSinceEpoch();
}

qint64 DemoCorpus::spotCount() const
{
    return spots;
}

qint64 DemoCorpus::commentCount() const
{
    return comments;
}

qint64 DemoCorpus::now() const
{
    return options.now;
}

qint64 DemoCorpus::spotDate(qint64 number) const
{
    const auto posted = postedSpots.constFind(number);
    if (posted != postedSpots.cend())
        return posted->date;
    // Evenly over the covered days, oldest first, as a group fills.
    const qint64 span = daysCovered * day;
    return options.now - span + (number - 1) * span / std::max<qint64>(initialSpots, 1);
}

bool DemoCorpus::Spot::isErotic() const
{
    return CategoryScheme::isEroticSubcategory(subcategory);
}

DemoCorpus::Spot DemoCorpus::spot(qint64 number) const
{
    DemoRandom random = streamFor(options.seed, SpotStream, number);
    Spot spot;
    spot.number = number;
    spot.key = randomText(random, 10) + '.' + QByteArray::number(number); // as spotKey() makes it
    const MainCategory &main = pickMain(random);
    spot.subcategory = CategoryScheme::isErotic(main.code)
        ? CategoryScheme::eroticSubcategory(random.bounded(CategoryScheme::eroticGenreCount))
        : pickSubcategory(random, main.code);
    spot.categoryBlock = categoryBlock(random, spot.subcategory);
    spot.title = titleFor(random, spot.subcategory);
    switch (random.bounded(20)) {
    case 0:
    case 1:
        spot.subjectTitle = "=?UTF-8?B?" + spot.title.toBase64() + "?=";
        break;
    case 2:
        spot.subjectTitle = latin1Where(spot.title);
        break;
    default:
        spot.subjectTitle = spot.title;
    }
    spot.tag = tagFor(random, spot.subcategory);
    spot.poster = DemoWords::pick(random, DemoWords::posters());
    spot.fromPoster = random.bounded(20) == 0 ? latin1Where(spot.poster) : spot.poster;
    spot.date = spotDate(number);
    spot.size = sizeFor(random, main);
    if (number % smallReleaseEvery == 0)
        spot.size = megabyte + spot.size % (smallReleaseBytes - megabyte);
    spot.description = descriptionFor(random, spot.title);
    spot.website = websiteFor(random, spot.subcategory);
    spot.newsgroup = main.newsgroup;
    spot.release = releaseName(spot.title, number);
    const int nzbSegments = spot.size >= splitNzbFrom ? splitNzbSegments : 1;
    for (int k = 0; k < nzbSegments; ++k)
        spot.nzbMessageIds
            += randomText(random, 8) + '.' + QByteArray::number(number) + '.' + QByteArray::number(k) + '@' + nzbDomain;
    return spot;
}

QByteArray DemoCorpus::spotKey(qint64 number) const
{
    DemoRandom random = streamFor(options.seed, SpotStream, number);
    return randomText(random, 10) + '.' + QByteArray::number(number);
}

DemoCorpus::Comment DemoCorpus::comment(qint64 number) const
{
    DemoRandom random = streamFor(options.seed, CommentStream, number);
    Comment comment;
    comment.number = number;
    comment.messageId = randomText(random, 8) + '.' + QByteArray::number(number) + "@free.usenet";
    const auto posted = postedComments.constFind(number);
    if (posted == postedComments.cend() && number % 40 == 0 && number > 1) {
        // Now and then a reader posts the same comment twice.
        const Comment first = this->comment(number - 1);
        comment.spot = first.spot;
        comment.poster = first.poster;
        comment.text = first.text;
        comment.isSigned = first.isSigned;
        comment.date = first.date + 60;
        return comment;
    }
    if (posted != postedComments.cend()) {
        comment.spot = posted->spot;
        comment.date = posted->date;
    } else {
        // The newest spots get the most comments.
        const double u = random.generateDouble();
        comment.spot = std::clamp<qint64>(initialSpots - qint64(double(initialSpots) * u * u * u), 1, initialSpots);
        const qint64 spotTime = spotDate(comment.spot);
        comment.date = spotTime + qint64(random.generateDouble() * double(std::min(4 * day, options.now - spotTime)));
    }
    comment.poster = DemoWords::pick(random, DemoWords::posters());
    const int sentences = random.bounded(1, 4);
    for (int i = 0; i < sentences; ++i)
        comment.text += (i ? "[br]" : "") + DemoWords::pick(random, DemoWords::commentSentences());
    comment.isSigned = random.bounded(8) != 0;
    return comment;
}

QByteArray DemoCorpus::spotArticle(const Spot &spot) const
{
    QByteArray xml = "<Spotnet><Posting><Key>7</Key><Created>" + QByteArray::number(spot.date) + "</Created><Poster>"
        + xmlEscaped(spot.poster) + "</Poster><Tag>" + xmlEscaped(spot.tag) + "</Tag><Title>" + xmlEscaped(spot.title)
        + "</Title><Description>" + spot.description + "</Description><Size>" + QByteArray::number(spot.size)
        + "</Size><Category>" + spot.categoryBlock.left(1).rightJustified(2, '0') + "</Category>";
    if (!spot.website.isEmpty())
        xml += "<Website>" + spot.website + "</Website>";
    xml += "<Newsgroup>" + spot.newsgroup + "</Newsgroup><NZB>";
    for (const QByteArray &id : spot.nzbMessageIds)
        xml += "<Segment>" + id + "</Segment>";
    xml += "</NZB><Filename>" + spot.release + ".part001.rar</Filename><Filename>" + spot.release
        + ".nfo</Filename></Posting></Spotnet>";

    DemoRandom random = streamFor(options.seed, SpotStream, -spot.number);
    const QByteArray address = randomText(random, 24) + '@' + spot.categoryBlock + ".a" + randomText(random, 4) + ".b"
        + randomText(random, 3) + '.' + QByteArray::number(spot.date) + ".c" + randomText(random, 5) + ".d"
        + randomText(random, 2);
    QByteArray article = path + "From: " + spot.fromPoster + " <" + address + ">\nNewsgroups: " + spotGroup
        + "\nSubject: " + spot.subjectTitle + (spot.tag.isEmpty() ? QByteArray() : " | " + spot.tag)
        + "\nDate: " + rfc2822(spot.date) + "\nMessage-ID: <" + spot.key + "@free.pt>\n";
    for (qsizetype at = 0; at < xml.size(); at += xmlPieceSize)
        article += "X-XML: " + xml.mid(at, xmlPieceSize) + '\n';
    article += "X-XML-Signature: " + randomText(random, 86) + "\nX-User-Signature: " + randomText(random, 86) + '\n';
    return article + "\nDeze spot is geplaatst met een spotprogramma; de inhoud staat in de kopregels.\n";
}

QByteArray DemoCorpus::commentArticle(const Comment &comment) const
{
    const Spot about = spot(comment.spot);
    QByteArray article = path + "From: " + comment.poster + " <lezer" + QByteArray::number(comment.number % 997)
        + "@free.usenet>\nNewsgroups: " + commentGroup + "\nSubject: Re: " + about.title
        + "\nDate: " + rfc2822(comment.date) + "\nMessage-ID: <" + comment.messageId + ">\nReferences: <" + about.key
        + "@free.pt>\n";
    if (comment.isSigned) {
        DemoRandom random = streamFor(options.seed, CommentStream, -comment.number);
        article += "X-User-Signature: " + randomText(random, 86) + '\n';
    }
    return article + '\n' + comment.text + '\n';
}

QByteArray DemoCorpus::nzbDocument(const Spot &spot) const
{
    QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" "
                          "\"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
                          "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n";
    const QByteArray poster = xmlEscaped(spot.poster + " <uploader@demo.tarnwick>");
    const QList<File> files = DemoCorpus::files(spot);
    const qsizetype count = files.size();
    for (qsizetype index = 0; index < count; ++index) {
        const File &file = files.at(index);
        document += "<file poster=\"" + poster + "\" date=\"" + QByteArray::number(spot.date) + "\" subject=\"["
            + QByteArray::number(index + 1) + '/' + QByteArray::number(count) + "] - &quot;" + file.name
            + "&quot; yEnc (1/" + QByteArray::number(file.segments) + ")\">\n<groups><group>" + spot.newsgroup
            + "</group></groups>\n<segments>\n";
        for (int segment = 1; segment <= file.segments; ++segment) {
            const DemoRelease::Range range = DemoRelease::range(file, segment);
            document += "<segment bytes=\"" + QByteArray::number(range.end - range.begin) + "\" number=\""
                + QByteArray::number(segment) + "\">"
                + DemoRelease::messageId(options.seed, {spot.number, int(index), segment}) + "</segment>\n";
        }
        document += "</segments>\n</file>\n";
    }
    return document + "</nzb>\n";
}

QList<QByteArray> DemoCorpus::nzbArticles(const Spot &spot) const
{
    return nzbArticles(spot, nzbDocument(spot));
}

QList<QByteArray> DemoCorpus::nzbArticles(const Spot &spot, const QByteArray &document) const
{
    const QByteArray escaped = SpotArticles::nzbEscaped(ZlibStream::deflateRaw(document));
    const qsizetype pieces = spot.nzbMessageIds.size();
    QList<QByteArray> articles;
    for (qsizetype k = 0; k < pieces; ++k) {
        const qsizetype from = escaped.size() * k / pieces;
        const qsizetype to = escaped.size() * (k + 1) / pieces;
        articles += path + "From: " + spot.poster + " <uploader@demo.tarnwick>\nSubject: " + spot.key + " NZB "
            + QByteArray::number(k + 1) + '/' + QByteArray::number(pieces) + "\nDate: " + rfc2822(spot.date)
            + "\nMessage-ID: <" + spot.nzbMessageIds.at(k) + ">\nNewsgroups: alt.binaries.ftd\n\n"
            + SpotArticles::nzbBody(QByteArrayView(escaped).sliced(from, to - from));
    }
    return articles;
}

qint64 DemoCorpus::addSpot(qint64 postedAt)
{
    // Never before the newest spot: the group stays in the order of posting.
    const qint64 date = std::max(postedAt, spotDate(spots));
    postedSpots.insert(++spots, Posted{date, 0});
    return spots;
}

qint64 DemoCorpus::addComment(qint64 postedAt)
{
    DemoRandom random = streamFor(options.seed, CommentStream, -(comments + 1));
    const qint64 about = std::max<qint64>(1, spots - random.bounded(5));
    postedComments.insert(++comments, Posted{postedAt, about});
    return comments;
}

std::optional<ArticleGenerator::Bounds> DemoCorpus::bounds(const QByteArray &group) const
{
    if (group == spotGroup)
        return Bounds{1, spots};
    if (group == commentGroup)
        return Bounds{1, comments};
    return std::nullopt;
}

QByteArray DemoCorpus::overviewOf(qint64 number, const QByteArray &subject, const QByteArray &from, qint64 date,
                                  const QByteArray &messageId, const QByteArray &references, const QByteArray &article,
                                  const QByteArray &group) const
{
    const qsizetype bodyStart = article.indexOf("\n\n") + 2;
    return QByteArray::number(number) + '\t' + subject + '\t' + from + '\t' + rfc2822(date) + "\t<" + messageId + ">\t"
        + references + '\t' + QByteArray::number(article.size() + lineCount(article)) + '\t'
        + QByteArray::number(lineCount(article.mid(bodyStart))) + "\tXref: demo.tarnwick " + group + ':'
        + QByteArray::number(number);
}

namespace {

// The value of a header line of an article text.
QByteArray headerValue(const QByteArray &article, const QByteArray &name)
{
    const qsizetype start = article.indexOf(QByteArray('\n' + name + ": "));
    if (start < 0)
        return {};
    const qsizetype from = start + name.size() + 3;
    return article.mid(from, article.indexOf('\n', from) - from);
}

} // namespace

QByteArray DemoCorpus::overviewLine(const QByteArray &group, qint64 number) const
{
    if (number < 1 || !bounds(group) || number > bounds(group)->high)
        return {};
    if (group == spotGroup) {
        const Spot made = spot(number);
        const QByteArray text = spotArticle(made);
        return overviewOf(number, headerValue(text, "Subject"), headerValue(text, "From"), made.date,
                          made.key + "@free.pt", {}, text, group);
    }
    const Comment made = comment(number);
    const QByteArray text = commentArticle(made);
    return overviewOf(number, headerValue(text, "Subject"), headerValue(text, "From"), made.date, made.messageId,
                      headerValue(text, "References"), text, group);
}

QByteArray DemoCorpus::references(const QByteArray &group, qint64 number) const
{
    if (group != commentGroup || number < 1 || number > comments)
        return {};
    return '<' + spotKey(comment(number).spot) + "@free.pt>";
}

QByteArray DemoCorpus::messageId(const QByteArray &group, qint64 number) const
{
    if (number < 1 || !bounds(group) || number > bounds(group)->high)
        return {};
    return group == spotGroup ? spot(number).key + "@free.pt" : comment(number).messageId;
}

QByteArray DemoCorpus::article(const QByteArray &id) const
{
    const qsizetype at = id.lastIndexOf('@');
    const QByteArray local = id.left(at);
    const QByteArray domain = id.mid(at + 1);
    if (domain == "free.pt") {
        const qint64 number = numberAfterLastDot(local);
        if (number < 1 || number > spots)
            return {};
        const Spot made = spot(number);
        return made.key == local ? spotArticle(made) : QByteArray();
    }
    if (domain == "free.usenet") {
        const qint64 number = numberAfterLastDot(local);
        if (number < 1 || number > comments)
            return {};
        const Comment made = comment(number);
        return made.messageId == id ? commentArticle(made) : QByteArray();
    }
    if (domain == nzbDomain) {
        const qint64 piece = numberAfterLastDot(local);
        const qint64 number = numberAfterLastDot(local.left(local.lastIndexOf('.')));
        if (number < 1 || number > spots)
            return {};
        const Spot made = spot(number);
        const qsizetype index = made.nzbMessageIds.indexOf(id);
        return index < 0 || index != piece ? QByteArray() : nzbArticles(made).at(index);
    }
    const std::optional<DemoRelease::SegmentName> segment = DemoRelease::segmentNamed(options.seed, id);
    if (segment && segment->spot <= spots)
        return DemoRelease::article(options.seed, spot(segment->spot), *segment);
    return {};
}
