#pragma once

#include "spotsource.h"
#include "spotstore.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The controller at the centre of the program: owns the spot store, and keeps the
// database maintenance away from a running download. Created once by the main window.
class Tarnwick : public SpotSource
{
    Q_OBJECT

public:
    // Opens the databases; throws DatabaseSetupError when that fails. Does not connect.
    explicit Tarnwick(QObject *parent = nullptr);
    ~Tarnwick() override;

    QSqlDatabase spotsDatabase() const override;
    int newSpotCount() const override;
    int newEroticSpotCount() const override;
    // The first article number of the download run: the base of the progress percentage.
    qint64 headerRunStart() const;

    static bool tableExists(const QSqlDatabase &db, const QString &name);
    // Both refuse (false, nothing done) while a header download holds its transaction.
    bool optimizeDatabases();
    // Also resets the download positions and the counters, then emits newSpots().
    bool deleteAllSpots();
    void clearCommentIndex();
    QList<quint32> commentNumbers(const QString &spotKey);

Q_SIGNALS:
    // Every requested article ends in exactly one of these two.
    void articleData(const QByteArray &msgid, const QByteArray &data);
    void articleNotFound(const QByteArray &msgid);
    // code is always 0; msg is the text shown to the user.
    void error(int code, const QString &msg);
    void notice(int code, const QString &msg);

protected:
    // Set by the download cycle while a range is in progress.
    bool headerSyncBusy = false;
    bool commentSyncBusy = false;
    // Counted by the header download since construction or the last deleteAllSpots().
    qint64 runStart = 0;
    int spotsAdded = 0;
    int eroticSpotsAdded = 0;

private:
    SpotStore store;
};
