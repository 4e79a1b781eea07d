#include "spotimagefetch.h"

#include "webaddress.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// A spot image is no visit to its site: no cookie of one image goes along with the next.
class NoCookies : public QNetworkCookieJar
{
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

constexpr int stallMs = 30 * 1000;
constexpr int deadlineMs = 120 * 1000;

} // namespace

SpotImageFetch::SpotImageFetch(const QUrl &image, QObject *parent)
    : QObject(parent)
{
    if (!isPublicImageAddress(image)) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT finished(Outcome::Refused); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(image);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(stallMs);
    // Asked for as sent: a compressed body is not inflated past the bound.
    request.setRawHeader("Accept-Encoding", "identity");
    reply = network().get(request);
    reply->setParent(this);
    connect(reply, &QNetworkReply::redirected, this, &SpotImageFetch::onRedirected);
    connect(reply, &QNetworkReply::downloadProgress, this, &SpotImageFetch::onDownloadProgress);
    connect(reply, &QNetworkReply::finished, this, &SpotImageFetch::onFinished);
    QTimer::singleShot(deadlineMs, reply, &QNetworkReply::abort);
}

QByteArray SpotImageFetch::contentType() const
{
    return type;
}

QByteArray SpotImageFetch::body() const
{
    return image;
}

QNetworkAccessManager &SpotImageFetch::network()
{
    static QNetworkAccessManager *const shared = [] {
        auto *made = new QNetworkAccessManager(QCoreApplication::instance());
        made->setCookieJar(new NoCookies(made));
        return made;
    }();
    return *shared;
}

void SpotImageFetch::refuse()
{
    refused = true;
    reply->abort();
}

void SpotImageFetch::onRedirected(const QUrl &url)
{
    if (isPublicImageAddress(url))
        Q_EMIT reply->redirectAllowed();
    else
        refuse();
}

void SpotImageFetch::onDownloadProgress(qint64 received, qint64 total)
{
    if (received > maxBytes || total > maxBytes)
        refuse();
}

void SpotImageFetch::onFinished()
{
    reply->deleteLater();
    // A refusal may come after the reply has all its data, and abort() then leaves no error.
    Outcome outcome = Outcome::Failed;
    if (refused) {
        outcome = Outcome::Refused;
    } else if (reply->error() == QNetworkReply::NoError) {
        outcome = Outcome::Refused;
        if (reply->rawHeader("Content-Type").toLower().startsWith("image/")) {
            type = reply->rawHeader("Content-Type");
            image = reply->readAll();
            outcome = Outcome::Fetched;
        }
    }
    Q_EMIT finished(outcome);
}
