#include "demorelease.h"

#include "demorandom.h"
#include "yencencoder.h"

#include <QList>

#include <zlib.h>

namespace DemoRelease {
namespace {

// Streams of their own, apart from the corpus's spots (1) and comments (2).
enum Stream : quint32 { TokenStream = 4, FileStream = 5 };
// A file's index and a segment's number fit below these (DemoCorpus::files() makes at most
// 104 files of at most 40 segments).
constexpr int filesPerSpot = 128;
constexpr int segmentsPerFile = 64;
constexpr qint64 chunkBytes = 1 << 20; // the crc of a whole file is taken a chunk at a time
const QByteArray domain = "news.demo.tarnwick";

QByteArray tokenOf(quint32 seed, const SegmentName &name)
{
    DemoRandom random = demoStream(seed, TokenStream, name.spot);
    random.skip(quint64(name.file) * segmentsPerFile + quint64(name.segment));
    return QByteArray::number(random.next() >> 16, 36);
}

} // namespace

Range range(const DemoCorpus::File &file, int segment)
{
    const qint64 each = (file.bytes + file.segments - 1) / file.segments;
    return {each * (segment - 1), std::min(each * segment, file.bytes)};
}

QByteArray messageId(quint32 seed, const SegmentName &name)
{
    return tokenOf(seed, name) + '.' + QByteArray::number(name.spot) + '.' + QByteArray::number(name.file) + '.'
        + QByteArray::number(name.segment) + '@' + domain;
}

std::optional<SegmentName> segmentNamed(quint32 seed, const QByteArray &id)
{
    const qsizetype at = id.lastIndexOf('@');
    if (at < 0 || id.mid(at + 1) != domain)
        return std::nullopt;
    const QList<QByteArray> fields = id.left(at).split('.');
    if (fields.size() != 4)
        return std::nullopt;
    bool spotOk = false;
    bool fileOk = false;
    bool segmentOk = false;
    const SegmentName name{fields.at(1).toLongLong(&spotOk), fields.at(2).toInt(&fileOk),
                           fields.at(3).toInt(&segmentOk)};
    if (!spotOk || !fileOk || !segmentOk || name.spot < 1 || name.file < 0 || name.file >= filesPerSpot
        || name.segment < 1 || name.segment >= segmentsPerFile || fields.at(0) != tokenOf(seed, name))
        return std::nullopt;
    return name;
}

QByteArray bytes(quint32 seed, const SegmentName &file, qint64 begin, qint64 end)
{
    // Eight bytes per step of the file's stream, which opens at any step.
    DemoRandom random = demoStream(seed, FileStream, file.spot * filesPerSpot + file.file);
    random.skip(quint64(begin / 8));
    QByteArray data(end - begin, Qt::Uninitialized);
    quint64 word = random.next();
    for (qint64 at = begin; at < end; ++at) {
        if (at % 8 == 0 && at != begin)
            word = random.next();
        data[at - begin] = char(word >> (at % 8 * 8));
    }
    return data;
}

quint32 fileCrc(quint32 seed, const SegmentName &file, qint64 size)
{
    uLong crc = crc32_z(0, nullptr, 0);
    for (qint64 begin = 0; begin < size; begin += chunkBytes) {
        const QByteArray chunk = bytes(seed, file, begin, std::min(begin + chunkBytes, size));
        crc = crc32_z(crc, reinterpret_cast<const Bytef *>(chunk.constData()), z_size_t(chunk.size()));
    }
    return quint32(crc);
}

QByteArray article(quint32 seed, const DemoCorpus::Spot &spot, const SegmentName &name)
{
    const QList<DemoCorpus::File> files = DemoCorpus::files(spot);
    if (spot.number != name.spot || name.file >= files.size() || name.segment > files.at(name.file).segments)
        return {};
    const DemoCorpus::File &file = files.at(name.file);
    const Range part = range(file, name.segment);
    const quint32 crc = name.segment == file.segments ? fileCrc(seed, name, file.bytes) : 0;
    return "Path: demo.tarnwick!not-for-mail\nFrom: " + spot.poster + " <uploader@demo.tarnwick>\nNewsgroups: "
        + spot.newsgroup + "\nSubject: [" + QByteArray::number(name.file + 1) + '/' + QByteArray::number(files.size())
        + "] - \"" + file.name + "\" yEnc (" + QByteArray::number(name.segment) + '/'
        + QByteArray::number(file.segments) + ")\nMessage-ID: <" + messageId(seed, name) + ">\n\n"
        + YencEncoder::encodePart(bytes(seed, name, part.begin, part.end), part.begin, file.bytes, crc, name.segment,
                                  file.segments, file.name);
}

} // namespace DemoRelease
