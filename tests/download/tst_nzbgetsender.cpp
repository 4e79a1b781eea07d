#include "httptestbed.h"
#include "nzbgetdaemon.h"
#include "nzbsender.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>

#include <optional>

namespace {

std::unique_ptr<NzbSender> nzbget(quint16 port, const QString &name, const QString &pass, bool paused = false)
{
    Settings::NzbHandOff handOff;
    handOff.destination = Settings::NzbHandOff::Destination::NzbGet;
    handOff.nzbgetUrl = QStringLiteral("http://127.0.0.1:%1").arg(port);
    handOff.nzbgetUser = name;
    handOff.nzbgetPassword = pass;
    handOff.priority = Settings::NzbHandOff::Priority::High;
    handOff.addPaused = paused;
    return NzbSender::make(handOff);
}

} // namespace

// NzbGetSender against a real NZBGet (Debian package nzbget): a private server on a free
// loopback port, its directories in a temporary one, no news servers, so that it only queues.
class TestNzbGetSender : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void queues_data();
    void queues();
    void wrongCredentials_data();
    void wrongCredentials();

private:
    QJsonArray groups();

    std::optional<MessageLog> log;
    std::optional<NzbGetDaemon> nzbgetd;
    QString user;
    QString password;
    quint16 port = 0;
};

QJsonArray TestNzbGetSender::groups()
{
    return nzbgetd->call(QStringLiteral("listgroups"), {0}).toArray();
}

void TestNzbGetSender::initTestCase()
{
    log.emplace();
    if (!NzbGetDaemon::installed())
        QSKIP("NZBGet is not installed (Debian package nzbget); scripts/test installs it");
    nzbgetd.emplace();
    QString why;
    QVERIFY2(nzbgetd->start({}, &why), qPrintable(why));
    user = NzbGetDaemon::user;
    password = nzbgetd->password();
    port = nzbgetd->port();
    QVERIFY(groups().isEmpty());
}

void TestNzbGetSender::cleanupTestCase()
{
    nzbgetd.reset();
    log->verifyNeverSaid(password);
    log.reset();
}

void TestNzbGetSender::queues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QString>("nzbName");
    QTest::addColumn<QString>("status");

    QTest::newRow("with-category") << QStringLiteral("Tarnwick proef een") << QStringLiteral("Films") << false
                                   << QStringLiteral("Tarnwick proef een") << QStringLiteral("QUEUED");
    QTest::newRow("without-category-paused") << QStringLiteral("Tarnwick proef twee") << QString() << true
                                             << QStringLiteral("Tarnwick proef twee") << QStringLiteral("PAUSED");
    QTest::newRow("title-with-path-characters")
        << QStringLiteral("Tarnwick: proef/drie \u00e9") << QStringLiteral("Boeken") << false
        << QStringLiteral("Tarnwick_ proef_drie \u00e9") << QStringLiteral("QUEUED");
}

void TestNzbGetSender::queues()
{
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(bool, paused);
    QFETCH(QString, nzbName);
    const qsizetype before = groups().size();

    const auto sender = nzbget(port, user, password, paused);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    // Each row its own files: NZBGet sets an NZB it already has aside as a duplicate.
    const QByteArray messageId = QByteArray(QTest::currentDataTag()) + "@free.pt";
    sender->send({name, category, messageId, threeFileNzb(QTest::currentDataTag())});
    QVERIFY(sent.isEmpty() && failed.isEmpty());
    QVERIFY(sent.wait(15000));
    QCOMPARE(sent.first().value(0).toString(), QStringLiteral("NZB naar NZBGet gestuurd: ") + name);
    const QString jobId = sent.first().value(1).toString();
    QVERIFY(failed.isEmpty());

    const QJsonArray queued = groups();
    QCOMPARE(queued.size(), before + 1);
    QJsonObject group;
    for (const QJsonValue &entry : queued) {
        if (entry.toObject().value(QStringLiteral("NZBName")).toString() == nzbName)
            group = entry.toObject();
    }
    QVERIFY2(!group.isEmpty(), QJsonDocument(queued).toJson().constData());
    QCOMPARE(QString::number(group.value(QStringLiteral("NZBID")).toInt()), jobId);
    QCOMPARE(group.value(QStringLiteral("NZBFilename")).toString(), nzbName + QStringLiteral(".nzb"));
    QCOMPARE(group.value(QStringLiteral("FileCount")).toInt(), 3);
    QCOMPARE(group.value(QStringLiteral("Category")).toString(), category);
    QCOMPARE(group.value(QStringLiteral("MaxPriority")).toInt(), 50); // high
    QTEST(group.value(QStringLiteral("Status")).toString(), "status");
    QCOMPARE(group.value(QStringLiteral("DupeKey")).toString(),
             QStringLiteral("tarnwick:") + QString::fromLatin1(messageId));
    QCOMPARE(group.value(QStringLiteral("DupeMode")).toString(), QStringLiteral("SCORE"));
    const QJsonArray parameters = group.value(QStringLiteral("Parameters")).toArray();
    QVERIFY2(parameters.contains(QJsonObject{{QStringLiteral("Name"), QStringLiteral("TarnwickSpot")},
                                             {QStringLiteral("Value"), QString::fromLatin1(messageId)}}),
             QJsonDocument(parameters).toJson().constData());
}

void TestNzbGetSender::wrongCredentials_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pass");
    QTest::newRow("wrong-password") << user << QStringLiteral("fout");
    QTest::newRow("wrong-user") << QStringLiteral("iemand") << password;
    QTest::newRow("none") << QString() << QString();
}

void TestNzbGetSender::wrongCredentials()
{
    QFETCH(QString, name);
    QFETCH(QString, pass);
    const qsizetype before = groups().size();

    const auto sender = nzbget(port, name, pass);
    QSignalSpy sent(sender.get(), &NzbSender::sent);
    QSignalSpy failed(sender.get(), &NzbSender::failed);
    sender->send({QStringLiteral("Tarnwick geweigerd"), QString(), "geweigerd@free.pt", threeFileNzb()});
    QVERIFY(failed.wait(15000));
    QCOMPARE(failed.takeFirst().value(0).toString(),
             QStringLiteral("NZBGet weigert de gebruikersnaam of het wachtwoord"));
    QVERIFY(sent.isEmpty());
    QCOMPARE(groups().size(), before);
}

TARNWICK_TEST_MAIN(TestNzbGetSender)
#include "tst_nzbgetsender.moc"
