#include "testmain.h"
#include "userstore.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>

#include <functional>
#include <map>

Q_DECLARE_METATYPE(SavedFilter)

namespace {

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString userFile()
{
    return dataDir() + QLatin1Char('/') + UserStore::fileName();
}

// Runs statements on a connection of the test's own, beside the store's.
void execute(const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("beside"));
        db.setDatabaseName(userFile());
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString &sql : statements)
            QVERIFY2(query.exec(sql), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("beside"));
}

SavedFilter filter(const QString &name, std::optional<qint64> seen = std::nullopt)
{
    SavedFilter filter;
    filter.name = name;
    filter.seenSpotId = seen;
    return filter;
}

MarkedSpot marked(const QByteArray &messageId, qint64 markedAt)
{
    return {{messageId, 1, 102, 1700000000, QStringLiteral("titel"), QStringLiteral("spotter"), false}, markedAt};
}

QStringList names(const QList<SavedFilter> &filters)
{
    QStringList names;
    for (const SavedFilter &filter : filters)
        names << filter.name;
    return names;
}

// A store with filters a, b and c, spotters x and y hidden, and spots m1 and m2 marked.
void fill(UserStore &store)
{
    for (const char *name : {"a", "b", "c"})
        QVERIFY(store.addFilter(filter(QLatin1String(name), 5)) > 0);
    QVERIFY(store.hideSpotter(QStringLiteral("x")));
    QVERIFY(store.hideSpotter(QStringLiteral("y")));
    QVERIFY(store.mark(marked("<m1@x>", 100)));
    QVERIFY(store.mark(marked("<m2@x>", 200)));
}

const QByteArray garbage = QByteArrayLiteral("SQLite format 2\0 not a database, nor ours");

void writeGarbage()
{
    QFile file(userFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(garbage), garbage.size());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList setAsideFiles()
{
    return QDir(dataDir()).entryList({UserStore::fileName() + QLatin1String(".*")}, QDir::AllEntries, QDir::Name);
}

struct Contents
{
    QList<SavedFilter> filters;
    QStringList hidden;
    QList<MarkedSpot> marks;

    explicit Contents(const UserStore &store)
        : filters(store.filters())
        , hidden(store.hiddenSpotters())
        , marks(store.marks())
    {
    }

    bool operator==(const Contents &other) const
    {
        return filters == other.filters && hidden == other.hidden && marks == other.marks;
    }
};

} // namespace

class TestUserStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void filterRoundTrip_data();
    void filterRoundTrip();
    void filterOrder_data();
    void filterOrder();
    void seenMarks();
    void hiddenSpotters();
    void marks();
    void survivesReopen();
    void migratesFirstVersion();
    void unusableFileIsSetAside_data();
    void unusableFileIsSetAside();
    void setAsideFilesNeverReplaced();
    void failedWriteChangesNothing_data();
    void failedWriteChangesNothing();
};

