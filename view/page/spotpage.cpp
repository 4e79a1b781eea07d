#include "spotpage.h"

#include "bytetext.h"
#include "markup.h"
#include "nzbreader.h"

namespace {

// A URL of the spot XML in an attribute: it is written as XML text already ("&", "<" and
// ">" escaped), which is what an attribute needs; a second escape would give the browser
// another URL. Without double quotes it cannot leave the attribute.
QByteArray forAttribute(QString url)
{
    url.remove(QLatin1Char('"'));
    return ByteText::toBytes(url);
}

// Only web addresses become links: a "javascript:" one would run the poster's script.
bool isWebAddress(const QString &url)
{
    return url.startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive)
        || url.startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive);
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

SpotPage::SpotPage(const PageTemplates &templates, bool showImages)
    : templates(templates), showImages(showImages)
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
        descriptionHtml.clear();
        if (showImages && !fields->image.isEmpty()) {
            descriptionHtml = "<img style=\"float:left; margin-right: 10px; margin-bottom:15px;\" alt=\"Plaatje\" "
                              "onload=\"resizeme(this);\" onmouseover=\"supersizeme(this);\" "
                              "onmouseout=\"resizeme(this);\" src=\""
                + forAttribute(fields->image) + "\"> ";
        }
        descriptionHtml += convertMarkup(fields->description);
        size = fields->size;
        image = fields->image;
        website = fields->website;
        nzbMessageId = fields->nzbMessageId;
        // A spot article that arrives again replaces what the earlier one gave.
        spotNewsgroup = fields->newsgroup;
        spotFileNames = fields->fileNames;
        newsgroup = spotNewsgroup;
        fileNames = spotFileNames;
        return {render(), nzbMessageId};
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
    commentsHtml += comments.render(data, templates.comment, messageId);
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

bool SpotPage::takePending(const QByteArray &id)
{
    const qint32 number = id.toInt(); // 0 when it is not a number
    return pending.removeOne(number);
}

QByteArray SpotPage::render() const
{
    // Each step works on the page as it grows: a placeholder inside text that an earlier
    // step inserted is filled too.
    QByteArray page = templates.spot;
    page.replace(QByteArrayView("{description}"), descriptionHtml);
    page.replace(QByteArrayView("{size}"), sizeText(size));

    QByteArray websiteHtml = QByteArrayLiteral("-");
    if (!website.isEmpty()) {
        const QByteArray w = forAttribute(website);
        websiteHtml = isWebAddress(website) ? "<a href=\"" + w + "\">" + w + "</a>" : w;
    }
    page.replace(QByteArrayView("{website}"), websiteHtml);

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
    page.replace(QByteArrayView("{numfiles}"), count);
    page.replace(QByteArrayView("{firstfile}"), first);
    page.replace(QByteArrayView("{lastfile}"), last);

    page.replace(QByteArrayView("{newsgroup}"),
                 newsgroup.isEmpty() ? QByteArrayLiteral("-") : convertMarkup(newsgroup));
    page.replace(QByteArrayView("{comments}"), commentsHtml);
    return page;
}

QByteArray SpotPage::loadingPage()
{
    return statusPage(tr("Bezig met laden van spot..."));
}

QByteArray SpotPage::notInDatabasePage()
{
    return statusPage(tr("Kan spotinformatie niet (meer) in database vinden..."));
}
