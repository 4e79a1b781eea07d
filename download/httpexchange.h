#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <functional>

class QHttpMultiPart;
class QNetworkAccessManager;
class QNetworkRequest;

// HTTP requests to a downloader: over http or https with the normal certificate checks, never
// following a redirect (which would take the credentials elsewhere), the answer read up to
// maxReplySize and given up after the time-out when the transfer stalls. Several requests may
// be under way at once; each one's done runs once, from the event loop. Deleting the exchange
// drops them without calling done.
class HttpExchange : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{30000};

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

    HttpExchange(qint64 maxReplySize, QObject *parent);

    // How long a transfer may stall; for tests.
    void setTimeout(std::chrono::milliseconds timeout);

    void get(QNetworkRequest request, Done done);
    void post(QNetworkRequest request, const QByteArray &body, Done done);
    // Takes body.
    void post(QNetworkRequest request, QHttpMultiPart *body, Done done);

    // The user's address of the program (a scheme may be left out) with path appended to its
    // own; user info, query and fragment dropped. Empty unless http or https with a host.
    static QUrl endpoint(const QString &base, const QString &path);

private:
    void prepare(QNetworkRequest &request) const;
    void watch(QNetworkReply *reply, Done done);

    const qint64 maxReplySize;
    QNetworkAccessManager *manager; // a child: gone, with its replies, after our connections
    std::chrono::milliseconds timeout = defaultTimeout;
};
