#pragma once

#include "sqlitestatement.h"

#include <QHash>
#include <QString>
#include <QtGlobal>

#include <initializer_list>
#include <optional>
#include <vector>

// The sizes of spots as the details download stored them (SpotDetailsStore, spotdetails.db),
// for the list: the size column, sorting by it, and a saved filter's size bounds. Reads the
// file through a connection of its own (that only reads), opened once the file is there;
// without it no spot has a size. The store is to open (and if need be remake) the file before
// this connection opens. The index holds no sizes; only the order by size is kept, while the
// list is sorted by it (sorted(), forget()).
//
// Ids are those of one table (spots.id or erospots.id, positive) with erotic saying which;
// lists of them come newest first, as the index gives them. Window thread only.
class SpotSizes
{
public:
    explicit SpotSizes(const QString &filePath);
    ~SpotSizes();

    // The known sizes (bytes) of these ids; an id without one is missing.
    QHash<int, qint64> sizesOf(const std::vector<int> &ids, bool erotic) const;
    // The ids in the order of their size, alike sizes newest first; ids without a size come
    // last, newest first, in either direction. The first time for a table it reads the file's
    // size index whole (most of a second at millions of sizes) and keeps that order, 4 bytes
    // and a bit per size, until forget(); then a pass over it (a bit per id of the list's
    // range meanwhile).
    std::vector<int> sorted(std::vector<int> ids, bool erotic, Qt::SortOrder order) const;
    // Drops the size orders kept by sorted(): the sizes changed, or the list is no longer
    // sorted by size.
    void forget();
    // Bytes the kept size orders take.
    qsizetype memoryBytes() const;
    // The ids whose size is at least minSize and at most maxSize (0: no bound), newest first;
    // an id without a size is left out whenever a bound is given. A few ids (a filter's new
    // spots) are read by key; more, as the rows of the size index within the bounds.
    std::vector<int> within(const std::vector<int> &ids, bool erotic, qint64 minSize, qint64 maxSize) const;
    // Up to this many ids within() reads by their keys; more, by the size index.
    static constexpr size_t rowsReadByKey = 5000;

    Q_DISABLE_COPY_MOVE(SpotSizes)

private:
    // Calls take(id, size) for every row of sql, its parameters bound to values in order;
    // false when the file cannot be read.
    template<typename Take>
    bool readRows(const QByteArray &sql, std::initializer_list<qint64> values, Take take) const;
    // Every known size of the table's ids from lowId to highId, ascending.
    template<typename Take>
    bool readSizes(bool erotic, int lowId, int highId, Take take) const;
    bool ensureOpen() const;

    // A table's ids with a size in ascending size order, alike sizes newest first; a bit set
    // in runEnds where a run of alike sizes ends.
    struct SizeOrder
    {
        std::vector<int> ids;
        std::vector<quint64> runEnds;
        bool held = false;
    };
    // Read when not held; null when the file cannot be read.
    const SizeOrder *sizeOrder(bool erotic) const;

    const QString filePath;
    const QString connectionName;
    mutable bool opened = false;
    mutable SizeOrder orders[2];
};
