#pragma once

#include "spotrow.h"

#include <QtGlobal>

// A spot on the user's watch list ("Bewaard"). It keeps the spot's row, so that it stays
// listed and opens after its spot expired or all spots were deleted.
struct MarkedSpot
{
    SpotRow spot; // its message-id as spots.msgid holds it is the key
    qint64 markedAt = 0; // seconds since the epoch

    friend bool operator==(const MarkedSpot &a, const MarkedSpot &b)
    {
        return a.spot == b.spot && a.markedAt == b.markedAt;
    }
};
