#pragma once

#include "newsserver.h"
#include "overviewcorpus.h"
#include "spotnntp.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>
#include <QTcpSocket>

// What the test server holds: free.pt with realistic overview lines for 1 to 3000, and a
// few comments in free.usenet.
namespace TestCorpus {

inline const QByteArray spotGroup = "free.pt";
inline const QByteArray commentGroup = "free.usenet";
inline const QByteArray commentId = "c3@free.usenet";
inline const QByteArray commentText = "From: Jan <jan@example.invalid>\nSubject: Re: spot\n"
                                      "References: <key1@free.pt>\n\nMooi!\n.punt vooraan\n";
// The comment as ARTICLE delivers it after the status line: CR LF, dot-stuffed, terminated.
inline const QByteArray commentData = "From: Jan <jan@example.invalid>\r\nSubject: Re: spot\r\n"
                                      "References: <key1@free.pt>\r\n\r\nMooi!\r\n..punt vooraan\r\n.\r\n";

inline void fill(NewsServer &server)
{
    server.addGroup(spotGroup, 1, 3000);
    server.setOverviewSource(spotGroup, [](qint64 number) { return OverviewCorpus::line(number); });
    server.addReferences(commentGroup, 1, "<key1@free.pt>");
    server.addReferences(commentGroup, 2, "<key2@free.pt> <key3@free.pt>");
    server.addArticle(commentGroup, 3, commentId, commentText);
    server.addReferences(commentGroup, 4, "<key4@free.pt>");
}

// What XHDR References 1-4 of free.usenet yields: number 2 has three parts and is dropped,
// number 3 has no References header.
inline const QList<std::pair<qint64, QByteArray>> commentReferences
    = {{1, "<key1@free.pt>"}, {3, ""}, {4, "<key4@free.pt>"}, {-1, "."}};

} // namespace TestCorpus

// A SpotNNTP on the heap with a spy on each of its signals. The test that expects an
// error takes it off `error`; whatever is left there at the end is a failure.
struct ClientUnderTest
{
    ClientUnderTest(const QString &host, quint16 port, const QString &user, const QString &password, bool ssl,
                    bool compressed)
        : client(new SpotNNTP(host, port, user, password, ssl, compressed))
        , articleData(client, &SpotNNTP::articleData)
        , headerLine(client, &SpotNNTP::headerLine)
        , groupResponse(client, &SpotNNTP::groupResponse)
        , xroverLine(client, &SpotNNTP::xroverLine)
        , error(client, &SpotNNTP::error)
        , articleNotFound(client, &SpotNNTP::articleNotFound)
        , loggedIn(client, &SpotNNTP::loggedIn)
    {
    }
    ~ClientUnderTest() { delete client; }
    ClientUnderTest(const ClientUnderTest &) = delete;
    ClientUnderTest &operator=(const ClientUnderTest &) = delete;

    SpotNNTP *operator->() const { return client; }

    [[nodiscard]] bool logIn()
    {
        client->login();
        return loggedIn.wait();
    }

    // Waits until the overview or references reply that is under way has ended.
    [[nodiscard]] bool waitForOverviewEnd(int replies = 1)
    {
        return QTest::qWaitFor([&] { return headerLines().count(".\r\n") >= replies; });
    }
    [[nodiscard]] bool waitForReferencesEnd()
    {
        return QTest::qWaitFor([&] { return !xroverLine.isEmpty() && xroverLine.last().at(0).toLongLong() == -1; });
    }

    // Selects the group and fetches one range; false on time-out.
    [[nodiscard]] bool selectGroup(const QByteArray &group)
    {
        client->selectGroup(group);
        return groupResponse.wait();
    }
    [[nodiscard]] bool overview(qint64 first, qint64 last)
    {
        if (!selectGroup(TestCorpus::spotGroup))
            return false;
        client->fetchOverview(first, last);
        return waitForOverviewEnd();
    }
    [[nodiscard]] bool references(qint64 first, qint64 last)
    {
        if (!selectGroup(TestCorpus::commentGroup))
            return false;
        client->fetchReferences(first, last);
        return waitForReferencesEnd();
    }
    QTcpSocket *socket() const { return client->findChild<QTcpSocket *>(); }

    QList<QByteArray> headerLines() const
    {
        QList<QByteArray> lines;
        for (const QList<QVariant> &arguments : headerLine)
            lines += arguments.at(0).toByteArray();
        return lines;
    }

    QList<std::pair<qint64, QByteArray>> referenceLines() const
    {
        QList<std::pair<qint64, QByteArray>> lines;
        for (const QList<QVariant> &arguments : xroverLine)
            lines += {arguments.at(0).toLongLong(), arguments.at(1).toByteArray()};
        return lines;
    }

    QPointer<SpotNNTP> client;
    QSignalSpy articleData;
    QSignalSpy headerLine;
    QSignalSpy groupResponse;
    QSignalSpy xroverLine;
    QSignalSpy error;
    QSignalSpy articleNotFound;
    QSignalSpy loggedIn;
};

// What each client test starts with and cleans up: a server with TestCorpus, and clients
// whose errors fail the test unless the test took them off their spy.
struct ClientTestBed
{
    [[nodiscard]] bool start()
    {
        server = std::make_unique<NewsServer>();
        TestCorpus::fill(*server);
        return server->start();
    }

    ClientUnderTest &makeClient(bool compressed = false, const QString &user = {}, const QString &password = {},
                                const QString &host = QStringLiteral("127.0.0.1"), bool ssl = false)
    {
        clients.push_back(std::make_unique<ClientUnderTest>(host, server->port(), user, password, ssl, compressed));
        return *clients.back();
    }

    // Drops clients and server; returns the errors that nobody expected.
    QStringList finish()
    {
        QStringList errors;
        for (const auto &c : clients) {
            for (const QList<QVariant> &arguments : std::as_const(c->error))
                errors += QStringLiteral("%1: %2").arg(arguments.at(0).toInt()).arg(arguments.at(1).toString());
        }
        clients.clear();
        server.reset();
        return errors;
    }

    std::unique_ptr<NewsServer> server;
    std::vector<std::unique_ptr<ClientUnderTest>> clients;
};

#define CLIENT_TEST_CLEANUP(bed)                                                                                       \
    do {                                                                                                               \
        const QStringList unexpected = (bed).finish();                                                                 \
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QStringLiteral("; "))));                             \
    } while (false)
