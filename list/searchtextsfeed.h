#pragma once

#include "searchtexts.h"

#include <QByteArrayView>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// Appends values to a SearchTexts on a thread of its own, so that the thread that reads them
// (stepping through the rows of a range) goes on with the next rows meanwhile: folding the
// texts and indexing their pairs of bytes costs as much as reading the rows. Values are copied
// into batches; the thread starts with the first full batch, so that a few values are appended
// by finish() alone. The texts are not to be touched by anyone else until finish() returns.
class SearchTextsFeed
{
public:
    // AtOnce: every value is appended as it comes, on the caller's thread.
    enum class Appending { OnItsThread, AtOnce };
    explicit SearchTextsFeed(SearchTexts &texts, Appending appending = Appending::OnItsThread);
    // finish()
    ~SearchTextsFeed();
    Q_DISABLE_COPY(SearchTextsFeed)

    // Appends as SearchTexts::append() does, in this order.
    void append(QByteArrayView bytes, bool isText, bool isNull);
    // Returns once every value given is in the texts.
    void finish();

private:
    struct Batch
    {
        enum Kind : quint8 { Blob, Text, Null };
        std::vector<char> bytes;
        std::vector<quint32> ends; // of each value in bytes
        std::vector<quint8> kinds;

        void appendTo(SearchTexts &texts) const;
        void clear();
    };

    void handOver();
    void run();

    SearchTexts &texts;
    Appending appending;
    Batch filling;
    std::mutex lock;
    std::condition_variable changed;
    // Under lock: batches to append, oldest first, and appended ones to fill again.
    std::vector<Batch> waiting;
    std::vector<Batch> spare;
    bool finishing = false;
    std::thread worker;
};
