#pragma once

// Shared by the tests that drive a spot page in the real web view.

#include <QBuffer>
#include <QImage>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// An HTTP server on loopback that records the target of every request it is asked (a path,
// or a whole URL when it serves as the proxy) and answers with a picture, or, for a target
// that ends in "/redirect", with a redirect to redirectTo, in "/page.html" with a web page,
// in "/large.png" with largeSize bytes of a picture without a Content-Length.
class PictureServer : public QTcpServer
{
public:
    QStringList targets;
    QByteArray redirectTo;
    qint64 largeSize = 0;

    PictureServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *client = nextPendingConnection();
            connect(client, &QIODevice::readyRead, client, [this, client] {
                // Answered once its whole head is in: a client that sees the connection end
                // while it still writes the request asks again.
                if (!client->peek(client->bytesAvailable()).contains("\r\n\r\n"))
                    return;
                const QByteArray target = client->readLine().split(' ').value(1);
                client->readAll();
                targets += QString::fromLatin1(target);
                if (target.endsWith("/redirect")) {
                    client->write("HTTP/1.1 302 Found\r\nLocation: " + redirectTo
                                  + "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
                } else if (target.endsWith("/page.html")) {
                    client->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                                  "Content-Length: 13\r\n\r\n<p>page</p>\r\n");
                } else if (target.endsWith("/large.png")) {
                    client->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n\r\n"
                                  + QByteArray(largeSize, 'x'));
                } else {
                    QByteArray png;
                    QBuffer buffer(&png);
                    buffer.open(QIODevice::WriteOnly);
                    QImage(2, 2, QImage::Format_Grayscale8).save(&buffer, "PNG");
                    client->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: "
                                  + QByteArray::number(png.size()) + "\r\n\r\n" + png);
                }
                client->disconnectFromHost();
            });
        });
        listen(QHostAddress::LocalHost);
    }
};
