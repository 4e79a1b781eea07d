#include "searchtextsfeed.h"

#include <algorithm>

namespace {

constexpr size_t batchValues = 2048;
// Batches handed over and not yet appended, at most: the reader waits rather than copying a
// whole table ahead when the texts fall behind.
constexpr size_t waitingBatches = 8;

} // namespace

SearchTextsFeed::SearchTextsFeed(SearchTexts &texts, Appending appending)
    : texts(texts)
    , appending(appending)
{
}

SearchTextsFeed::~SearchTextsFeed()
{
    finish();
}

void SearchTextsFeed::Batch::appendTo(SearchTexts &texts) const
{
    quint32 begin = 0;
    for (size_t i = 0; i < kinds.size(); ++i) {
        texts.append(QByteArrayView(bytes.data() + begin, qsizetype(ends[i] - begin)), kinds[i] == Text,
                     kinds[i] == Null);
        begin = ends[i];
    }
}

void SearchTextsFeed::Batch::clear()
{
    bytes.clear();
    ends.clear();
    kinds.clear();
}

void SearchTextsFeed::append(QByteArrayView bytes, bool isText, bool isNull)
{
    if (appending == Appending::AtOnce) {
        texts.append(bytes, isText, isNull);
        return;
    }
    filling.bytes.insert(filling.bytes.end(), bytes.begin(), bytes.end());
    filling.ends.push_back(quint32(filling.bytes.size()));
    filling.kinds.push_back(isNull ? Batch::Null : isText ? Batch::Text : Batch::Blob);
    if (filling.kinds.size() == batchValues)
        handOver();
}

void SearchTextsFeed::handOver()
{
    if (!worker.joinable())
        worker = std::thread(&SearchTextsFeed::run, this);
    std::unique_lock<std::mutex> locked(lock);
    changed.wait(locked, [this] { return waiting.size() < waitingBatches; });
    waiting.push_back(std::move(filling));
    if (spare.empty()) {
        filling = Batch();
    } else {
        filling = std::move(spare.back());
        spare.pop_back();
    }
    changed.notify_all();
}

void SearchTextsFeed::run()
{
    Batch current;
    std::unique_lock<std::mutex> locked(lock);
    for (;;) {
        changed.wait(locked, [this] { return !waiting.empty() || finishing; });
        if (waiting.empty())
            return;
        current = std::move(waiting.front());
        waiting.erase(waiting.begin());
        changed.notify_all();
        locked.unlock();
        current.appendTo(texts);
        current.clear();
        locked.lock();
        spare.push_back(std::move(current));
    }
}

void SearchTextsFeed::finish()
{
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> locked(lock);
            finishing = true;
        }
        changed.notify_all();
        worker.join();
        finishing = false;
    }
    // The last values, fewer than a batch, after those of the thread.
    filling.appendTo(texts);
    filling.clear();
}
