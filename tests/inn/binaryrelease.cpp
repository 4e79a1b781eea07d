#include "binaryrelease.h"

#include "yencencoder.h"

#include <QDateTime>

namespace {

const QByteArray poster = "poster@tarnwick.test";

} // namespace

BinaryRelease::BinaryRelease(const QByteArray &name, const QList<File> &files, qsizetype partSize,
                             const QByteArray &group)
    : files(files)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray date = now.toString(Qt::RFC2822Date).toLatin1();
    nzb = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n";
    for (qsizetype index = 0; index < files.size(); ++index) {
        const File &file = files.at(index);
        const int total = int((file.data.size() + partSize - 1) / partSize);
        const QByteArray subjectStart = name + " [" + QByteArray::number(index + 1) + '/'
            + QByteArray::number(files.size()) + "] - \"" + file.name + "\" yEnc (";
        nzb += "<file poster=\"" + poster + "\" date=\"" + QByteArray::number(now.toSecsSinceEpoch()) + "\" subject=\""
            + QByteArray(subjectStart).replace("\"", "&quot;") + "1/" + QByteArray::number(total)
            + ")\">\n<groups><group>" + group + "</group></groups>\n<segments>\n";
        for (int part = 1; part <= total; ++part) {
            const qsizetype begin = (part - 1) * partSize;
            const qsizetype end = std::min(file.data.size(), begin + partSize);
            const QByteArray id = "part" + QByteArray::number(part) + "of" + QByteArray::number(total) + '.' + file.name
                + '.' + name + "@tarnwick.test";
            const QByteArray body = YencEncoder::encodePart(file.data, begin, end, part, total, file.name);
            articles += "Path: tarnwick.test!not-for-mail\nFrom: " + poster + "\nNewsgroups: " + group
                + "\nSubject: " + subjectStart + QByteArray::number(part) + '/' + QByteArray::number(total)
                + ")\nDate: " + date + "\nMessage-ID: <" + id + ">\n\n" + body;
            messageIds += id;
            nzb += "<segment bytes=\"" + QByteArray::number(body.size()) + "\" number=\"" + QByteArray::number(part)
                + "\">" + id + "</segment>\n";
        }
        nzb += "</segments>\n</file>\n";
    }
    nzb += "</nzb>\n";
}
