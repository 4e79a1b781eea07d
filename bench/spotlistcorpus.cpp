#include "spotlistcorpus.h"

#include "overviewcorpus.h"

#include "benchsupport.h"
#include "categoryscheme.h"
#include "spotstore.h"
#include "sqltransaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <iterator>

namespace SpotListCorpus {
namespace {

constexpr qint64 rangeSize = 50'001;

const char *const titleWords[] = {
    "De",       "Het",     "Een",       "Van",     "Zomer",  "Winter", "Nacht",  "Verhaal", "Complete",
    "Serie",    "Seizoen", "Live",      "Concert", "Natuur", "Reis",   "Oorlog", "Liefde",  "Geheim",
    "Stad",     "Water",   "Collectie", "Terug",   "Naar",   "Huis",   "Eiland", "Noorden", "Zee",
    "Vrienden", "Familie", "Moord",     "Tuin",    "Koken",  "Wereld", "Strijd", "Laatste", "Eerste",
    "Dag",      "Jaar",    "Story",     "Night",   "Return", "Lost",   "Dark",   "Blue",    "Road",
    "Legends",  "Kingdom", "Fire",      "Ice",     "Garden", "Planet", "Ocean",  "Empire",  "Secret",
};
const char *const videoQualities[] = {"720p", "1080p", "1080p", "2160p", "DVDRip", "WEB-DL", "BluRay"};
const char *const videoCodecs[] = {"x264", "x265", "XviD", "HEVC", "AVC"};
const char *const languages[] = {"NL Subs", "NLsubs", "Eng", "Multi", "NL Gesproken"};
const char *const audioFormats[] = {"MP3 320kbps", "FLAC", "MP3 V0", "AAC 256", "24bit FLAC"};
const char *const platforms[] = {"PC", "PS4", "XBOX", "NSW", "MacOSX", "Linux"};
const char *const systems[] = {"Win x64", "MacOS", "Linux", "Android", "Portable"};
const char *const tags[] = {"film", "serie", "docu", "muziek", "game", "app", "ebook", "sport", "kids", "hd"};
// Titles with encoded words are stored as text; these are what such titles decode to.
const char16_t *const accentedWords[] = {u"Café", u"Zoë", u"Crème", u"Noël", u"Ærø", u"Señor", u"Über"};

const int videoSubcats[] = {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 109, 104, 106};
const int audioSubcats[] = {200, 201, 202, 203, 204, 205, 206, 207, 208};
const int gameSubcats[] = {300, 301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312, 313, 314, 315};
const int appSubcats[] = {400, 401, 402, 403, 404, 405, 406, 407};

template<typename T, size_t N>
const T &pick(QRandomGenerator &random, const T (&from)[N])
{
    return from[random.bounded(int(N))];
}

QByteArray words(QRandomGenerator &random, int least, int most)
{
    QByteArray text = pick(random, titleWords);
    for (int i = random.bounded(least, most + 1) - 1; i > 0; --i)
        text += QByteArray(" ") + pick(random, titleWords);
    return text;
}

QByteArray year(QRandomGenerator &random)
{
    return QByteArray::number(random.bounded(1970, 2025));
}

// Main category shares of a busy spot group: half video, a fifth audio, 5 % erotic.
int mainCategory(QRandomGenerator &random)
{
    const int share = random.bounded(100);
    return share < 52 ? 1 : share < 72 ? 2 : share < 82 ? 3 : share < 95 ? 4 : CategoryScheme::erotic;
}

QByteArray title(QRandomGenerator &random, int cat)
{
    switch (cat) {
    case 1:
        return words(random, 2, 6) + " (" + year(random) + ") " + pick(random, videoQualities) + ' '
            + pick(random, videoCodecs) + ' ' + pick(random, languages);
    case 2:
        return words(random, 1, 3) + " - " + words(random, 1, 4) + " (" + year(random) + ") "
            + pick(random, audioFormats);
    case 3:
        return words(random, 1, 4) + ' ' + pick(random, platforms) + (random.bounded(2) ? " PAL" : " MULTi5");
    case 4:
        return words(random, 1, 3) + " v" + QByteArray::number(random.bounded(1, 20)) + '.'
            + QByteArray::number(random.bounded(10)) + ' ' + pick(random, systems);
    }
    return words(random, 2, 4) + " (" + year(random) + ") XXX " + pick(random, videoQualities);
}

struct GeneratedSpot
{
    SpotTable table;
    SpotRecord record;
};

GeneratedSpot generatedSpot(QRandomGenerator &random, qint64 number, const QList<QByteArray> &spotters)
{
    SpotRecord spot;
    spot.cat = mainCategory(random);
    switch (spot.cat) {
    case 1:
        spot.subcat = pick(random, videoSubcats);
        break;
    case 2:
        spot.subcat = pick(random, audioSubcats);
        break;
    case 3:
        spot.subcat = pick(random, gameSubcats);
        break;
    case 4:
        spot.subcat = pick(random, appSubcats);
        break;
    default:
        spot.subcat = CategoryScheme::eroticSubcategory(random.bounded(CategoryScheme::eroticGenreCount));
    }
    spot.spotDate = 1262304000 + number * 30 + random.bounded(30);
    QByteArray bytes = title(random, spot.cat);
    const qint64 rareEvery = spotsPerMillion() / 10;
    if (number % rareEvery == 4242 % rareEvery)
        bytes += QByteArray(" ") + rareWord;
    // Most posters write UTF-8 today; a few old spots are Latin-1.
    const int encoding = random.bounded(100);
    const QString accented = QString::fromUtf16(pick(random, accentedWords)) + QLatin1Char(' ');
    if (encoding < 8)
        spot.title = accented + QString::fromLatin1(bytes);
    else if (encoding < 20)
        spot.title = accented.toUtf8() + bytes;
    else if (encoding < 23)
        spot.title = accented.toLatin1() + bytes;
    else
        spot.title = bytes;
    spot.spotter = spotters.at(random.bounded(int(spotters.size())));
    if (random.bounded(100) < 15)
        spot.tag = QLatin1String("");
    else
        spot.tag = QByteArray(pick(random, tags));
    spot.msgid = OverviewCorpus::keyMaterial(random, 22);
    spot.othercats = "a0" + QByteArray::number(random.bounded(10)) + "b0" + QByteArray::number(random.bounded(10));
    return {CategoryScheme::isErotic(spot.cat) ? SpotTable::EroticSpots : SpotTable::Spots, spot};
}

QList<QByteArray> spotterNames(QRandomGenerator &random)
{
    QList<QByteArray> names;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray first = i % 10 == 0 ? QString::fromUtf16(pick(random, accentedWords)).toUtf8()
                                             : QByteArray(pick(random, titleWords));
        names << first + OverviewCorpus::keyMaterial(random, random.bounded(0, 4))
                + QByteArray::number(random.bounded(100));
    }
    return names;
}

// Smoke stores are never kept: they go into a folder that is removed at exit.
QString smokeFolder()
{
    static const QTemporaryDir folder(QDir::tempPath() + QLatin1String("/tarnwick-bench-smoke-XXXXXX"));
    Bench::require(folder.isValid(), "no temporary folder");
    return folder.path();
}

QString cacheFolder()
{
    // Taken before the data location is redirected, and kept.
    static const QString folder = Bench::smoke()
        ? smokeFolder()
        : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1String("/tarnwick-bench");
    return folder;
}

// The program finds its databases and settings through these; the bench's own go into its cache folder.
void pointDataAt(const QString &folder)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(cacheFolder() + QLatin1String("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder));
}

void generate(const QString &folder, int millions)
{
    // Written aside and renamed when complete: an interrupted run starts over.
    const QString partial = folder + QLatin1String(".partial");
    Bench::require(QDir(partial).removeRecursively(), "cannot clear the partial store");
    pointDataAt(partial);
    const qint64 total = millions * spotsPerMillion();
    std::fprintf(stderr, "tarnwick-bench: generating %lld spots into %s\n", total, qPrintable(folder));
    QElapsedTimer timer;
    timer.start();
    {
        SpotStore store;
        QRandomGenerator random(quint32(20260401 + millions));
        const QList<QByteArray> spotters = spotterNames(random);
        for (qint64 first = 1; first <= total; first += rangeSize) {
            SqlTransaction transaction(store.spotsDatabase());
            for (qint64 number = first; number < first + rangeSize && number <= total; ++number) {
                const GeneratedSpot spot = generatedSpot(random, number, spotters);
                Bench::require(store.spots().insertSpot(spot.table, spot.record) == InsertResult::Inserted,
                               "a generated spot was not stored");
            }
            Bench::require(transaction.commit(), "a range of generated spots was not stored");
        }
    }
    Bench::require(QDir().rename(partial, folder), "cannot move the generated store into place");
    std::fprintf(stderr, "tarnwick-bench: generated in %.0f s\n", double(timer.elapsed()) / 1000);
}

} // namespace

qint64 spotsPerMillion()
{
    return Bench::sized<qint64>(1'000'000, 10'000);
}

QString useStore(int millions)
{
    // Named after the kinds of titles it holds: a store of other titles is generated anew.
    const QString folder = cacheFolder() + QStringLiteral("/spots-utf8-%1m").arg(millions);
    if (!QDir(folder).exists())
        generate(folder, millions);
    pointDataAt(folder);
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1String("/spots.db");
}

} // namespace SpotListCorpus
