#include "httpexchange.h"

#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include <memory>

HttpExchange::HttpExchange(qint64 maxReplySize, QObject *parent)
    : QObject(parent)
    , maxReplySize(maxReplySize)
    , manager(new QNetworkAccessManager(this))
{
}

void HttpExchange::setTimeout(std::chrono::milliseconds timeout)
{
    this->timeout = timeout;
}

void HttpExchange::get(QNetworkRequest request, Done done)
{
    prepare(request);
    watch(manager->get(request), std::move(done));
}

void HttpExchange::post(QNetworkRequest request, const QByteArray &body, Done done)
{
    prepare(request);
    watch(manager->post(request, body), std::move(done));
}

void HttpExchange::post(QNetworkRequest request, QHttpMultiPart *body, Done done)
{
    prepare(request);
    QNetworkReply *reply = manager->post(request, body);
    body->setParent(reply);
    watch(reply, std::move(done));
}

QUrl HttpExchange::endpoint(const QString &base, const QString &path)
{
    QUrl url = QUrl::fromUserInput(base.trimmed());
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1StringView("http") && scheme != QLatin1StringView("https")))
        return {};
    url.setUserInfo(QString());
    url.setQuery(QString());
    url.setFragment(QString());
    QString own = url.path();
    while (own.endsWith(u'/'))
        own.chop(1);
    url.setPath(own + path);
    return url;
}

void HttpExchange::prepare(QNetworkRequest &request) const
{
    request.setTransferTimeout(int(timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // The callers set their own credentials; none are cached or reused.
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
}

void HttpExchange::watch(QNetworkReply *reply, Done done)
{
    // Bounded twice: Qt buffers at most this much, we keep at most maxReplySize.
    reply->setReadBufferSize(64 * 1024);
    auto answer = std::make_shared<Answer>();
    auto take = [reply, answer, limit = maxReplySize] {
        if (answer->tooLarge || !reply->isOpen()) // closed by the time-out
            return;
        answer->body += reply->read(limit + 1 - answer->body.size());
        if (answer->body.size() > limit) {
            answer->tooLarge = true;
            answer->body.truncate(limit);
            reply->abort(); // finishes at once
        }
    };
    connect(reply, &QNetworkReply::readyRead, this, take);
    connect(reply, &QNetworkReply::finished, this, [reply, answer, take, done = std::move(done)] {
        take();
        answer->httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer->error = reply->error();
        answer->errorString = reply->errorString();
        // Only the transfer time-out cancels a reply that we did not abort ourselves.
        answer->timedOut = !answer->tooLarge
            && (answer->error == QNetworkReply::OperationCanceledError || answer->error == QNetworkReply::TimeoutError);
        reply->deleteLater();
        done(*answer);
    });
}
