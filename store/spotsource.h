#pragma once

#include <QObject>
#include <QSqlDatabase>

// What the spot list needs of whoever fills the spot tables: the connection to read from,
// how many rows were added since start-up, and a signal when the stored spots changed.
class SpotSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QSqlDatabase spotsDatabase() const = 0;
    // Rows added to spots and erospots since start-up or since the store was emptied.
    virtual int newSpotCount() const = 0;
    virtual int newEroticSpotCount() const = 0;

Q_SIGNALS:
    // Spots were stored, expired or deleted; the list re-reads its rows.
    void newSpots();
};
