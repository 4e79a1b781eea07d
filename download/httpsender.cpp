#include "httpsender.h"

HttpSender::HttpSender(QObject *parent)
    : NzbSender(parent)
    , http(new HttpExchange(maxReplySize, this))
{
}

void HttpSender::setTimeout(std::chrono::milliseconds timeout)
{
    http->setTimeout(timeout);
}

void HttpSender::failLater(const QString &reason)
{
    QMetaObject::invokeMethod(
        this, [this, reason] { Q_EMIT failed(reason); }, Qt::QueuedConnection);
}
