#include "messageboxes.h"
#include "privatesecretservice.h"
#include "secretfile.h"
#include "secretstore.h"
#include "settingsdialog.h"
#include "testmain.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

using Settings::Secret;

Q_DECLARE_METATYPE(Secret)

// SecretStore against a real Secret Service: a GNOME keyring on a bus of the test's own.
class TestSecretStore : public QObject
{
    Q_OBJECT

private:
    PrivateSecretService service;
    static constexpr std::chrono::milliseconds timeout{10000};

    static QFile::Permissions fileMode() { return QFile::permissions(QSettings().fileName()); }
    static constexpr QFile::Permissions ownerOnly
        = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

    // What the keyring holds for a settings key, asked of libsecret's own tool rather than of QtKeychain.
    static QByteArray inKeyring(Secret secret)
    {
        QProcess lookup;
        lookup.start(QStringLiteral("secret-tool"),
                     {QStringLiteral("lookup"), QStringLiteral("server"), QStringLiteral("Tarnwick"),
                      QStringLiteral("user"), SecretStore::entryName(secret)});
        lookup.waitForFinished();
        return lookup.readAllStandardOutput();
    }

    static SecretStore openedStore()
    {
        SecretStore store;
        store.open(timeout);
        return store;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("XDG_CURRENT_DESKTOP"); // QtKeychain would pick KWallet under KDE
        qunsetenv("DESKTOP_SESSION");
        qunsetenv("KDE_FULL_SESSION");
        const QString failure = service.start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        MessageBoxes::setInterceptor([](const MessageBoxes::Message &message) {
            qWarning() << "unexpected message:" << message.title << message.text;
            return false;
        });
    }

    void secretsMoveOutOfTheSettingsFile()
    {
        {
            QSettings settings;
            settings.setValue(Settings::Key::server, QStringLiteral("news.example"));
            settings.setValue(Settings::Key::pass, Settings::encodePassword(QStringLiteral(" g\u00e9heim ")));
            settings.setValue(Settings::Key::nzbgetPass, Settings::encodePassword(QStringLiteral("nzb")));
            settings.setValue(Settings::Key::sabnzbdKey, QStringLiteral("0123abcd"));
        }
        QFile::setPermissions(QSettings().fileName(), fileMode() | QFile::ReadOther | QFile::ReadGroup);

        const SecretStore store = openedStore();
        QCOMPARE(store.place(), SecretStore::Place::Keychain);
        QCOMPARE(store.read(Secret::NewsServerPassword), QStringLiteral(" g\u00e9heim "));
        QCOMPARE(store.read(Secret::SabnzbdKey), QStringLiteral("0123abcd"));
        const QSettings settings;
        QCOMPARE(settings.allKeys(), QStringList{QStringLiteral("server")});
        QCOMPARE(fileMode(), ownerOnly);
        QCOMPARE(inKeyring(Secret::NewsServerPassword), QStringLiteral(" g\u00e9heim ").toUtf8());
        QCOMPARE(inKeyring(Secret::NzbgetPassword), QByteArray("nzb"));

        // The next start finds them in the keyring only.
        QCOMPARE(openedStore().read(Secret::NzbgetPassword), QStringLiteral("nzb"));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void secretsRoundTripExactly_data()
    {
        QTest::addColumn<Secret>("secret");
        QTest::addColumn<QString>("value");
        QTest::newRow("beyond-latin1") << Secret::NewsServerPassword << QStringLiteral("wachtwoord \u2603 \u20ac");
        QTest::newRow("blanks-around") << Secret::NewsServerPassword << QStringLiteral("  geheim\t ");
        QTest::newRow("latin1") << Secret::NzbgetPassword << QStringLiteral("g\u00e9heim");
        QTest::newRow("key") << Secret::SabnzbdKey << QStringLiteral("0123abcd");
        QTest::newRow("emptied") << Secret::NewsServerPassword << QString();
    }
    // clang-format on

    void secretsRoundTripExactly()
    {
        QFETCH(Secret, secret);
        QFETCH(QString, value);
        SecretStore writer = openedStore();
        writer.write(secret, QStringLiteral("eerder"));
        writer.write(secret, value);
        QCOMPARE(writer.place(), SecretStore::Place::Keychain);
        QVERIFY(!SecretFile::contains(secret));
        QCOMPARE(openedStore().read(secret), value);
        QCOMPARE(inKeyring(secret), value.toUtf8());
    }

    void theDialogKeepsPasswordsInTheKeyring()
    {
        SecretStore::instance().open(timeout);
        const QString password = QStringLiteral("  g\u00e9heim ");
        {
            SettingsDialog dialog;
            QCOMPARE(
                dialog.findChild<QLabel *>(QStringLiteral("secretPlaceLabel"))->text(),
                QStringLiteral("Wachtwoorden en de API-sleutel worden bewaard in de sleutelbos van het bureaublad."));
            dialog.findChild<QLineEdit *>(QStringLiteral("serverEdit"))->setText(QStringLiteral("news.example"));
            dialog.findChild<QLineEdit *>(QStringLiteral("userEdit"))->setText(QStringLiteral("jan"));
            dialog.findChild<QLineEdit *>(QStringLiteral("passEdit"))->setText(password);
            dialog.findChild<QComboBox *>(QStringLiteral("nzbDestinationBox"))->setCurrentIndex(3);
            dialog.findChild<QLineEdit *>(QStringLiteral("sabnzbdUrlEdit"))
                ->setText(QStringLiteral("http://127.0.0.1:8080"));
            dialog.findChild<QLineEdit *>(QStringLiteral("sabnzbdKeyEdit"))->setText(QStringLiteral("feedc0de"));
            dialog.findChild<QLineEdit *>(QStringLiteral("nzbgetPassEdit"))->setText(QStringLiteral("nzb geheim "));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        const QSettings settings;
        for (const Secret secret : {Secret::NewsServerPassword, Secret::NzbgetPassword, Secret::SabnzbdKey})
            QVERIFY(!settings.contains(SecretFile::key(secret)));
        QCOMPARE(Settings::connection().password, password);
        QCOMPARE(Settings::nzbHandOff().sabnzbdKey, QStringLiteral("feedc0de"));
        QCOMPARE(inKeyring(Secret::NzbgetPassword), QByteArray("nzb geheim "));

        SettingsDialog reopened;
        QCOMPARE(reopened.findChild<QLineEdit *>(QStringLiteral("passEdit"))->text(), password);
    }

    void anotherProfileSharesNoSecrets()
    {
        openedStore().write(Secret::NewsServerPassword, QStringLiteral("van mij"));
        QTemporaryDir otherConfig;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, otherConfig.path());
        const SecretStore other = openedStore();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QFile::decodeName(qgetenv("XDG_CONFIG_HOME")));
        QCOMPARE(other.place(), SecretStore::Place::Keychain);
        QCOMPARE(other.read(Secret::NewsServerPassword), QString());
        QCOMPARE(openedStore().read(Secret::NewsServerPassword), QStringLiteral("van mij"));
    }

