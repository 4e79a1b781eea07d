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
// this connection opens. The sizes are read for each call and not kept: the index holds none.
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
    // last, newest first, in either direction. One read of the file's size index (a bit per id
    // of the list's range of ids, and the ids placed, are what it holds meanwhile).
    std::vector<int> sorted(std::vector<int> ids, bool erotic, Qt::SortOrder order) const;
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

    const QString filePath;
    const QString connectionName;
    mutable bool opened = false;
};
