#pragma once

#include "nzbsender.h"

#include <QNetworkReply>
#include <QUrl>

#include <chrono>
#include <functional>

class QHttpMultiPart;
class QNetworkAccessManager;
class QNetworkRequest;

// What the NZBGet and SABnzbd senders share: one POST per send(), over http or https with
// the normal certificate checks, never following a redirect (which would take the
// credentials elsewhere), its reply read up to maxReplySize and given up after the time-out
// when the transfer stalls. Several sends may be under way at once; deleting the sender
// drops them without a signal.
class HttpSender : public NzbSender
{
    Q_OBJECT

public:
    static constexpr qint64 maxReplySize = 1024 * 1024;
    static constexpr std::chrono::milliseconds defaultTimeout{30000};

    // How long a transfer may stall; for tests.
    void setTimeout(std::chrono::milliseconds timeout);

protected:
    explicit HttpSender(QObject *parent);

    struct Answer
    {
        int httpStatus = 0; // 0: no HTTP answer at all
        QByteArray body; // the first maxReplySize bytes
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString errorString;
        bool timedOut = false;
        bool tooLarge = false;
    };
    using Done = std::function<void(const Answer &)>;

    // done runs once, from the event loop.
    void post(QNetworkRequest request, const QByteArray &body, Done done);
    // Takes body.
    void post(QNetworkRequest request, QHttpMultiPart *body, Done done);

    // For a failure found before anything is sent: reported from the event loop all the same.
    void failLater(const QString &reason);

    // The user's address of the program (a scheme may be left out) with path appended to its
    // own; user info, query and fragment dropped. Empty unless http or https with a host.
    static QUrl endpoint(const QString &base, const QString &path);

private:
    void prepare(QNetworkRequest &request) const;
    void watch(QNetworkReply *reply, Done done);

    QNetworkAccessManager *manager; // a child: gone, with its replies, after our connections
    std::chrono::milliseconds timeout = defaultTimeout;
};