void TestUserStore::init()
{
    QDir(dataDir()).removeRecursively();
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

// clang-format off
void TestUserStore::filterRoundTrip_data()
{
    QTest::addColumn<SavedFilter>("stored");

    QTest::newRow("empty") << SavedFilter();
    QTest::newRow("everything") << SavedFilter{0, QStringLiteral("Films"), QStringLiteral("1080p -cam"),
                                               {1, 100, 9, 903}, 14, {QStringLiteral("Piet"), QString()},
                                               true, 123456789012, 0, 700, 4500};
    QTest::newRow("utf8-and-quotes") << SavedFilter{0, QStringLiteral("Zoë's \"beste\" 日本; DROP TABLE filters"),
                                                    QStringLiteral("'%_\\"), {}, 0,
                                                    {QStringLiteral("Ünïcode \"x\""), QStringLiteral("a,b")},
                                                    false, 0};
}
// clang-format on

void TestUserStore::filterRoundTrip()
{
    QFETCH(SavedFilter, stored);
    UserStore store;
    QVERIFY(store.open(dataDir()));
    const qint64 id = store.addFilter(stored);
    QVERIFY(id > 0);
    stored.id = id;
    QCOMPARE(store.filters(), QList<SavedFilter>{stored});

    SavedFilter changed = stored;
    changed.name += QStringLiteral(" é");
    changed.categories << 2;
    changed.leftOutSpotters.clear();
    changed.notify = !changed.notify;
    changed.minSizeMb = 1;
    changed.seenSpotId.reset();
    changed.announcedCount = 9;
    QVERIFY(store.updateFilter(changed));
    // What it has seen and announced is the count's to write, not the editor's.
    SavedFilter kept = changed;
    kept.seenSpotId = stored.seenSpotId;
    kept.announcedCount = stored.announcedCount;
    QCOMPARE(store.filters(), QList<SavedFilter>{kept});

    QVERIFY(store.removeFilter(id));
    QCOMPARE(store.filters(), QList<SavedFilter>());
    QVERIFY(!store.removeFilter(id));
    QVERIFY(!store.updateFilter(changed));
    QVERIFY(store.addFilter(stored) > id); // ids are not given out twice
}

// clang-format off
void TestUserStore::filterOrder_data()
{
    QTest::addColumn<QString>("moved"); // of filters a, b, c, d
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QString>("order");

    QTest::newRow("first-to-last") << "a" << 3 << true << "bcda";
    QTest::newRow("last-to-first") << "d" << 0 << true << "dabc";
    QTest::newRow("down-one") << "b" << 2 << true << "acbd";
    QTest::newRow("in-place") << "c" << 2 << true << "abcd";
    QTest::newRow("past-the-end") << "a" << 4 << false << "abcd";
    QTest::newRow("negative") << "a" << -1 << false << "abcd";
    QTest::newRow("removed-filter") << "removed" << 0 << false << "abcd";
}
// clang-format on

void TestUserStore::filterOrder()
{
    QFETCH(QString, moved);
    QFETCH(int, position);
    QFETCH(bool, done);
    QFETCH(QString, order);

    UserStore store;
    QVERIFY(store.open(dataDir()));
    std::map<QString, qint64> ids;
    for (const QString &name : {QStringLiteral("removed"), QStringLiteral("a"), QStringLiteral("b"),
                                QStringLiteral("c"), QStringLiteral("d")})
        ids[name] = store.addFilter(filter(name));
    QVERIFY(store.removeFilter(ids[QStringLiteral("removed")]));

    QCOMPARE(store.moveFilter(ids[moved], position), done);
    QCOMPARE(names(store.filters()).join(QString()), order);
    // A new filter goes last, whatever the moves before.
    store.addFilter(filter(QStringLiteral("e")));
    QCOMPARE(names(store.filters()).join(QString()), order + QLatin1Char('e'));
}

void TestUserStore::seenMarks()
{
    UserStore store;
    QVERIFY(store.open(dataDir()));
    const qint64 known = store.addFilter(filter(QStringLiteral("known"), 10));
    const qint64 unknown = store.addFilter(filter(QStringLiteral("unknown")));
    const auto seen = [&] {
        QList<std::optional<qint64>> marks;
        for (const SavedFilter &filter : store.filters())
            marks << filter.seenSpotId;
        return marks;
    };
    using Seen = QList<std::optional<qint64>>;
    QCOMPARE(seen(), (Seen{10, std::nullopt}));

    QVERIFY(store.setAnnounced({{known, 4}, {unknown, 2}}));
    QCOMPARE(store.filters().at(1).announcedCount, 2);
    QVERIFY(store.markSeen(unknown, 60));
    // What is announced of it goes with what it has seen.
    QCOMPARE(store.filters().at(0).announcedCount, 4);
    QCOMPARE(store.filters().at(1).announcedCount, 0);
    QCOMPARE(seen(), (Seen{10, 60}));
    QVERIFY(!store.markSeen(unknown + 1, 70));

    QVERIFY(store.resetSeen());
    QCOMPARE(seen(), (Seen{std::nullopt, std::nullopt}));
    QCOMPARE(store.filters().at(0).announcedCount, 0);
    QVERIFY(store.markSeen(known, 3));
    QCOMPARE(seen(), (Seen{3, std::nullopt}));
}

void TestUserStore::hiddenSpotters()
{
    UserStore store;
    QVERIFY(store.open(dataDir()));
    const QStringList hidden = {QStringLiteral("piet"),          QStringLiteral("Anna"), QStringLiteral("Piet"),
                                QStringLiteral("o'Brien \"x\""), QStringLiteral("Ölaf"), QStringLiteral("Bob")};
    for (const QString &name : hidden)
        QVERIFY(store.hideSpotter(name));
    QVERIFY(store.hideSpotter(QStringLiteral("Anna")));
    QCOMPARE(store.hiddenSpotters(),
             (QStringList{QStringLiteral("Anna"), QStringLiteral("Bob"), QStringLiteral("o'Brien \"x\""),
                          QStringLiteral("Piet"), QStringLiteral("piet"), QStringLiteral("Ölaf")}));

    QVERIFY(store.showSpotter(QStringLiteral("piet")));
    QVERIFY(store.showSpotter(QStringLiteral("nobody")));
    QVERIFY(!store.hiddenSpotters().contains(QStringLiteral("piet")));
    QVERIFY(store.hiddenSpotters().contains(QStringLiteral("Piet")));
}

void TestUserStore::marks()
{
    UserStore store;
    QVERIFY(store.open(dataDir()));
    MarkedSpot odd{{QByteArray("<\xff\x01'\"@x>", 9), 9, 903, -1, QStringLiteral("Zoë \"日本\""), QString(), true},
                   300};
    QVERIFY(store.mark(marked("<a@x>", 100)));
    QVERIFY(store.mark(odd));
    QVERIFY(store.mark(marked("<b@x>", 200)));
    QCOMPARE(store.marks(), (QList<MarkedSpot>{odd, marked("<b@x>", 200), marked("<a@x>", 100)}));

    QVERIFY(store.mark(marked("<a@x>", 400))); // marked again: now the newest
    QVERIFY(store.unmark(odd.spot.messageId));
    QVERIFY(store.unmark(odd.spot.messageId));
    QCOMPARE(store.marks(), (QList<MarkedSpot>{marked("<a@x>", 400), marked("<b@x>", 200)}));
}

void TestUserStore::survivesReopen()
{
    const auto before = [] {
        UserStore store;
        store.open(dataDir());
        fill(store);
        return Contents(store);
    }();
    QCOMPARE(before.filters.size(), 3);
    UserStore store;
    QVERIFY(store.open(dataDir()));
    QCOMPARE(store.openMessage(), QString());
    QVERIFY(Contents(store) == before);
}

// A file of the first version keeps its filters and takes the size bounds.
void TestUserStore::migratesFirstVersion()
{
    QVERIFY(QDir().mkpath(dataDir()));
    execute({QStringLiteral("CREATE TABLE filters(id INTEGER PRIMARY KEY AUTOINCREMENT,position INTEGER NOT NULL,"
                            "name TEXT,search TEXT,categories TEXT,maxagedays INTEGER,leftoutspotters TEXT,"
                            "notify INTEGER,seenspotid INTEGER,announced INTEGER NOT NULL DEFAULT 0)"),
             QStringLiteral("CREATE TABLE hiddenspotters(name TEXT PRIMARY KEY)"),
             QStringLiteral("CREATE TABLE marks(msgid BLOB PRIMARY KEY,cat INTEGER,subcat INTEGER,spotdate INTEGER,"
                            "title TEXT,spotter TEXT,erotic INTEGER,markedat INTEGER)"),
             QStringLiteral("INSERT INTO filters(position,name,search,categories,maxagedays,leftoutspotters,notify) "
                            "VALUES (0,'Oud','x','[1]',3,'[]',1)"),
             QStringLiteral("PRAGMA user_version=1")});
    UserStore store;
    QVERIFY(store.open(dataDir()));
    QCOMPARE(store.openMessage(), QString());
    QList<SavedFilter> filters = store.filters();
    QCOMPARE(filters.size(), 1);
    QCOMPARE(filters.first().name, QStringLiteral("Oud"));
    QCOMPARE(filters.first().maxSizeMb, 0);
    filters.first().minSizeMb = 10;
    filters.first().maxSizeMb = 20;
    QVERIFY(store.updateFilter(filters.first()));
    UserStore reopened;
    QVERIFY(reopened.open(dataDir()));
    QCOMPARE(reopened.filters(), filters);
}

// clang-format off
void TestUserStore::unusableFileIsSetAside_data()
{
    QTest::addColumn<QStringList>("schema"); // statements that make the file; empty: garbage bytes
    QTest::addColumn<QString>("suffix"); // of the set-aside file; empty: none

    QTest::newRow("garbage") << QStringList() << "beschadigd";
    QTest::newRow("zero-length") << QStringList{QString()} << QString();
    QTest::newRow("newer-version")
        << QStringList{QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("CREATE TABLE future(x)"),
                       QStringLiteral("INSERT INTO future VALUES (1)"),
                       QStringLiteral("PRAGMA user_version=%1").arg(UserStore::schemaVersion + 1)}
        << "nieuwere-versie";
    QTest::newRow("another-programs-database")
        << QStringList{QStringLiteral("CREATE TABLE other(x)")} << "beschadigd";
    QTest::newRow("directory-in-the-way") << QStringList{QStringLiteral("directory")} << "beschadigd";
}
// clang-format on

void TestUserStore::unusableFileIsSetAside()
{
    QFETCH(QStringList, schema);
    QFETCH(QString, suffix);

    QDir().mkpath(dataDir());
    if (schema.isEmpty())
        writeGarbage();
    else if (schema == QStringList{QStringLiteral("directory")})
        QVERIFY(QDir().mkpath(userFile()));
    else if (schema == QStringList{QString()})
        QVERIFY(QFile(userFile()).open(QIODevice::WriteOnly));
    else
        execute(schema);

    UserStore store;
    QVERIFY(store.open(dataDir()));
    QVERIFY(store.addFilter(filter(QStringLiteral("new"))) > 0);
    QCOMPARE(names(store.filters()), QStringList{QStringLiteral("new")});
    const QStringList setAside = setAsideFiles();
    if (suffix.isEmpty()) {
        QCOMPARE(store.openMessage(), QString());
        QCOMPARE(setAside, QStringList());
        return;
    }
    QCOMPARE(setAside.size(), 1);
    QVERIFY2(setAside.first().startsWith(UserStore::fileName() + QLatin1Char('.') + suffix + QLatin1Char('-')),
             qPrintable(setAside.first()));
    QVERIFY(store.openMessage().contains(QDir::toNativeSeparators(userFile())));
    QVERIFY(store.openMessage().contains(setAside.first()));
    const QString asidePath = dataDir() + QLatin1Char('/') + setAside.first();
    if (schema.isEmpty())
        QCOMPARE(readAll(asidePath), garbage);
    if (schema.size() > 1) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("aside"));
        db.setDatabaseName(asidePath);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM future")) && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        query = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("aside"));
    }
}

