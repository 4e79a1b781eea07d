#pragma once

#include "httpexchange.h"
#include "nzbsender.h"

#include <chrono>

// What the NZBGet and SABnzbd senders share: one POST per send() through an HttpExchange
// (see there for redirects, bounds and the time-out), its answer read up to maxReplySize.
// Several sends may be under way at once; deleting the sender drops them without a signal.
class HttpSender : public NzbSender
{
    Q_OBJECT

public:
    static constexpr qint64 maxReplySize = 1024 * 1024;

    // How long a transfer may stall; for tests.
    void setTimeout(std::chrono::milliseconds timeout);

protected:
    using Answer = HttpExchange::Answer;

    explicit HttpSender(QObject *parent);

    // For a failure found before anything is sent: reported from the event loop all the same.
    void failLater(const QString &reason);

    HttpExchange *const http;
};
