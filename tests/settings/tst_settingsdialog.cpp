#include "messageboxes.h"
#include "settings.h"
#include "settingsdialog.h"
#include "testmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

// Answers the folder question of the "Kies..." button instead of the user.
class FolderPickingDialog : public SettingsDialog
{
public:
    QString answer;

protected:
    QString chooseNzbFolder(const QString &) override { return answer; }
};

// Drives the settings dialog through its widgets, as a user would.
class TestSettingsDialog : public QObject
{
    Q_OBJECT

private:
    QList<MessageBoxes::Message> shown;
    QTemporaryDir downloads; // a writable watch folder, holding one file

    template<typename T>
    static T *field(SettingsDialog &dialog, const char *name)
    {
        auto *widget = dialog.findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }
    static void setText(SettingsDialog &dialog, const char *name, const QString &text)
    {
        field<QLineEdit>(dialog, name)->setText(text);
    }
    static void setCombo(SettingsDialog &dialog, const char *name, const QString &text)
    {
        field<QComboBox>(dialog, name)->setEditText(text);
    }
    static void click(SettingsDialog &dialog, const char *name)
    {
        QTest::mouseClick(field<QCheckBox>(dialog, name), Qt::LeftButton);
    }

    // Accepts a dialog with the given server and otherwise the first-run form.
    static void acceptWithServer(const QString &server)
    {
        SettingsDialog dialog;
        setText(dialog, "serverEdit", server);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(downloads.isValid());
        QFile file(downloads.filePath(QStringLiteral("spot.nzb")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void init()
    {
        QSettings().clear();
        shown.clear();
        MessageBoxes::setInterceptor([this](const MessageBoxes::Message &message) {
            shown.append(message);
            return false;
        });
    }

    void firstRunShowsDefaults()
    {
        SettingsDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Instellingen"));
        QCOMPARE(dialog.size(), QSize(417, 413));
        QCOMPARE(field<QLineEdit>(dialog, "portEdit")->text(), QStringLiteral("119"));
        QCOMPARE(field<QComboBox>(dialog, "maxSpots")->currentText(), QStringLiteral("100000"));
        QCOMPARE(field<QComboBox>(dialog, "maxDays")->currentText(), QStringLiteral("30"));
        QCOMPARE(field<QLineEdit>(dialog, "nickEdit")->text(), QStringLiteral("Anoniempje"));
        QVERIFY(!field<QLineEdit>(dialog, "nickEdit")->isEnabled());
        QVERIFY(field<QCheckBox>(dialog, "eroCheck")->isChecked());
        QVERIFY(!field<QCheckBox>(dialog, "sslBox")->isChecked());
        QVERIFY(!field<QCheckBox>(dialog, "imagesCheck")->isChecked());
        QVERIFY(field<QCheckBox>(dialog, "notificationsCheck")->isChecked());
        QVERIFY(Settings::notifications());
        QVERIFY(field<QCheckBox>(dialog, "detailsCheck")->isChecked());
        QCOMPARE(field<QSpinBox>(dialog, "detailsConnectionsBox")->value(), 1);
        QVERIFY(Settings::detailsFetch());
        QCOMPARE(Settings::detailsConnections(), 1);
        QCOMPARE(field<QLineEdit>(dialog, "passEdit")->echoMode(), QLineEdit::Password);
    }

    void acceptingWithOnlyAServerStoresEveryKey()
    {
        acceptWithServer(QStringLiteral("  news.example  "));
        QVERIFY(shown.isEmpty());
        const QSettings settings;
        QCOMPARE(settings.value(QStringLiteral("server")).toString(), QStringLiteral("news.example"));
        QCOMPARE(settings.value(QStringLiteral("user")).toByteArray(), QByteArray());
        QCOMPARE(settings.value(QStringLiteral("pass")).toByteArray(), QByteArray());
        QCOMPARE(settings.value(QStringLiteral("port")).toInt(), 119);
        QCOMPARE(settings.value(QStringLiteral("maxdays")).toInt(), 30);
        QCOMPARE(settings.value(QStringLiteral("maxspots")).toInt(), 100000);
        QCOMPARE(settings.value(QStringLiteral("nick")).toByteArray(), QByteArray("Anoniempje"));
        QCOMPARE(settings.value(QStringLiteral("images")).toBool(), false);
        QCOMPARE(settings.value(QStringLiteral("ssl")).toBool(), false);
        QCOMPARE(settings.value(QStringLiteral("xzver")).toBool(), false);
        QCOMPARE(settings.value(QStringLiteral("ero")).toBool(), true);
        QCOMPARE(settings.value(QStringLiteral("notifications")).toBool(), true);
        QCOMPARE(settings.value(QStringLiteral("detailsfetch")).toBool(), true);
        QCOMPARE(settings.value(QStringLiteral("detailsconnections")).toInt(), 1);
        QCOMPARE(settings.value(QStringLiteral("lastheader")).toLongLong(), 0);
        QVERIFY(Settings::isConfigured());
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void refusedFormsNameTheFieldAndWriteNothing_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("headers");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");

        const QString ok = QStringLiteral("news.example");
        const QString unsendable = SettingsForm::unsendablePasswordText();
        QTest::newRow("empty-server") << QStringLiteral("   ") << "" << "" << "Anoniempje" << "119" << "30" << "1000"
                                      << "Server?" << "Voer de server van uw Usenet provider in" << "serverEdit";
        QTest::newRow("password-without-user") << ok << " " << "geheim" << "Anoniempje" << "119" << "30" << "1000"
                                               << "Gebruikersnaam?" << "Voer een gebruikersnaam in." << "userEdit";
        QTest::newRow("blank-password-without-user") << ok << "" << "   " << "Anoniempje" << "119" << "30" << "1000"
                                                     << "Gebruikersnaam?" << "Voer een gebruikersnaam in." << "userEdit";
        QTest::newRow("password-beyond-latin1") << ok << "jan" << "wacht\u20acwoord" << "Anoniempje" << "119" << "30"
                                                << "1000" << "Wachtwoord?" << unsendable << "passEdit";
        QTest::newRow("password-with-control-character") << ok << "jan" << "wacht\twoord" << "Anoniempje" << "119"
                                                         << "30" << "1000" << "Wachtwoord?" << unsendable << "passEdit";
        QTest::newRow("empty-nick") << ok << "" << "" << "" << "119" << "30" << "1000"
                                    << "Nickname?" << "Vul je schuilnaam in!" << "";
        QTest::newRow("port-zero") << ok << "" << "" << "Anoniempje" << "0" << "30" << "1000"
                                   << "Poort?" << "Poort nummer ongeldig" << "portEdit";
        QTest::newRow("port-70000") << ok << "" << "" << "Anoniempje" << "70000" << "30" << "1000"
                                    << "Poort?" << "Poort nummer ongeldig" << "portEdit";
        QTest::newRow("port-letters") << ok << "" << "" << "Anoniempje" << "abc" << "30" << "1000"
                                      << "Poort?" << "Poort nummer ongeldig" << "portEdit";
        QTest::newRow("negative-days") << ok << "" << "" << "Anoniempje" << "119" << "-1" << "1000"
                                       << "Max. aantal dagen ongeldig" << "Mag niet negatief zijn" << "maxDays";
        QTest::newRow("zero-headers") << ok << "" << "" << "Anoniempje" << "119" << "30" << "0"
                                      << "Max. aantal spots ongeldig" << "Moet positief zijn" << "maxSpots";
        QTest::newRow("letters-as-headers") << ok << "" << "" << "Anoniempje" << "119" << "30" << "veel"
                                            << "Max. aantal spots ongeldig" << "Moet positief zijn" << "maxSpots";
        QTest::newRow("first-failure-wins") << "" << "" << "geheim" << "" << "0" << "-1" << "0"
                                            << "Server?" << "Voer de server van uw Usenet provider in" << "serverEdit";
    }
    // clang-format on

    void refusedFormsNameTheFieldAndWriteNothing()
    {
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, nick);
        QFETCH(QString, port);
        QFETCH(QString, days);
        QFETCH(QString, headers);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, focus);

        SettingsDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        setText(dialog, "serverEdit", server);
        setText(dialog, "userEdit", user);
        setText(dialog, "passEdit", password);
        setText(dialog, "nickEdit", nick);
        setText(dialog, "portEdit", port);
        setCombo(dialog, "maxDays", days);
        setCombo(dialog, "maxSpots", headers);
        dialog.accept();

        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::Critical);
        QCOMPARE(shown.first().title, title);
        QCOMPARE(shown.first().text, text);
        // The nickname field is disabled, so it cannot take the focus.
        if (!focus.isEmpty()) {
            QVERIFY(QApplication::focusWidget());
            QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        }
        QVERIFY(dialog.isVisible());
        QVERIFY(QSettings().allKeys().isEmpty());
    }

