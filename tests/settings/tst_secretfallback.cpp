#include "secretfile.h"
#include "secretstore.h"
#include "settingsdialog.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSettings>

#include <sys/stat.h>

using Settings::Secret;

// SecretStore where no secret store answers: the test profile has no session bus.
class TestSecretFallback : public QObject
{
    Q_OBJECT

private:
    static constexpr QFile::Permissions ownerOnly
        = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    static QFile::Permissions fileMode() { return QFile::permissions(QSettings().fileName()); }

private Q_SLOTS:
    void initTestCase()
    {
        ::umask(022); // the usual one, which would leave a new file readable by all
    }

    void init() { QFile::remove(QSettings().fileName()); }

    void secretsStayInTheFileWhichBecomesPrivate()
    {
        {
            QSettings settings;
            settings.setValue(Settings::Key::pass, Settings::encodePassword(QStringLiteral(" g\u00e9heim ")));
            settings.setValue(Settings::Key::sabnzbdKey, QStringLiteral("0123abcd"));
        }
        QCOMPARE(fileMode() & QFile::ReadOther, QFile::ReadOther);

        SecretStore store;
        QElapsedTimer clock;
        clock.start();
        store.open(std::chrono::seconds(10));
        qInfo() << "no secret store found in" << clock.elapsed() << "ms";
        QVERIFY(clock.elapsed() < 5000); // told at once, not by the timeout
        QCOMPARE(store.place(), SecretStore::Place::SettingsFile);
        QCOMPARE(fileMode(), ownerOnly);
        QCOMPARE(store.read(Secret::NewsServerPassword), QStringLiteral(" g\u00e9heim "));
        QCOMPARE(store.read(Secret::SabnzbdKey), QStringLiteral("0123abcd"));
        QVERIFY(SecretFile::contains(Secret::NewsServerPassword));
    }

    void aNewSettingsFileIsPrivateFromTheStart()
    {
        SecretStore store;
        store.open(std::chrono::seconds(10));
        QCOMPARE(fileMode(), ownerOnly);
        store.write(Secret::NzbgetPassword, QStringLiteral("  nzb "));
        Settings::setLastHeader(5); // another rewrite of the file
        QCOMPARE(fileMode(), ownerOnly);
        QCOMPARE(QSettings().value(Settings::Key::nzbgetPass).toByteArray(), QByteArray("  nzb ").toBase64());
        QCOMPARE(SecretStore().read(Secret::NzbgetPassword), QStringLiteral("  nzb "));
    }

    void aSecretWrittenBeforeOpeningMakesTheFilePrivate()
    {
        SecretStore().write(Secret::SabnzbdKey, QStringLiteral("0123abcd"));
        QCOMPARE(fileMode(), ownerOnly);
        QCOMPARE(SecretFile::read(Secret::SabnzbdKey), QStringLiteral("0123abcd"));
    }

    void theDialogSaysWhereTheyAreKept()
    {
        SecretStore::instance().open(std::chrono::seconds(10));
        SettingsDialog dialog;
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("secretPlaceLabel"))->text(),
                 QStringLiteral("Wachtwoorden en de API-sleutel worden bewaard in het instellingenbestand "
                                "(alleen leesbaar voor u)."));
    }
};

TARNWICK_TEST_MAIN(TestSecretFallback)
#include "tst_secretfallback.moc"