    void aKeyringThatAnswersTooLateLeavesTheSecretsInTheFile()
    {
        SecretFile::write(Secret::NewsServerPassword, QStringLiteral("laat"));
        service.pauseKeyring(true);
        SecretStore store;
        QElapsedTimer clock;
        clock.start();
        store.open(std::chrono::milliseconds(300));
        const qint64 waited = clock.elapsed();
        service.pauseKeyring(false);
        QVERIFY2(waited >= 300 && waited < 5000, qPrintable(QString::number(waited)));
        QCOMPARE(store.place(), SecretStore::Place::SettingsFile);
        QCOMPARE(store.read(Secret::NewsServerPassword), QStringLiteral("laat"));
        QVERIFY(SecretFile::contains(Secret::NewsServerPassword));

        // Nobody takes the late answer; the next start moves the secret.
        const SecretStore next = openedStore();
        QCOMPARE(next.place(), SecretStore::Place::Keychain);
        QCOMPARE(next.read(Secret::NewsServerPassword), QStringLiteral("laat"));
        QVERIFY(!SecretFile::contains(Secret::NewsServerPassword));
    }

    // Last: the keyring daemon ends here.
    void aSecretTheKeyringNoLongerTakesGoesToThePrivateFile()
    {
        SecretStore store = openedStore();
        QCOMPARE(store.place(), SecretStore::Place::Keychain);
        service.stopKeyring();
        store.write(Secret::NewsServerPassword, QStringLiteral(" nieuw "));
        QCOMPARE(store.place(), SecretStore::Place::SettingsFile);
        QCOMPARE(store.read(Secret::NewsServerPassword), QStringLiteral(" nieuw "));
        QCOMPARE(QSettings().value(Settings::Key::pass).toByteArray(), QByteArray(" nieuw ").toBase64());
        QCOMPARE(fileMode(), ownerOnly);

        const SecretStore next = openedStore();
        QCOMPARE(next.place(), SecretStore::Place::SettingsFile);
        QCOMPARE(next.read(Secret::NewsServerPassword), QStringLiteral(" nieuw "));
    }
};

TARNWICK_TEST_MAIN(TestSecretStore)
#include "tst_secretstore.moc"