    void userWithoutPasswordIsAccepted()
    {
        SettingsDialog dialog;
        setText(dialog, "serverEdit", QStringLiteral("news.example"));
        setText(dialog, "userEdit", QStringLiteral(" jan "));
        dialog.accept();
        QVERIFY(shown.isEmpty());
        QCOMPARE(QSettings().value(QStringLiteral("user")).toByteArray(), QByteArray("jan"));
    }

    void lettersAsDaysAreStoredAsZero()
    {
        SettingsDialog dialog;
        setText(dialog, "serverEdit", QStringLiteral("news.example"));
        setCombo(dialog, "maxDays", QStringLiteral("altijd"));
        dialog.accept();
        QVERIFY(shown.isEmpty());
        QCOMPARE(QSettings().value(QStringLiteral("maxdays")).toInt(), 0);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void sslBoxSwitchesTheUsualPorts_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("afterChecking");
        QTest::addColumn<QString>("typedWhileChecked");
        QTest::addColumn<QString>("afterUnchecking");
        QTest::newRow("119-to-443-and-back") << "119" << "443" << "443" << "119";
        QTest::newRow("563-back-to-119") << "119" << "443" << "563" << "119";
        QTest::newRow("8119-untouched") << "119" << "443" << "8119" << "8119";
    }
    // clang-format on

