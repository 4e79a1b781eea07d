#include "sqltransaction.h"

SqlTransaction::SqlTransaction(const QSqlDatabase &db)
    : db(db)
    , active(this->db.transaction())
{
}

SqlTransaction::~SqlTransaction()
{
    if (active)
        db.rollback();
}

bool SqlTransaction::isActive() const
{
    return active;
}

bool SqlTransaction::commit()
{
    if (!active || !db.commit())
        return false;
    active = false;
    return true;
}