// Files set aside within the same second keep names of their own.
void TestUserStore::setAsideFilesNeverReplaced()
{
    for (int round = 1; round <= 3; ++round) {
        QDir().mkpath(dataDir());
        writeGarbage();
        UserStore store;
        QVERIFY(store.open(dataDir()));
        QVERIFY(!store.openMessage().isEmpty());
        QCOMPARE(setAsideFiles().size(), round);
    }
    for (const QString &name : setAsideFiles())
        QCOMPARE(readAll(dataDir() + QLatin1Char('/') + name), garbage);
}

// clang-format off
void TestUserStore::failedWriteChangesNothing_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("refused"); // the trigger that makes SQLite refuse it

    QTest::newRow("add-filter") << "addFilter" << "BEFORE INSERT ON filters";
    QTest::newRow("update-filter") << "updateFilter" << "BEFORE UPDATE ON filters";
    QTest::newRow("remove-filter") << "removeFilter" << "BEFORE DELETE ON filters";
    // The first two rows have their new places when the third one fails.
    QTest::newRow("move-filter") << "moveFilter" << "BEFORE UPDATE ON filters WHEN NEW.position=2";
    QTest::newRow("mark-seen") << "markSeen" << "BEFORE UPDATE ON filters";
    QTest::newRow("reset-seen") << "resetSeen" << "BEFORE UPDATE ON filters WHEN NEW.name='c'";
    QTest::newRow("set-announced") << "setAnnounced" << "BEFORE UPDATE ON filters WHEN NEW.name='c'";
    QTest::newRow("hide-spotter") << "hideSpotter" << "BEFORE INSERT ON hiddenspotters";
    QTest::newRow("show-spotter") << "showSpotter" << "BEFORE DELETE ON hiddenspotters";
    QTest::newRow("mark") << "mark" << "BEFORE INSERT ON marks";
    // Marking a marked spot deletes its row and inserts the new one.
    QTest::newRow("mark-again") << "markAgain" << "AFTER INSERT ON marks";
    QTest::newRow("unmark") << "unmark" << "BEFORE DELETE ON marks";
}
// clang-format on