    void sslBoxSwitchesTheUsualPorts()
    {
        QFETCH(QString, before);
        QFETCH(QString, afterChecking);
        QFETCH(QString, typedWhileChecked);
        QFETCH(QString, afterUnchecking);
        SettingsDialog dialog;
        auto *port = field<QLineEdit>(dialog, "portEdit");
        port->setText(before);
        click(dialog, "sslBox");
        QCOMPARE(port->text(), afterChecking);
        port->setText(typedWhileChecked);
        click(dialog, "sslBox");
        QCOMPARE(port->text(), afterUnchecking);
    }

    void checkingImagesWarnsAboutPrivacy()
    {
        SettingsDialog dialog;
        click(dialog, "imagesCheck");
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::Information);
        QCOMPARE(shown.first().title, QStringLiteral("Waarschuwing!"));
        QVERIFY(shown.first().text.startsWith(QStringLiteral("LET OP: het laden van plaatjes")));
        click(dialog, "imagesCheck");
        QCOMPARE(shown.size(), 1);
    }

    void reopeningShowsTheStoredValues()
    {
        {
            SettingsDialog dialog;
            setText(dialog, "serverEdit", QStringLiteral("news.example"));
            setText(dialog, "userEdit", QStringLiteral("jan"));
            setText(dialog, "passEdit", QStringLiteral("g\u00e9heim"));
            click(dialog, "sslBox");
            click(dialog, "eroCheck");
            click(dialog, "xzverBox");
            click(dialog, "notificationsCheck");
            field<QSpinBox>(dialog, "detailsConnectionsBox")->setValue(3);
            click(dialog, "detailsCheck");
            QVERIFY(!field<QSpinBox>(dialog, "detailsConnectionsBox")->isEnabled());
            setCombo(dialog, "maxDays", QStringLiteral("365"));
            setCombo(dialog, "maxSpots", QStringLiteral("1234"));
            dialog.accept();
        }
        QCOMPARE(QSettings().value(QStringLiteral("pass")).toByteArray(), QByteArray("Z+loZWlt"));

        SettingsDialog dialog;
        QCOMPARE(field<QLineEdit>(dialog, "serverEdit")->text(), QStringLiteral("news.example"));
        QCOMPARE(field<QLineEdit>(dialog, "userEdit")->text(), QStringLiteral("jan"));
        QCOMPARE(field<QLineEdit>(dialog, "passEdit")->text(), QStringLiteral("g\u00e9heim"));
        QCOMPARE(field<QLineEdit>(dialog, "portEdit")->text(), QStringLiteral("443"));
        QCOMPARE(field<QComboBox>(dialog, "maxDays")->currentText(), QStringLiteral("365"));
        QCOMPARE(field<QComboBox>(dialog, "maxSpots")->currentText(), QStringLiteral("1234"));
        QVERIFY(field<QCheckBox>(dialog, "sslBox")->isChecked());
        QVERIFY(field<QCheckBox>(dialog, "xzverBox")->isChecked());
        QVERIFY(!field<QCheckBox>(dialog, "eroCheck")->isChecked());
        QVERIFY(!field<QCheckBox>(dialog, "imagesCheck")->isChecked());
        QVERIFY(!field<QCheckBox>(dialog, "notificationsCheck")->isChecked());
        QVERIFY(!Settings::notifications());
        QVERIFY(!field<QCheckBox>(dialog, "detailsCheck")->isChecked());
        QCOMPARE(field<QSpinBox>(dialog, "detailsConnectionsBox")->value(), 3);
        QVERIFY(!Settings::detailsFetch());
        QCOMPARE(Settings::detailsConnections(), 3);
        QVERIFY(shown.isEmpty());

        const Settings::Connection connection = Settings::connection();
        QCOMPARE(connection.password, QStringLiteral("g\u00e9heim"));
        QCOMPARE(connection.port, 443);
        QVERIFY(connection.ssl && connection.xzver);
    }

    // Blanks are part of a password; a password the file could not keep exactly is refused above.
    void passwordsAreKeptExactlyAsTyped()
    {
        const QString password = QStringLiteral("  g\u00e9 heim\u00a0 ");
        {
            SettingsDialog dialog;
            setText(dialog, "serverEdit", QStringLiteral("news.example"));
            setText(dialog, "userEdit", QStringLiteral("jan"));
            setText(dialog, "passEdit", password);
            setText(dialog, "nzbgetPassEdit", password);
            dialog.accept();
            QVERIFY(shown.isEmpty());
        }
        QCOMPARE(QSettings().value(QStringLiteral("pass")).toByteArray(), password.toLatin1().toBase64());
        QCOMPARE(Settings::connection().password, password);
        QCOMPARE(Settings::nzbHandOff().nzbgetPassword, password);
        SettingsDialog dialog;
        QCOMPARE(field<QLineEdit>(dialog, "passEdit")->text(), password);
    }

    // Whatever the chosen destination: the password is stored all the same.
    void anNzbgetPasswordBeyondLatin1IsRefused()
    {
        SettingsDialog dialog;
        setText(dialog, "serverEdit", QStringLiteral("news.example"));
        setText(dialog, "nzbgetPassEdit", QStringLiteral("\u0433\u0435\u0445\u0430\u0439\u043c"));
        dialog.accept();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, QStringLiteral("NZBGet-wachtwoord?"));
        QCOMPARE(shown.first().text, SettingsForm::unsendablePasswordText());
        QVERIFY(QSettings().allKeys().isEmpty());
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void printableLatin1_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("printable");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("ascii-with-blanks") << QStringLiteral(" a~Z0 ") << true;
        QTest::newRow("accents-and-no-break-space") << QStringLiteral("\u00e9\u00a0\u00ff") << true;
        QTest::newRow("euro") << QStringLiteral("\u20ac") << false;
        QTest::newRow("cyrillic") << QStringLiteral("\u0433") << false;
        QTest::newRow("newline") << QStringLiteral("a\nb") << false;
        QTest::newRow("delete") << QStringLiteral("\u007f") << false;
        QTest::newRow("c1-control") << QStringLiteral("\u0085") << false;
    }
    // clang-format on

    void printableLatin1()
    {
        QFETCH(QString, password);
        QFETCH(bool, printable);
        QCOMPARE(Settings::isPrintableLatin1(password), printable);
    }

    void anEmptyStoredNicknameDoesNotLockTheDialog()
    {
        acceptWithServer(QStringLiteral("news.example"));
        QSettings().setValue(QStringLiteral("nick"), QByteArray());
        SettingsDialog dialog;
        QCOMPARE(field<QLineEdit>(dialog, "nickEdit")->text(), QStringLiteral("Anoniempje"));
        dialog.accept();
        QVERIFY(shown.isEmpty());
    }

    void cancelWritesNothing()
    {
        SettingsDialog dialog;
        setText(dialog, "serverEdit", QStringLiteral("news.example"));
        dialog.reject();
        QVERIFY(QSettings().allKeys().isEmpty());
    }

    void onlyANewServerResetsTheDownloadPositions()
    {
        acceptWithServer(QStringLiteral("news.example"));
        Settings::setLastHeader(5000);
        Settings::setLastCommentsHeader(7000);

        {
            SettingsDialog dialog;
            setText(dialog, "portEdit", QStringLiteral("8119"));
            setText(dialog, "userEdit", QStringLiteral("jan"));
            setText(dialog, "passEdit", QStringLiteral("geheim"));
            dialog.accept();
        }
        QCOMPARE(Settings::lastHeader(), 5000);
        QCOMPARE(Settings::lastCommentsHeader(), 7000);

        acceptWithServer(QStringLiteral("other.example"));
        QCOMPARE(Settings::lastHeader(), 0);
        QCOMPARE(Settings::lastCommentsHeader(), 0);
    }

    // Destination indexes: 0 save, 1 folder, 2 NZBGet, 3 SABnzbd.
    // The rows stay as laid out, one case a row.
    // clang-format off
    void refusedDownloadFormsNameTheFieldAndWriteNothing_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("nzbgetUrl");
        QTest::addColumn<QString>("sabnzbdUrl");
        QTest::addColumn<QString>("sabnzbdKey");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");

        const QString ok = QStringLiteral("news.example");
        const QString folder = QStringLiteral("Kies een bestaande map waarin geschreven kan worden");
        const QString nzbget = QStringLiteral("Vul het adres van NZBGet in, bijvoorbeeld http://127.0.0.1:6789");
        const QString sabnzbd = QStringLiteral("Vul het adres van SABnzbd in, bijvoorbeeld http://127.0.0.1:8080");
        const auto row = [&](const char *name, int destination, const QString &folderPath, const char *nzbgetUrl,
                             const char *sabnzbdUrl, const char *key, const char *title, const QString &text,
                             const char *focus, const QString &server) {
            QTest::newRow(name) << server << destination << folderPath << nzbgetUrl << sabnzbdUrl << key << title
                                << text << focus;
        };
        row("folder-empty", 1, QString(), "", "", "", "Map?", folder, "nzbFolderEdit", ok);
        row("folder-missing", 1, downloads.filePath(QStringLiteral("weg")), "", "", "", "Map?", folder,
            "nzbFolderEdit", ok);
        row("folder-is-a-file", 1, downloads.filePath(QStringLiteral("spot.nzb")), "", "", "", "Map?", folder,
            "nzbFolderEdit", ok);
        row("folder-relative", 1, QStringLiteral("."), "", "", "", "Map?", folder, "nzbFolderEdit", ok);
        row("nzbget-empty", 2, QString(), " ", "", "", "NZBGet?", nzbget, "nzbgetUrlEdit", ok);
        row("nzbget-without-scheme", 2, QString(), "127.0.0.1:6789", "", "", "NZBGet?", nzbget, "nzbgetUrlEdit", ok);
        row("nzbget-ftp", 2, QString(), "ftp://127.0.0.1:6789", "", "", "NZBGet?", nzbget, "nzbgetUrlEdit", ok);
        row("nzbget-without-host", 2, QString(), "http://", "", "", "NZBGet?", nzbget, "nzbgetUrlEdit", ok);
        row("nzbget-port-too-big", 2, QString(), "http://127.0.0.1:99999", "", "", "NZBGet?", nzbget,
            "nzbgetUrlEdit", ok);
        row("sabnzbd-without-scheme", 3, QString(), "", "localhost:8080", "abc", "SABnzbd?", sabnzbd,
            "sabnzbdUrlEdit", ok);
        row("sabnzbd-address-before-key", 3, QString(), "", "", "", "SABnzbd?", sabnzbd, "sabnzbdUrlEdit", ok);
        row("sabnzbd-empty-key", 3, QString(), "", "http://127.0.0.1:8080", "  ", "API-sleutel?",
            QStringLiteral("Vul de API-sleutel van SABnzbd in"), "sabnzbdKeyEdit", ok);
        row("server-form-first", 2, QString(), "", "", "", "Server?",
            QStringLiteral("Voer de server van uw Usenet provider in"), "serverEdit", QString());
    }
    // clang-format on

    void refusedDownloadFormsNameTheFieldAndWriteNothing()
    {
        QFETCH(QString, server);
        QFETCH(int, destination);
        QFETCH(QString, folder);
        QFETCH(QString, nzbgetUrl);
        QFETCH(QString, sabnzbdUrl);
        QFETCH(QString, sabnzbdKey);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, focus);

        SettingsDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        setText(dialog, "serverEdit", server);
        field<QComboBox>(dialog, "nzbDestinationBox")->setCurrentIndex(destination);
        setText(dialog, "nzbFolderEdit", folder);
        setText(dialog, "nzbgetUrlEdit", nzbgetUrl);
        setText(dialog, "sabnzbdUrlEdit", sabnzbdUrl);
        setText(dialog, "sabnzbdKeyEdit", sabnzbdKey);
        dialog.accept();

        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBoxes::Kind::Critical);
        QCOMPARE(shown.first().title, title);
        QCOMPARE(shown.first().text, text);
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(dialog.isVisible());
        QVERIFY(QSettings().allKeys().isEmpty());
    }

    // Only the chosen destination is checked: the save row keeps broken fields of the others.
    // The rows stay as laid out, one case a row.
    // clang-format off
    void eachDestinationIsStoredAndShownAgain_data()
    {
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("nzbgetUrl");
        QTest::addColumn<QString>("sabnzbdUrl");
        QTest::addColumn<QString>("sabnzbdKey");
        QTest::newRow("save") << 0 << "/bestaat/niet" << "geen adres" << "" << "";
        QTest::newRow("folder") << 1 << downloads.path() << "" << "" << "";
        QTest::newRow("nzbget") << 2 << "" << " http://127.0.0.1:6789 " << "" << "";
        QTest::newRow("sabnzbd") << 3 << "" << "" << " https://sab.example:9090/sabnzbd " << " 0123abcd ";
    }
    // clang-format on

    void eachDestinationIsStoredAndShownAgain()
    {
        QFETCH(int, destination);
        QFETCH(QString, folder);
        QFETCH(QString, nzbgetUrl);
        QFETCH(QString, sabnzbdUrl);
        QFETCH(QString, sabnzbdKey);
        const QString password = QStringLiteral("g\u00e9heim");
        {
            FolderPickingDialog dialog;
            setText(dialog, "serverEdit", QStringLiteral("news.example"));
            field<QComboBox>(dialog, "nzbDestinationBox")->setCurrentIndex(destination);
            dialog.answer = folder; // empty: the user cancelled and the field stays empty
            field<QPushButton>(dialog, "nzbFolderButton")->click();
            setText(dialog, "nzbgetUrlEdit", nzbgetUrl);
            setText(dialog, "nzbgetUserEdit", QStringLiteral(" jan "));
            setText(dialog, "nzbgetPassEdit", password);
            click(dialog, "nzbgetCategoryCheck");
            setText(dialog, "sabnzbdUrlEdit", sabnzbdUrl);
            setText(dialog, "sabnzbdKeyEdit", sabnzbdKey);
            dialog.accept();
            QVERIFY(shown.isEmpty());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        const Settings::NzbHandOff stored = Settings::nzbHandOff();
        QCOMPARE(int(stored.destination), destination);
        QCOMPARE(stored.folder, folder);
        QCOMPARE(stored.nzbgetUrl, nzbgetUrl.trimmed());
        QCOMPARE(stored.nzbgetUser, QStringLiteral("jan"));
        QCOMPARE(stored.nzbgetPassword, password);
        QCOMPARE(QSettings().value(QStringLiteral("nzbgetpass")).toByteArray(), QByteArray("Z+loZWlt"));
        QVERIFY(stored.nzbgetCategory);
        QCOMPARE(stored.sabnzbdUrl, sabnzbdUrl.trimmed());
        QCOMPARE(stored.sabnzbdKey, sabnzbdKey.trimmed());

        SettingsDialog dialog;
        QCOMPARE(field<QComboBox>(dialog, "nzbDestinationBox")->currentIndex(), destination);
        const char *pages[] = {"nzbSavePage", "nzbFolderPage", "nzbgetPage", "sabnzbdPage"};
        for (int page = 0; page < 4; ++page)
            QCOMPARE(field<QWidget>(dialog, pages[page])->isVisibleTo(&dialog), page == destination);
        QCOMPARE(field<QLineEdit>(dialog, "nzbFolderEdit")->text(), folder);
        QCOMPARE(field<QLineEdit>(dialog, "nzbgetUrlEdit")->text(), nzbgetUrl.trimmed());
        QCOMPARE(field<QLineEdit>(dialog, "nzbgetUserEdit")->text(), QStringLiteral("jan"));
        QCOMPARE(field<QLineEdit>(dialog, "nzbgetPassEdit")->text(), password);
        QVERIFY(field<QCheckBox>(dialog, "nzbgetCategoryCheck")->isChecked());
        QCOMPARE(field<QLineEdit>(dialog, "sabnzbdUrlEdit")->text(), sabnzbdUrl.trimmed());
        QCOMPARE(field<QLineEdit>(dialog, "sabnzbdKeyEdit")->text(), sabnzbdKey.trimmed());
        QCOMPARE(field<QLineEdit>(dialog, "nzbgetPassEdit")->echoMode(), QLineEdit::Password);
        QCOMPARE(field<QLineEdit>(dialog, "sabnzbdKeyEdit")->echoMode(), QLineEdit::Password);
        QCOMPARE(field<QLineEdit>(dialog, "nzbgetUrlEdit")->placeholderText(), QStringLiteral("http://127.0.0.1:6789"));
        QCOMPARE(field<QLineEdit>(dialog, "sabnzbdUrlEdit")->placeholderText(),
                 QStringLiteral("http://127.0.0.1:8080"));
    }
};

TARNWICK_TEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
