#include "spotpage.h"

#include "bytetext.h"
#include "htmlescape.h"
#include "markup.h"
#include "nzbreader.h"
#include "placeholders.h"
#include "webaddress.h"

#include <QDebug>
#include <QUrl>

#include <utility>

namespace {

// A field's address as the page writes it: what the poster wrote, without double quotes
// (which no address needs), escaped for an attribute or for text.
QString addressOf(const QString &xmlText)
{
    QString address = unescapeXmlText(xmlText);
    address.remove(QLatin1Char('"'));
    return address;
}

// The image tag before the description: an http or https image of a public host only,
// under our own scheme, as the program fetches the image and the web view loads nothing
// from the network. The address is written as parsed, so that the fetch asks for the one
// that was checked. The page runs no script: style sheets bound its size (the template may
// enlarge it on hover).
QByteArray imageTag(const QString &image)
{
    const QUrl url = QUrl::fromEncoded(ByteText::toBytes(addressOf(image)));
    if (!isPublicImageAddress(url))
        return {};
    return "<img class=\"spotimage\" style=\"float:left; margin-right: 10px; margin-bottom:15px; "
           "max-width: 500px; max-height: 500px;\" alt=\"Plaatje\" src=\""
        + escapeHtml(pageImageAddress(url)) + "\"> ";
}

QByteArray websiteHtml(const QString &website)
{
    if (website.isEmpty())
        return QByteArrayLiteral("-");
    const QString address = addressOf(website);
    const QByteArray escaped = escapeHtml(ByteText::toBytes(address));
    // Only web addresses become links: a "javascript:" one would run the poster's script.
    return isWebAddress(address) ? "<a href=\"" + escaped + "\">" + escaped + "</a>" : escaped;
}

QByteArray sizeText(qint64 size)
{
    if (size == 0)
        return QByteArrayLiteral("-");
    static const char *const units[] = {" B", " KB", " MB", " GB", " TB"};
    double value = double(size);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    return QByteArray::number(value, 'f', 2) + units[unit];
}

QByteArray statusPage(const QString &text)
{
    return ByteText::toBytes(text);
}

} // namespace

SpotPage::SpotPage(const PageTemplates &templates, bool showImages, qsizetype pageLimit)
    : templates(templates)
    , showImages(showImages)
    , pageLimit(pageLimit)
{
}

void SpotPage::open(const QByteArray &storedMessageId, const QList<quint32> &commentNumbers)
{
    messageId = articleIdOf(storedMessageId);
    pending.clear();
    pending.reserve(commentNumbers.size());
    for (quint32 number : commentNumbers)
        pending.append(qint32(number));
}

QByteArray SpotPage::spotMessageId() const
{
    return messageId;
}

QByteArray SpotPage::articleIdOf(const QByteArray &storedMessageId)
{
    return storedMessageId.contains('@') ? storedMessageId : storedMessageId + "@free.pt";
}

bool SpotPage::namesNzb() const
{
    return !nzbMessageId.isEmpty();
}

QList<qint32> SpotPage::pendingComments() const
{
    return pending;
}

SpotPage::Update SpotPage::articleData(const QByteArray &id, const QByteArray &data)
{
    if (!messageId.isEmpty() && id == messageId) {
        const std::optional<SpotFields> fields = SpotFields::parseArticle(data);
        if (!fields)
            return {statusPage(tr("Spot bevat ongeldige informatie :-(")), {}};
        return spotRead(*fields);
    }
    if (!nzbMessageId.isEmpty() && id == nzbMessageId) {
        // Each NZB read starts from the spot's own fields, so one that arrives twice adds
        // its files once.
        newsgroup = spotNewsgroup;
        fileNames = spotFileNames;
        if (NzbReader::readNzb(data, newsgroup, fileNames))
            return {render(), {}};
        return {};
    }
    if (id.contains('@'))
        return {};
    if (!takePending(id))
        return {};
    const QByteArray comment = comments.render(data, templates.comment, messageId);
    // Comments past the page's limit could never be shown; the spot and the others still are.
    if (comment.size() <= pageLimit - commentsHtml.size())
        commentsHtml += comment;
    else
        qDebug("Reactie past niet meer op de pagina");
    return {pending.isEmpty() ? render() : QByteArray(), {}};
}

QByteArray SpotPage::articleNotFound(const QByteArray &id)
{
    if (!messageId.isEmpty() && id == messageId)
        return statusPage(tr("Spot informatie niet aanwezig op Usenet server :-("));
    if (id.contains('@'))
        return {};
    if (takePending(id) && pending.isEmpty())
        return render();
    return {};
}

SpotPage::Update SpotPage::spotRead(const SpotFields &fields)
{
    imageHtml = showImages && !fields.image.isEmpty() ? imageTag(fields.image) : QByteArray();
    descriptionHtml = convertMarkup(fields.description);
    size = fields.size;
    website = fields.website;
    nzbMessageId = fields.nzbMessageId;
    // A spot article that arrives again replaces what the earlier one gave.
    spotNewsgroup = fields.newsgroup;
    spotFileNames = fields.fileNames;
    newsgroup = spotNewsgroup;
    fileNames = spotFileNames;
    return {render(), nzbMessageId};
}

bool SpotPage::takePending(const QByteArray &id)
{
    const qint32 number = id.toInt(); // 0 when it is not a number
    return pending.removeOne(number);
}

QByteArray SpotPage::render() const
{
    const QByteArray sizeHtml = sizeText(size);
    const QByteArray website = websiteHtml(this->website);
    QByteArray count = QByteArrayLiteral("-");
    QByteArray first = count;
    QByteArray last = count;
    if (!fileNames.isEmpty()) {
        count = QByteArray::number(fileNames.size());
        QString firstName = fileNames.first();
        QString lastName = fileNames.last();
        // A RAR set sorted by name ends with the .rar that opens it.
        if (fileNames.size() >= 2 && firstName.contains(QLatin1StringView(".r00"))
            && lastName.contains(QLatin1StringView(".rar"))) {
            firstName = fileNames.last();
            lastName = fileNames.at(fileNames.size() - 2);
        }
        first = convertMarkup(firstName);
        last = convertMarkup(lastName);
    }
    const QByteArray group = newsgroup.isEmpty() ? QByteArrayLiteral("-") : convertMarkup(newsgroup);

    QList<Placeholder> values
        = {{"{size}", sizeHtml}, {"{website}", website}, {"{numfiles}", count},       {"{firstfile}", first},
           {"{lastfile}", last}, {"{newsgroup}", group}, {"{comments}", commentsHtml}};
    const std::optional<QByteArray> shownFields = fillPlaceholders(descriptionHtml, values, pageLimit);
    QList<QByteArray> descriptions{imageHtml + descriptionHtml};
    if (shownFields && *shownFields != descriptionHtml)
        descriptions.prepend(imageHtml + *shownFields);
    values.append(Placeholder{"{description}", {}});
    for (const QByteArray &description : std::as_const(descriptions)) {
        values.last().value = description;
        if (const std::optional<QByteArray> page = fillPlaceholders(templates.spot, values, pageLimit))
            return *page;
    }
    return tooLargePage();
}

QByteArray SpotPage::loadingPage()
{
    return statusPage(tr("Bezig met laden van spot..."));
}

QByteArray SpotPage::tooLargePage()
{
    return statusPage(tr("Deze spot is te groot om te tonen."));
}

QByteArray SpotPage::notShownPage()
{
    return statusPage(tr("Deze spot kon niet worden getoond."));
}

QByteArray SpotPage::notInDatabasePage()
{
    return statusPage(tr("Kan spotinformatie niet (meer) in database vinden..."));
}
