#pragma once

#include "spotsource.h"
#include "spotstore.h"

// The controller as the list sees it: the store's connection, and new-spot counts the test sets.
class StandInSource : public SpotSource
{
public:
    explicit StandInSource(const SpotStore &store)
        : store(store)
    {
    }

    QSqlDatabase spotsDatabase() const override { return store.spotsDatabase(); }
    int newSpotCount() const override { return addedSpots; }
    int newEroticSpotCount() const override { return addedEroticSpots; }

    int addedSpots = 0;
    int addedEroticSpots = 0;

private:
    const SpotStore &store;
};
