#include "overviewcorpus.h"

#include <QDateTime>
#include <QList>
#include <QRandomGenerator>

namespace OverviewCorpus {
namespace {

const QList<QByteArray> words = {
    "De",      "Het",    "Zomer", "Nacht",  "Verhaal", "Complete", "Serie", "Seizoen", "Live",
    "Concert", "Natuur", "Reis",  "Oorlog", "Liefde",  "Geheim",   "Stad",  "Water",   "Collectie",
    "2023",    "2024",   "1080p", "720p",   "NL",      "Subs",     "FLAC",  "x264",    "Remastered",
};
const QList<QByteArray> tags = {"sport", "film", "muziek", "docu", "serie", "boek", "game"};
const QList<QByteArray> posters = {"Spotter", "Jan de Vries", "ReleaseTeam", "nachtuil", "Gerrit"};

// Letters of the address's random material: never ".", "@", ">", blanks or TABs.
constexpr char keyAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

QByteArray pick(QRandomGenerator &random, const QList<QByteArray> &from)
{
    return from.at(random.bounded(qsizetype(from.size())));
}

// Main category 1 to 4, layout "1", two-digit sub-category, then further codes.
QByteArray categoryBlock(QRandomGenerator &random)
{
    QByteArray block = QByteArray::number(random.bounded(1, 5)) + '1'
        + QByteArray::number(random.bounded(100)).rightJustified(2, '0');
    for (const char code : {'a', 'b', 'd'})
        block += code + QByteArray::number(random.bounded(20)).rightJustified(2, '0');
    return block;
}

} // namespace

qint64 spotDate(qint64 number)
{
    return 1600000000 + number * 60;
}

QByteArray line(qint64 number, quint32 seed)
{
    const quint32 seeds[] = {seed, quint32(number), quint32(quint64(number) >> 32)};
    QRandomGenerator random(seeds, std::size(seeds));

    QByteArray title = pick(random, words);
    for (int i = random.bounded(2, 7); i > 0; --i)
        title += ' ' + pick(random, words);
    const QByteArray subject = title + " | " + pick(random, tags);
    const QByteArray date
        = QDateTime::fromSecsSinceEpoch(spotDate(number), Qt::UTC).toString(Qt::RFC2822Date).toLatin1();
    const QByteArray messageId = '<' + keyMaterial(random, 12) + "@free.pt>";
    const qint64 bytes = random.bounded(2000, 9000);
    const QByteArray numberText = QByteArray::number(number);
    const QByteArray tail = '\t' + date + '\t' + messageId + "\t\t" + QByteArray::number(bytes) + '\t'
        + QByteArray::number(bytes / 64 + 20) + "\tXref: news.example free.pt:" + numberText + "\r\n";
    const QByteArray head = numberText + '\t' + subject + '\t' + pick(random, posters) + " <";
    const QByteArray block = categoryBlock(random);
    const QByteArray dateText = QByteArray::number(spotDate(number));

    // The address is "key@block.key.key.date.signature.invalid>", its keys filling the line.
    const qsizetype fixed
        = head.size() + block.size() + dateText.size() + tail.size() + qsizetype(sizeof "@.....invalid>" - 1);
    const qsizetype material = std::max<qsizetype>(lineLength - fixed, 16);
    const qsizetype quarter = material / 4;
    return head + keyMaterial(random, quarter) + '@' + block + '.' + keyMaterial(random, quarter) + '.'
        + keyMaterial(random, quarter) + '.' + dateText + '.' + keyMaterial(random, material - 3 * quarter)
        + ".invalid>" + tail;
}

QByteArray lines(qint64 first, qint64 last, quint32 seed)
{
    QByteArray text;
    text.reserve((last - first + 1) * lineLength);
    for (qint64 number = first; number <= last; ++number)
        text += line(number, seed);
    return text;
}

QByteArray keyMaterial(QRandomGenerator &random, qsizetype length)
{
    QByteArray key(length, Qt::Uninitialized);
    for (char &c : key)
        c = keyAlphabet[random.bounded(int(sizeof keyAlphabet - 1))];
    return key;
}

} // namespace OverviewCorpus
