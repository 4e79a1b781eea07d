#pragma once

#include <QSqlDatabase>
#include <QString>

// One named SQLite connection, open for exactly the lifetime of this object. The name is
// removed from Qt's registry only when the object goes, so every query made on the
// connection must be gone by then.
class SqlConnection
{
public:
    // Opens (and if need be creates) the file; throws DatabaseSetupError with failureText
    // when it cannot be opened or is no database.
    SqlConnection(const QString &name, const QString &fileName, const QString &failureText);
    ~SqlConnection();

    QSqlDatabase database() const;

    Q_DISABLE_COPY_MOVE(SqlConnection)

private:
    QString name;
};
