#pragma once

#include "cachefile.h"
#include "commentindexfile.h"
#include "spotsfile.h"

#include <QCoreApplication>
#include <QString>

// The three database files of the data directory, each with a class of its own:
// spots.db (SpotsFile), cache.db (CacheFile) and reactielijst.db (CommentIndexFile), on the
// connections "spots", "cache" and "commentlist". Only one store may exist at a time: the
// connection names are fixed.
class SpotStore
{
    Q_DECLARE_TR_FUNCTIONS(SpotStore)

public:
    // Creates the directory and the files in this order, as needed (see each file's class).
    // Throws DatabaseSetupError when the directory cannot be made or a file cannot be set up.
    SpotStore();

    // Where the files are: the program's data directory (made by the constructor).
    static QString dataDirectory();

    SpotsFile &spots();
    const SpotsFile &spots() const;
    CacheFile &cache();
    CommentIndexFile &commentIndex();
    // The connection of spots.db, which the spot list reads.
    QSqlDatabase spotsDatabase() const;

    // Compacts the three files. Callers keep it away from an open download transaction.
    void optimize();
    // Empties every table and compacts the files.
    void deleteAll();
    // Empties the comment index and drops the comments cached under their article number:
    // the group was numbered anew, or the server is another, and a number may name another
    // article now.
    void clearCommentIndex();

    Q_DISABLE_COPY_MOVE(SpotStore)

private:
    static QString openDataDirectory();

    const QString directory;
    SpotsFile spotsFile;
    CacheFile cacheFile;
    CommentIndexFile commentIndexFile;
};
