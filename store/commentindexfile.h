#pragma once

#include "sqlconnection.h"

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QString>

// reactielijst.db: which comment article numbers belong to which spot key, on the
// connection "commentlist".
class CommentIndexFile
{
    Q_DECLARE_TR_FUNCTIONS(CommentIndexFile)

public:
    // Opens or creates the file in that directory with its table; throws DatabaseSetupError
    // when it cannot be opened or the table cannot be created.
    explicit CommentIndexFile(const QString &directory);

    QSqlDatabase database() const;

    // The comment article numbers indexed for a spot key; empty without a row.
    QList<quint32> commentNumbers(const QString &spotKey);
    // Replaces the stored number lists of these spots, in one transaction: all or none.
    // False when a write failed or the transaction could not be committed.
    bool writeCommentIndex(const QMap<QString, QList<quint32>> &numbersBySpot);
    void clear();

    Q_DISABLE_COPY_MOVE(CommentIndexFile)

private:
    // Declared before the query: a connection goes only after its queries.
    SqlConnection connection;
    QSqlQuery commentNumbersQuery;
};
