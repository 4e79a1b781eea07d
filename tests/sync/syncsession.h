#pragma once

#include "newsserver.h"
#include "settings.h"
#include "tarnwick.h"

#include <QDir>
#include <QSettings>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <utility>

// An overview line of a spot in free.pt: the category block and the date in the From address.
inline QByteArray spotLine(qint64 number, const QByteArray &subject, qint64 spotDate,
                           const QByteArray &block = "2101a01", QByteArray key = {})
{
    const QByteArray numberText = QByteArray::number(number);
    if (key.isEmpty())
        key = "spot" + numberText;
    return numberText + '\t' + subject + "\tJan Spotter <Xk9Z@" + block + ".a1.b2." + QByteArray::number(spotDate)
        + ".c3.d4>\tSun, 20 Feb 2011 10:00:00 +0100\t<" + key
        + "@free.pt>\t\t12345\t10\tXref: news.example free.pt:" + numberText;
}

// A References value that names the spot with this key.
inline QByteArray reference(const QByteArray &key)
{
    return '<' + key + "@free.pt>";
}

// A configured profile, the test news server and one controller that downloads from it,
// with everything the controller said recorded. Only one may exist at a time (the store's
// connection names are fixed); the destructor leaves the profile empty for the next one.
class SyncSession
{
public:
    static inline const QString cycleDone = QStringLiteral("Klaar met binnenhalen van lijst met reacties...");
    static inline const QString headersDone = QStringLiteral("Klaar met headeren...");

    SyncSession()
    {
        QVERIFY(server.start());
        configure({});
    }

    ~SyncSession()
    {
        controller.reset();
        QSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }

    // The settings of a program that has been set up for this server, without a password.
    void configure(const QVariantMap &changes)
    {
        QSettings settings;
        settings.clear();
        settings.setValue(Settings::Key::server, QStringLiteral("127.0.0.1"));
        settings.setValue(Settings::Key::port, server.port());
        settings.setValue(Settings::Key::maxSpots, 1000000);
        settings.setValue(Settings::Key::maxDays, 0);
        settings.setValue(Settings::Key::xzver, false);
        // The details run asks a HEAD of every spot: only its own tests turn it on.
        settings.setValue(Settings::Key::detailsFetch, false);
        for (auto change = changes.cbegin(); change != changes.cend(); ++change)
            settings.setValue(change.key(), change.value());
        settings.sync();
    }

    // The controller, with the delays of the cycle shortened; it does not connect yet.
    Tarnwick &create()
    {
        controller = std::make_unique<Tarnwick>();
        controller->setRefreshInterval(refreshMs);
        controller->setReconnectDelay(0);
        QObject::connect(controller.get(), &Tarnwick::notice, controller.get(),
                         [this](int, const QString &text) { notices += text; });
        QObject::connect(controller.get(), &Tarnwick::error, controller.get(),
                         [this](int, const QString &text) { errors += text; });
        return *controller;
    }

    Tarnwick &start()
    {
        create().connectToServer();
        return *controller;
    }

    // Waits until a notice starting with prefix has been given that many times; false on
    // time-out or as soon as an error comes.
    bool waitForNotice(const QString &prefix, int times = 1, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return noticesStartingWith(prefix).size() >= times || !errors.isEmpty(); },
                               timeoutMs)
            && errors.isEmpty();
    }

    bool waitForCycle(int times = 1) { return waitForNotice(cycleDone, times); }
    bool waitForHeaders(int times = 1) { return waitForNotice(headersDone, times); }

    bool waitForError(int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return !errors.isEmpty(); }, timeoutMs);
    }

    // Both groups span low to high; a spot and a comment on it every step articles and at
    // high. Returns the article numbers served.
    QList<qint64> serveSpots(qint64 low, qint64 high, qint64 step)
    {
        server.addGroup(Tarnwick::spotGroup, low, high);
        server.addGroup(Tarnwick::commentGroup, low, high);
        QList<qint64> numbers;
        for (qint64 number = (low + step - 1) / step * step; number < high; number += step)
            numbers += number;
        numbers += high;
        for (const qint64 number : numbers)
            addSpot(number);
        return numbers;
    }

    void addSpot(qint64 number)
    {
        const QByteArray key = "spot" + QByteArray::number(number);
        server.addOverview(Tarnwick::spotGroup, number,
                           spotLine(number, "Spot " + QByteArray::number(number) + " | tag", 1600000000 + number * 60));
        server.addReferences(Tarnwick::commentGroup, number, reference(key));
    }

    // The commands the server received that start with prefix.
    QList<QByteArray> commands(const QByteArray &prefix = {}) const
    {
        QList<QByteArray> found;
        for (const QByteArray &command : server.receivedCommands()) {
            if (command.startsWith(prefix))
                found += command;
        }
        return found;
    }

    QStringList noticesStartingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &text : notices) {
            if (text.startsWith(prefix))
                found += text;
        }
        return found;
    }

    // The errors nobody asked for; a test that provokes one takes it with takeErrors().
    QStringList takeErrors() { return std::exchange(errors, {}); }

    NewsServer server;
    std::unique_ptr<Tarnwick> controller;
    QStringList notices;
    int refreshMs = 50;

private:
    QStringList errors;
};

// One query on a connection of the store, run to the end: the values of every row.
inline QList<QVariantList> selectRows(const char *connection, const QString &sql, const QVariantList &values = {})
{
    QList<QVariantList> rows;
    QSqlQuery query(QSqlDatabase::database(QLatin1String(connection), false));
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return {{QStringLiteral("failed: %1").arg(sql)}};
    while (query.next()) {
        QVariantList row;
        for (int column = 0; column < query.record().count(); ++column)
            row += query.value(column);
        rows += row;
    }
    return rows;
}

inline qint64 countRows(const char *connection, const QString &sql)
{
    const QList<QVariantList> rows = selectRows(connection, sql);
    return rows.size() == 1 && rows.first().size() == 1 ? rows.first().first().toLongLong() : -1;
}

// A second connection to a database file of the store, as another program would have: it
// sees only what the controller has committed.
class Observer
{
public:
    explicit Observer(const QString &fileName)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/')
                           + fileName);
        db.open();
    }

    ~Observer() { QSqlDatabase::removeDatabase(name); }

    qint64 count(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
    }

    QList<QVariantList> rows(const QString &sql) const { return selectRows(connection, sql); }

    Q_DISABLE_COPY_MOVE(Observer)

private:
    static constexpr char connection[] = "observer";
    const QString name = QLatin1String(connection);
};

// Ends a test's session; an error() that the test did not take fails it.
inline void endSession(std::unique_ptr<SyncSession> &session)
{
    const QStringList errors = session->takeErrors();
    session.reset();
    QCOMPARE(errors, QStringList());
}
