#include "spotsizes.h"

#include <QFileInfo>
#include <QSqlDatabase>

#include <algorithm>
#include <functional>
#include <atomic>
#include <climits>

namespace {

std::atomic<quint64> connectionCount{0};

// Ascending table ids: the details file keys an erospot by minus its id.
const QByteArray spotsRange = "SELECT spot,size FROM details WHERE spot BETWEEN ? AND ? AND size IS NOT NULL "
                              "ORDER BY spot";
const QByteArray eroticRange = "SELECT -spot,size FROM details WHERE spot BETWEEN ? AND ? AND size IS NOT NULL "
                               "ORDER BY spot DESC";

} // namespace

SpotSizes::SpotSizes(const QString &filePath)
    : filePath(filePath)
    , connectionName(QStringLiteral("spotsizes-%1").arg(++connectionCount))
{
}

SpotSizes::~SpotSizes()
{
    if (opened)
        QSqlDatabase::database(connectionName, false).close();
    QSqlDatabase::removeDatabase(connectionName);
}

bool SpotSizes::ensureOpen() const
{
    if (opened)
        return true;
    // Opening a file that is not there would make it: the details store makes it.
    if (!QFileInfo::exists(filePath))
        return false;
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
        ? QSqlDatabase::database(connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(filePath);
    // Not opened read-only: SQLite could not make the write-ahead log's index of a file that
    // no writer has open. Nothing here writes.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    opened = db.open() && sameSqliteLibrary(db);
    if (!opened)
        db.close();
    return opened;
}

template<typename Take>
bool SpotSizes::readRows(const QByteArray &sql, std::initializer_list<qint64> values, Take take) const
{
    if (!ensureOpen())
        return false;
    SqliteStatement query(QSqlDatabase::database(connectionName, false), sql);
    int parameter = 1;
    for (const qint64 value : values)
        query.bind(parameter++, value);
    SqliteStatement::Result step;
    while ((step = query.step()) == SqliteStatement::Result::Row)
        take(int(query.integer(0)), query.integer(1));
    query.finish();
    return step == SqliteStatement::Result::Done;
}

template<typename Take>
bool SpotSizes::readSizes(bool erotic, int lowId, int highId, Take take) const
{
    if (lowId > highId)
        return false;
    return erotic ? readRows(eroticRange, {-qint64(highId), -qint64(lowId)}, take)
                  : readRows(spotsRange, {lowId, highId}, take);
}

QHash<int, qint64> SpotSizes::sizesOf(const std::vector<int> &ids, bool erotic) const
{
    QHash<int, qint64> sizes;
    if (ids.empty())
        return sizes;
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    // A window's ids lie close together, unless the list is sorted: then one key at a time.
    if (qint64(*high) - *low < 4 * qint64(ids.size())) {
        std::vector<int> wanted = ids;
        std::sort(wanted.begin(), wanted.end());
        readSizes(erotic, *low, *high, [&](int id, qint64 size) {
            if (std::binary_search(wanted.begin(), wanted.end(), id))
                sizes.insert(id, size);
        });
        return sizes;
    }
    for (const int id : ids)
        readSizes(erotic, id, id, [&](int found, qint64 size) { sizes.insert(found, size); });
    return sizes;
}

const SpotSizes::SizeOrder *SpotSizes::sizeOrder(bool erotic) const
{
    SizeOrder &order = orders[erotic ? 1 : 0];
    if (order.held)
        return &order;
    // The size index gives the rows in size order.
    const QByteArray sql = QByteArray("SELECT ") + (erotic ? "-spot" : "spot")
        + ",size FROM details INDEXED BY detailsizes WHERE size IS NOT NULL AND spot BETWEEN ? AND ? ORDER BY size";
    std::vector<int> ids;
    std::vector<quint64> runEnds;
    size_t runStart = 0;
    qint64 runSize = -1;
    // Alike sizes newest first: each run of them is put in order when it ends.
    const auto endRun = [&] {
        if (ids.size() - runStart > 1)
            std::sort(ids.begin() + qsizetype(runStart), ids.end(), std::greater<int>());
        if (!ids.empty()) {
            runEnds.resize((ids.size() - 1) / 64 + 1);
            runEnds[(ids.size() - 1) / 64] |= quint64(1) << ((ids.size() - 1) % 64);
        }
        runStart = ids.size();
    };
    const bool read
        = readRows(sql, {erotic ? -qint64(INT_MAX) : 1, erotic ? -1 : qint64(INT_MAX)}, [&](int id, qint64 size) {
              if (size != runSize) {
                  endRun();
                  runSize = size;
              }
              ids.push_back(id);
          });
    if (!read)
        return nullptr;
    endRun();
    ids.shrink_to_fit();
    order = {std::move(ids), std::move(runEnds), true};
    return &order;
}

void SpotSizes::forget()
{
    for (SizeOrder &order : orders)
        order = {};
}

qsizetype SpotSizes::memoryBytes() const
{
    qsizetype bytes = 0;
    for (const SizeOrder &order : orders)
        bytes += qsizetype(order.ids.capacity() * sizeof(int) + order.runEnds.capacity() * sizeof(quint64));
    return bytes;
}

std::vector<int> SpotSizes::sorted(std::vector<int> ids, bool erotic, Qt::SortOrder order) const
{
    if (ids.empty())
        return ids;
    const SizeOrder *bySize = sizeOrder(erotic);
    if (!bySize)
        return ids;
    const auto [lowest, highest] = std::minmax_element(ids.begin(), ids.end());
    const int low = *lowest;
    const int high = *highest;
    // The ids still to place, a bit each.
    std::vector<quint64> waiting(size_t(qint64(high) - low) / 64 + 1);
    for (const int id : ids)
        waiting[size_t(id - low) / 64] |= quint64(1) << ((id - low) % 64);
    std::vector<int> placed;
    placed.reserve(ids.size());
    const auto place = [&](int id) {
        if (id < low || id > high)
            return;
        quint64 &word = waiting[size_t(id - low) / 64];
        const quint64 bit = quint64(1) << ((id - low) % 64);
        if (word & bit) {
            word &= ~bit;
            placed.push_back(id);
        }
    };
    const std::vector<int> &held = bySize->ids;
    if (order == Qt::AscendingOrder) {
        for (const int id : held)
            place(id);
    } else {
        // Runs of alike sizes from the last, each still newest first.
        const auto endsRun = [&](size_t i) { return (bySize->runEnds[i / 64] >> (i % 64)) & 1; };
        for (size_t end = held.size(); end > 0;) {
            size_t start = end - 1;
            while (start > 0 && !endsRun(start - 1))
                --start;
            for (size_t i = start; i < end; ++i)
                place(held[i]);
            end = start;
        }
    }
    for (const int id : ids) {
        if (waiting[size_t(id - low) / 64] & (quint64(1) << ((id - low) % 64)))
            placed.push_back(id);
    }
    return placed;
}

std::vector<int> SpotSizes::within(const std::vector<int> &ids, bool erotic, qint64 minSize, qint64 maxSize) const
{
    if (minSize <= 0 && maxSize <= 0)
        return ids;
    std::vector<int> kept;
    if (ids.empty())
        return kept;
    const qint64 floor = std::max<qint64>(minSize, 1);
    const qint64 ceiling = maxSize > 0 ? maxSize : std::numeric_limits<qint64>::max();
    const auto [lowest, highest] = std::minmax_element(ids.begin(), ids.end());
    const int low = *lowest;
    const int high = *highest;
    if (ids.size() <= rowsReadByKey) {
        // A few ids (a filter's new spots): their rows by key.
        auto next = ids.rbegin();
        readSizes(erotic, low, high, [&](int id, qint64 size) {
            while (next != ids.rend() && *next < id)
                ++next;
            if (next != ids.rend() && *next == id && size >= floor && size <= ceiling)
                kept.push_back(id);
        });
        std::reverse(kept.begin(), kept.end());
        return kept;
    }
    // Many: the rows within the bounds, from the size index, marked a bit each.
    std::vector<quint64> inBounds(size_t(qint64(high) - low) / 64 + 1);
    const QByteArray sql = QByteArray("SELECT ") + (erotic ? "-spot" : "spot")
        + ",size FROM details INDEXED BY detailsizes WHERE size BETWEEN ? AND ? AND spot BETWEEN ? AND ?";
    readRows(sql, {floor, ceiling, erotic ? -qint64(high) : low, erotic ? -qint64(low) : high}, [&](int id, qint64) {
        if (id >= low && id <= high)
            inBounds[size_t(id - low) / 64] |= quint64(1) << ((id - low) % 64);
    });
    for (const int id : ids) {
        if (inBounds[size_t(id - low) / 64] & (quint64(1) << ((id - low) % 64)))
            kept.push_back(id);
    }
    return kept;
}
