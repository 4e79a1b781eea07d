#pragma once

#include <QByteArray>
#include <QSqlDatabase>

#include <optional>

// What the spot tables hold of one spot that its page and its NZB need.
struct SpotRow
{
    QByteArray messageId; // as stored: without "@free.pt" for spots of the spot group
    int category = 0;

    // The row of a spot id: positive for spots, minus the id for erospots.
    static std::optional<SpotRow> find(const QSqlDatabase &db, int spotId);
};
