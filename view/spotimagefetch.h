#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// The program's own fetch of one spot image, so that the web view loads nothing from the
// network. It asks only for http or https addresses of a public host (isPublicImageAddress()),
// and checks every redirect (at most maxRedirects) the same way before it is followed, so
// that no address of this machine or its networks is asked, by a redirect neither (a public
// name that resolves to such an address is not caught). No cookies are sent or kept, no
// credentials are given, and a TLS error ends the fetch. Only a body of at most maxBytes
// (checked as it arrives) with a Content-Type "image/..." is kept. The fetch ends after 30 s
// without data or 2 min in all. finished() fires once, never before the constructor has
// returned; a slot of it deletes the fetch later (deleteLater()), and deleting the fetch at
// any other time ends its request.
class SpotImageFetch : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Fetched,
        Refused, // by the rules above: address, redirect, type or size
        Failed, // by the network or the server
    };
    Q_ENUM(Outcome)
    static constexpr int maxRedirects = 5;
    static constexpr qint64 maxBytes = 16 * 1024 * 1024;

    SpotImageFetch(const QUrl &image, QObject *parent);

    // When fetched: the Content-Type as the server sent it, and the image.
    QByteArray contentType() const;
    QByteArray body() const;

Q_SIGNALS:
    void finished(SpotImageFetch::Outcome outcome);

private:
    // The one network access of every fetch, whose cookie jar keeps nothing.
    static QNetworkAccessManager &network();

    void refuse();
    void onRedirected(const QUrl &url);
    void onDownloadProgress(qint64 received, qint64 total);
    void onFinished();

    QNetworkReply *reply = nullptr;
    bool refused = false;
    QByteArray type;
    QByteArray image;
};
