#pragma once

#include <QSqlDatabase>

// A transaction that is rolled back unless it was committed: an early return or an error
// path never leaves it open. It must not outlive its connection.
class SqlTransaction
{
public:
    explicit SqlTransaction(const QSqlDatabase &db);
    ~SqlTransaction();

    // False when the transaction could not begin; commit() then does nothing.
    bool isActive() const;
    // True when the changes are stored; a failed commit still rolls back at destruction.
    bool commit();

    Q_DISABLE_COPY_MOVE(SqlTransaction)

private:
    QSqlDatabase db;
    bool active;
};
