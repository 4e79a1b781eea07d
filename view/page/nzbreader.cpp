#include "nzbreader.h"

#include "bytetext.h"
#include "nzbescape.h"
#include "xmldocument.h"
#include "zlibstream.h"

#include <QDebug>
#include <QRegularExpression>

namespace NzbReader {
namespace {

// The newsgroup and the file names as the NZB's XML gives them.
void readXml(const QByteArray &nzb, QString &newsgroup, QStringList &fileNames)
{
    XmlDocument doc(nzb);
    doc.registerNamespace(QByteArrayLiteral("n"), QByteArrayLiteral("http://www.newzbin.com/DTD/2003/nzb"));
    newsgroup = doc.single("/n:nzb/n:file[1]/n:groups[1]/n:group");

    bool rarSet = false;
    for (const QString &subject : doc.values("/n:nzb/n:file/@subject")) {
        if (subject.contains(QLatin1StringView(".rar"), Qt::CaseInsensitive))
            rarSet = true;
        fileNames.append(fileNameFromSubject(subject));
    }
    if (rarSet)
        fileNames.removeIf(
            [](const QString &name) { return !name.contains(QLatin1StringView(".r"), Qt::CaseInsensitive); });
    fileNames.sort();
    if (newsgroup.isEmpty())
        qDebug("NZB bevat foutieve XML");
}

// For NZBs that the query engine cannot read: the first group and the first subject.
void readPatterns(const QString &nzb, QString &newsgroup, QStringList &fileNames)
{
    // Means "<group>\s*([^<]+)\s*</group>" (capture and all), written so that matching stays
    // linear: on the plain form PCRE gives up (no match at all) after a long run of white
    // space inside a group. The second branch is a group of white space only, whose capture
    // is its last character.
    static const QRegularExpression group(QStringLiteral(R"(<group>(?|\s*+([^<]++)|\s*(\s))</group>)"));
    static const QRegularExpression subject(QStringLiteral(R"re(subject="([^"]+)")re"));

    const QRegularExpressionMatch groupMatch = group.match(nzb);
    if (groupMatch.hasMatch())
        newsgroup = groupMatch.captured(1);
    const QRegularExpressionMatch subjectMatch = subject.match(nzb);
    if (subjectMatch.hasMatch()) {
        QString first = subjectMatch.captured(1);
        qDebug() << first;
        first.replace(QLatin1StringView("&quot;"), QLatin1StringView("\""));
        fileNames.append(fileNameFromSubject(first));
    }
}

bool isStop(QChar c)
{
    return QStringView(u" /\\:*?`&><|\"").contains(c);
}

} // namespace

bool readNzb(QByteArrayView article, QString &newsgroup, QStringList &fileNames)
{
    const qsizetype headerEnd = article.indexOf(QByteArrayView("\r\n\r\n"));
    if (headerEnd < 0)
        return false;
    const QByteArray deflated = NzbEscape::decodeBody(article.sliced(headerEnd + 4));
    QByteArray nzb = ZlibStream::inflateRaw(deflated, maxNzbSize).value_or(QByteArray());
    if (nzb.isEmpty())
        qDebug("Fout bij decoderen/uitpakken NZB");

    const bool tagged = nzb.contains(QByteArrayView("<nzb"));
    // The patterns start again from the spot's own names: the names the query engine read of
    // an NZB without a group would otherwise be listed twice.
    const QStringList spotFileNames = fileNames;
    if (nzb.contains(QByteArrayView("</nzb>")))
        readXml(nzb, newsgroup, fileNames);
    if (newsgroup.isEmpty() && tagged) {
        fileNames = spotFileNames;
        readPatterns(ByteText::toText(nzb), newsgroup, fileNames);
    }
    if (!tagged)
        qDebug("NZB ongeldig (geen <nzb> tag)");
    return !newsgroup.isEmpty();
}

QString fileNameFromSubject(const QString &subject)
{
    const qsizetype open = subject.indexOf(QLatin1Char('"'));
    const qsizetype close = open < 0 ? -1 : subject.indexOf(QLatin1Char('"'), open + 1);
    if (close >= 0)
        return subject.mid(open + 1, close - open - 1);

    const qsizetype dot = subject.lastIndexOf(QLatin1Char('.'));
    // Without a dot there is no name to pick out: the subject is the best name there is.
    if (dot <= 0)
        return subject;
    qsizetype extensionEnd = dot + 1;
    while (extensionEnd < subject.size() && subject.at(extensionEnd).isLetterOrNumber())
        ++extensionEnd;
    qsizetype nameStart = dot;
    while (nameStart > 0 && !isStop(subject.at(nameStart - 1)))
        --nameStart;
    return subject.mid(nameStart, extensionEnd - nameStart);
}

} // namespace NzbReader
