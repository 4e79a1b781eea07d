#pragma once

#include "spotdetailsstore.h"
#include "sqlitestatement.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <utility>

struct sqlite3;

// Writes the batches of the details run: their details and asked range into spotdetails.db,
// and their header blocks into cache.db (under the keys CacheFile::cachedHead() reads), over
// two SQLite connections of its own, so that it can work on a thread other than the window's
// while the window's connections read (both files keep a write-ahead log). Both files are
// derived caches: a commit does not wait for the disk (synchronous NORMAL), so a power cut may
// lose the last batches, which are then asked again; a killed program loses nothing committed.
// The statements are prepared once per connection.
//
// Used by one thread at a time; it may be made on one thread and used on another.
class DetailsWriter
{
public:
    // A batch and what its HEADs gave: details by spot id (a spot of the batch missing from
    // found has none), and compressed header blocks by article id (ZlibStream::deflateZlibEach()).
    struct Item
    {
        SpotDetailsStore::Batch batch;
        QHash<int, SpotDetails> found;
        QList<std::pair<QByteArray, QByteArray>> heads;
    };

    DetailsWriter() = default;
    ~DetailsWriter();
    Q_DISABLE_COPY_MOVE(DetailsWriter)

    // Opens spotdetails.db (with spots.db attached, read only by use) and, when cachePath is
    // not empty, cache.db; they must exist with their tables. False when spotdetails.db cannot
    // be written: nothing is written then. Without cache.db only the details are written.
    bool open(const QString &detailsPath, const QString &spotsPath, const QString &cachePath);
    bool isOpen() const;
    void close();

    // Writes the items in one transaction per file: the header blocks first, then the details.
    // The cache may fail alone (the page then asks the server): only the details decide. When
    // stop becomes true between two rows, the write is rolled back. True when the details of
    // every item are committed.
    bool write(const QList<Item> &items, const std::atomic<bool> &stop);

private:
    bool writeHeads(const QList<Item> &items, const std::atomic<bool> &stop);
    bool writeDetails(const QList<Item> &items, const std::atomic<bool> &stop);

    sqlite3 *details = nullptr;
    sqlite3 *cache = nullptr;
    SqliteStatement headRow;
    SqliteStatement detailsRow;
    SqliteStatement askedRange;
    // The details of spots gone from spots.db (expired, or above its newest): per table.
    SqliteStatement goneBelow[2];
    SqliteStatement goneAbove[2];
};
