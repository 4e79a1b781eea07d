#include "commentindexfile.h"

#include "commentnumberlist.h"
#include "databasesetuperror.h"
#include "sqlfile.h"
#include "sqltransaction.h"

#include <QVariant>

namespace {

const QStringList commentIndexSchema = {
    QStringLiteral("CREATE TABLE msgnrs(post VARCHAR(255) PRIMARY KEY,nrs BLOB)"),
};

} // namespace

CommentIndexFile::CommentIndexFile(const QString &directory)
    : connection(QStringLiteral("commentlist"), directory + QLatin1String("/reactielijst.db"),
                 tr("Fout bij openen reactielijst database"))
{
    if (!SqlFile::tableExists(database(), QStringLiteral("msgnrs"))
        && !SqlFile::createTable(database(), commentIndexSchema))
        throw DatabaseSetupError(tr("Fout bij openen reactielijst database"));
    commentNumbersQuery = QSqlQuery(database());
    commentNumbersQuery.setForwardOnly(true);
    commentNumbersQuery.prepare(QStringLiteral("SELECT nrs FROM msgnrs WHERE post=?"));
}

QSqlDatabase CommentIndexFile::database() const
{
    return connection.database();
}

QList<quint32> CommentIndexFile::commentNumbers(const QString &spotKey)
{
    QList<quint32> numbers;
    commentNumbersQuery.bindValue(0, spotKey);
    if (commentNumbersQuery.exec() && commentNumbersQuery.next())
        numbers = CommentNumberList::decode(commentNumbersQuery.value(0).toByteArray());
    // A statement left on its row would keep VACUUM from running.
    commentNumbersQuery.finish();
    return numbers;
}

bool CommentIndexFile::writeCommentIndex(const QMap<QString, QList<quint32>> &numbersBySpot)
{
    SqlTransaction transaction(database());
    QSqlQuery query(database());
    query.prepare(QStringLiteral("REPLACE INTO msgnrs(post,nrs) VALUES (?,?)"));
    for (auto entry = numbersBySpot.cbegin(); entry != numbersBySpot.cend(); ++entry) {
        query.bindValue(0, entry.key());
        query.bindValue(1, CommentNumberList::encode(entry.value()));
        // After a full disk SQLite may have ended the transaction itself: going on would
        // store the rest outside it.
        if (!query.exec())
            return false;
    }
    return transaction.commit();
}

void CommentIndexFile::clear()
{
    SqlFile::execute(database(), QStringLiteral("DELETE FROM msgnrs"));
}
