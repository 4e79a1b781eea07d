#pragma once

#include "spotrow.h"

#include <QObject>
#include <QSqlDatabase>

#include <optional>

// What the spot list and the spot pages need of whoever fills the spot tables: the
// connection to read from, one spot's row, how many rows were added since start-up, and a
// signal when the stored spots changed.
class SpotSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QSqlDatabase spotsDatabase() const = 0;
    // Rows added to spots and erospots since start-up or since the store was emptied.
    virtual int newSpotCount() const = 0;
    virtual int newEroticSpotCount() const = 0;

    // The row of a spot id: positive for spots, minus the id for erospots; nullopt when no
    // row has that id (any more).
    std::optional<SpotRow> findSpot(int spotId) const;

Q_SIGNALS:
    // Spots were stored, expired or deleted; the list re-reads its rows.
    void newSpots();
};
