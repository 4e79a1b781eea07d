#pragma once

#include "democorpus.h"
#include "newsserver.h"

#include <QObject>
#include <QTimer>

// The demo news server: a generated corpus served like a real provider's spot groups, that
// grows by one spot every interval (and by a comment every other interval).
class DemoServer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        DemoCorpus::Options corpus;
        quint16 port = 0; // 0: one the system picks
        int arrivalSeconds = 60; // 0: nothing arrives
        int latencyMs = 0; // added before every reply, like a distant provider
        int rateKiBps = 0; // cap on the reply bandwidth; 0: none
    };

    explicit DemoServer(const Options &options, QObject *parent = nullptr);

    bool start();
    quint16 port() const;
    const DemoCorpus &corpus() const;
    // What was asked and sent so far.
    const NewsServer &newsServer() const;

    // Posts the next spot (and every other time a comment) at once, as the timer does.
    void postArrival();

Q_SIGNALS:
    // After every arrival: the number of the new spot, and of the new comment or 0.
    void arrived(qint64 spot, qint64 comment);

private:
    Options options;
    DemoCorpus articles;
    NewsServer server;
    QTimer arrivals;
    int arrivalCount = 0;
};
