#include "spotarticles.h"

#include "zlibstream.h"

namespace SpotArticles {

QByteArray entityBombDeclarations()
{
    QByteArray subset = "<!ENTITY e0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        subset += "<!ENTITY e" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i)
            subset += "&e" + QByteArray::number(level - 1) + ';';
        subset += "\">";
    }
    return subset;
}

QByteArray spot(const QByteArray &xml, qsizetype pieceSize)
{
    QByteArray article = "From: Jan Spotter <Xk9Z@2101a01.a1.b2.1600000000.c3.d4>\nSubject: Een spot\n";
    for (qsizetype at = 0; at < xml.size(); at += pieceSize)
        article += "X-XML: " + xml.mid(at, pieceSize) + '\n';
    return article + "\nDe spot zelf staat in de kopregels.\n";
}

QByteArray spotXml(const QList<std::pair<QByteArray, QByteArray>> &fields)
{
    QByteArray posting;
    for (const auto &[name, value] : fields)
        posting += '<' + name + '>' + value + "</" + name + '>';
    return "<Spotnet><Posting>" + posting + "</Posting></Spotnet>";
}

QByteArray nzb(const QByteArray &nzbXml)
{
    return nzbArticle(ZlibStream::deflateRaw(nzbXml));
}

QByteArray nzbEscaped(QByteArrayView deflated)
{
    QByteArray escaped;
    for (const char byte : deflated) {
        switch (byte) {
        case '\0':
            escaped += "=A";
            break;
        case '\r':
            escaped += "=B";
            break;
        case '\n':
            escaped += "=C";
            break;
        case '=':
            escaped += "=D";
            break;
        default:
            escaped += byte;
        }
    }
    return escaped;
}

QByteArray nzbBody(QByteArrayView escaped)
{
    QByteArray body;
    for (qsizetype at = 0; at < escaped.size(); at += 120)
        body += escaped.sliced(at, std::min<qsizetype>(120, escaped.size() - at)).toByteArray() + '\n';
    return body;
}

namespace {

QByteArray nzbArticleOfEscaped(const QByteArray &escaped)
{
    return "From: Jan Spotter <Xk9Z@free.pt>\nSubject: NZB\n\n" + nzbBody(escaped);
}

} // namespace

QByteArray nzbArticle(QByteArrayView deflated)
{
    return nzbArticleOfEscaped(nzbEscaped(deflated));
}

QList<QByteArray> nzbArticles(QByteArrayView deflated, const QList<qsizetype> &cuts)
{
    const QByteArray escaped = nzbEscaped(deflated);
    QList<QByteArray> articles;
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        articles.append(nzbArticleOfEscaped(escaped.mid(from, cut - from)));
        from = cut;
    }
    articles.append(nzbArticleOfEscaped(escaped.mid(from)));
    return articles;
}

QByteArray nzbXml(const QList<QByteArray> &subjects, const QList<QByteArray> &groups)
{
    QByteArray groupList;
    for (const QByteArray &group : groups)
        groupList += "<group>" + group + "</group>";
    QByteArray files;
    for (const QByteArray &subject : subjects)
        files += "<file poster=\"jan\" date=\"1600000000\" subject=\"" + subject + "\"><groups>" + groupList
            + "</groups><segments><segment bytes=\"100\" number=\"1\">part@example</segment></segments></file>\n";
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n"
        + files + "</nzb>\n";
}

QByteArray comment(const QByteArray &poster, const QByteArray &text, const QByteArray &spotMessageId, bool isSigned)
{
    QByteArray article
        = "From: " + poster + " <" + poster + "@example>\nSubject: Re: Een spot\nReferences: <" + spotMessageId + ">\n";
    if (isSigned)
        article += "X-User-Signature: c2lnbmF0dXVy\n";
    return article + '\n' + text + '\n';
}

QByteArray delivered(const QByteArray &text)
{
    QByteArray out;
    for (QByteArray line : text.split('\n')) {
        if (line.startsWith('.'))
            line.prepend('.');
        out += line + "\r\n";
    }
    out.chop(2); // the split's last piece follows the text's final LF
    return out + ".\r\n";
}

} // namespace SpotArticles
