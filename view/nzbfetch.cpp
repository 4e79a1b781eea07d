#include "nzbfetch.h"

#include "articlesource.h"
#include "nzbassembly.h"
#include "spotxml.h"

NzbFetch::NzbFetch(ArticleSource *source, const QByteArray &spotMessageId, QObject *parent)
    : QObject(parent)
    , source(source)
    , spotId(spotMessageId)
{
    connect(source, &ArticleSource::articleData, this, &NzbFetch::onArticleData);
    connect(source, &ArticleSource::articleNotFound, this, &NzbFetch::onArticleNotFound);
}

void NzbFetch::start()
{
    source->requestArticle(spotId, true);
}

void NzbFetch::onArticleData(const QByteArray &msgid, const QByteArray &data)
{
    if (done)
        return;
    if (segments.isEmpty()) {
        if (msgid == spotId)
            requestSegments(data);
        return;
    }
    if (!segmentIds.contains(msgid) || received.contains(msgid))
        return;
    receivedBytes += data.size();
    if (receivedBytes > maxFetchedBytes) {
        fail(tr("De NZB van deze spot is te groot (meer dan %1 MB)").arg(maxFetchedBytes / (1024 * 1024)));
        return;
    }
    received.insert(msgid, data);
    Q_EMIT progress(int(received.size()), int(segments.size()));
    finishIfComplete();
}

void NzbFetch::onArticleNotFound(const QByteArray &msgid)
{
    if (done)
        return;
    if (segments.isEmpty() && msgid == spotId)
        fail(tr("Spot informatie niet aanwezig op Usenet server"));
    else if (segmentIds.contains(msgid) && !received.contains(msgid))
        fail(tr("Een deel van de NZB ontbreekt op de Usenet server (%1)").arg(QString::fromLatin1(msgid)));
}

void NzbFetch::requestSegments(const QByteArray &spotArticle)
{
    const std::optional<SpotFields> fields = SpotFields::parseArticle(spotArticle);
    if (!fields || fields->nzbSegments.isEmpty()) {
        fail(tr("Deze spot noemt geen NZB"));
        return;
    }
    if (fields->nzbSegments.size() > maxSegments) {
        fail(tr("Deze spot noemt te veel NZB-delen (%1, hoogstens %2)")
                 .arg(fields->nzbSegments.size())
                 .arg(maxSegments));
        return;
    }
    for (const QByteArray &segment : fields->nzbSegments) {
        if (!segmentIds.contains(segment)) {
            segmentIds.insert(segment);
            segments += segment;
        }
    }
    // Urgent requests go to the front one by one: the last asked for is fetched first.
    for (auto segment = segments.crbegin(); segment != segments.crend() && !done; ++segment)
        source->requestArticle(*segment, true);
}

void NzbFetch::finishIfComplete()
{
    if (received.size() < segments.size())
        return;
    QList<QByteArray> articles;
    for (const QByteArray &segment : std::as_const(segments))
        articles += received.value(segment);
    const NzbAssembly::Result nzb = NzbAssembly::join(articles);
    if (!nzb.nzb) {
        fail(nzb.error);
        return;
    }
    done = true;
    Q_EMIT finished(*nzb.nzb);
}

void NzbFetch::fail(const QString &reason)
{
    done = true;
    Q_EMIT failed(reason);
}
