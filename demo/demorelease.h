#pragma once

#include "democorpus.h"

#include <QByteArray>

#include <optional>

// The binary articles of the demo spots' releases: every segment a spot's NZB names is a
// yEnc part of deterministic bytes, made from the seed, the spot and the file when it is
// asked for, so that a downloader gets whole files without the corpus ever holding them.
namespace DemoRelease {

// Where a segment article sits: the spot's number, the file's index in DemoCorpus::files(),
// the segment's number (1-based).
struct SegmentName
{
    qint64 spot = 0;
    int file = 0;
    int segment = 0;
};

// The bytes of the file that the segment carries: begin to end (0-based, end excluded).
struct Range
{
    qint64 begin = 0;
    qint64 end = 0;
};
Range range(const DemoCorpus::File &file, int segment);

// "<token>.<spot>.<file>.<segment>@news.demo.tarnwick", without angle brackets.
QByteArray messageId(quint32 seed, const SegmentName &name);
// The segment named by a message-id of that form; nullopt for any other (also a wrong token).
std::optional<SegmentName> segmentNamed(quint32 seed, const QByteArray &messageId);

// The file's bytes begin to end, and the crc32 of all its bytes.
QByteArray bytes(quint32 seed, const SegmentName &file, qint64 begin, qint64 end);
quint32 fileCrc(quint32 seed, const SegmentName &file, qint64 size);

// The segment's article text (LF line ends, not dot-stuffed): headers as the uploader posted
// them and a yEnc part; empty when the spot has no such file or segment.
QByteArray article(quint32 seed, const DemoCorpus::Spot &spot, const SegmentName &name);

} // namespace DemoRelease
