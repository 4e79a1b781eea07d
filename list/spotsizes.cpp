#include "spotsizes.h"

#include <QFileInfo>
#include <QSqlDatabase>

#include <algorithm>
#include <atomic>

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
bool SpotSizes::readSizes(bool erotic, int lowId, int highId, Take take) const
{
    if (lowId > highId || !ensureOpen())
        return false;
    SqliteStatement query(QSqlDatabase::database(connectionName, false), erotic ? eroticRange : spotsRange);
    query.bind(1, qint64(erotic ? -highId : lowId));
    query.bind(2, qint64(erotic ? -lowId : highId));
    SqliteStatement::Result step;
    while ((step = query.step()) == SqliteStatement::Result::Row)
        take(int(query.integer(0)), query.integer(1));
    query.finish();
    return step == SqliteStatement::Result::Done;
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

std::vector<int> SpotSizes::sorted(std::vector<int> ids, bool erotic, Qt::SortOrder order) const
{
    if (ids.empty())
        return ids;
    struct Sized
    {
        qint64 size;
        int id;
    };
    std::vector<Sized> sized;
    std::vector<int> unsized;
    // The ids come newest first: walked from the end they ascend with the keys read.
    auto next = ids.rbegin();
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    readSizes(erotic, *low, *high, [&](int id, qint64 size) {
        for (; next != ids.rend() && *next < id; ++next)
            unsized.push_back(*next);
        if (next != ids.rend() && *next == id) {
            sized.push_back({size, id});
            ++next;
        }
    });
    unsized.insert(unsized.end(), next, ids.rend());
    // Both were read oldest first: newest first from here, so a stable sort keeps that among alike sizes.
    std::reverse(sized.begin(), sized.end());
    std::reverse(unsized.begin(), unsized.end());
    if (order == Qt::AscendingOrder)
        std::stable_sort(sized.begin(), sized.end(), [](const Sized &a, const Sized &b) { return a.size < b.size; });
    else
        std::stable_sort(sized.begin(), sized.end(), [](const Sized &a, const Sized &b) { return a.size > b.size; });
    ids.clear();
    ids.reserve(sized.size() + unsized.size());
    for (const Sized &entry : sized)
        ids.push_back(entry.id);
    ids.insert(ids.end(), unsized.begin(), unsized.end());
    return ids;
}

std::vector<int> SpotSizes::within(const std::vector<int> &ids, bool erotic, qint64 minSize, qint64 maxSize) const
{
    if (minSize <= 0 && maxSize <= 0)
        return ids;
    std::vector<int> kept;
    if (ids.empty())
        return kept;
    const qint64 ceiling = maxSize > 0 ? maxSize : std::numeric_limits<qint64>::max();
    auto next = ids.rbegin();
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    readSizes(erotic, *low, *high, [&](int id, qint64 size) {
        while (next != ids.rend() && *next < id)
            ++next;
        if (next != ids.rend() && *next == id && size >= minSize && size <= ceiling)
            kept.push_back(id);
    });
    std::reverse(kept.begin(), kept.end());
    return kept;
}