void TestUserStore::failedWriteChangesNothing()
{
    QFETCH(QString, write);
    QFETCH(QString, refused);

    UserStore store;
    QVERIFY(store.open(dataDir()));
    fill(store);
    QVERIFY(store.resetSeen());
    QVERIFY(store.markSeen(store.filters().constFirst().id, 7)); // some seen marks known, some not
    const Contents before(store);
    const qint64 first = before.filters.constFirst().id;
    SavedFilter renamedFirst = before.filters.constFirst();
    renamedFirst.name = QStringLiteral("z");
    const std::map<QString, std::function<bool()>> writes = {
        {QStringLiteral("addFilter"), [&] { return store.addFilter(filter(QStringLiteral("d"))) != 0; }},
        {QStringLiteral("updateFilter"), [&] { return store.updateFilter(renamedFirst); }},
        {QStringLiteral("removeFilter"), [&] { return store.removeFilter(first); }},
        {QStringLiteral("moveFilter"), [&] { return store.moveFilter(first, 2); }},
        {QStringLiteral("markSeen"), [&] { return store.markSeen(first, 9); }},
        {QStringLiteral("resetSeen"), [&] { return store.resetSeen(); }},
        {QStringLiteral("setAnnounced"),
         [&] {
             QList<QPair<qint64, int>> counts;
             for (const SavedFilter &filter : store.filters())
                 counts.append({filter.id, 7});
             return store.setAnnounced(counts);
         }},
        {QStringLiteral("hideSpotter"), [&] { return store.hideSpotter(QStringLiteral("z")); }},
        {QStringLiteral("showSpotter"), [&] { return store.showSpotter(QStringLiteral("x")); }},
        {QStringLiteral("mark"), [&] { return store.mark(marked("<m3@x>", 300)); }},
        {QStringLiteral("markAgain"), [&] { return store.mark(marked("<m1@x>", 300)); }},
        {QStringLiteral("unmark"), [&] { return store.unmark("<m1@x>"); }},
    };
    execute({QStringLiteral("CREATE TRIGGER refuse %1 BEGIN SELECT RAISE(ABORT,'refused'); END").arg(refused)});

    QVERIFY(!writes.at(write)());
    QVERIFY(Contents(store) == before);
    execute({QStringLiteral("DROP TRIGGER refuse")});
    QVERIFY(writes.at(write)());
    QVERIFY(!(Contents(store) == before));
}

TARNWICK_TEST_MAIN(TestUserStore)
#include "tst_userstore.moc"
