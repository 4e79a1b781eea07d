#include "settingsdialog.h"
#include "ui_settingsdialog.h"

#include "messageboxes.h"
#include "secretstore.h"

#include <QDir>
#include <QFileDialog>

#include <iterator>

namespace {

using Destination = Settings::NzbHandOff::Destination;

// The destinations in the order of nzbDestinationBox's items and nzbStack's pages.
constexpr Destination destinations[]
    = {Destination::Save, Destination::Folder, Destination::NzbGet, Destination::Sabnzbd};

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDialog)
{
    ui->setupUi(this);
    if (const auto stored = SettingsForm::fromSettings())
        fill(*stored);
    fill(Settings::nzbHandOff());
    ui->secretPlaceLabel->setText(
        SecretStore::instance().place() == SecretStore::Place::Keychain
            ? tr("Wachtwoorden en de API-sleutel worden bewaard in de sleutelbos van het bureaublad.")
            : tr("Wachtwoorden en de API-sleutel worden bewaard in het instellingenbestand "
                 "(alleen leesbaar voor u)."));
}

SettingsDialog::~SettingsDialog()
{
    delete ui;
}

void SettingsDialog::fill(const SettingsForm &form)
{
    ui->serverEdit->setText(form.server);
    ui->userEdit->setText(form.user);
    // The nickname cannot be edited here: an empty stored one keeps the default,
    // or the dialog could never be accepted again.
    if (!form.nick.isEmpty())
        ui->nickEdit->setText(form.nick);
    ui->passEdit->setText(form.password);
    ui->portEdit->setText(form.port);
    ui->maxDays->setEditText(form.maxDays);
    ui->maxSpots->setEditText(form.maxSpots);
    if (form.images)
        ui->imagesCheck->setChecked(true);
    if (form.ssl)
        ui->sslBox->setChecked(true);
    if (form.xzver)
        ui->xzverBox->setChecked(true);
    ui->eroCheck->setChecked(form.ero);
    ui->notificationsCheck->setChecked(form.notifications);
    ui->detailsCheck->setChecked(form.detailsFetch);
    ui->detailsConnectionsBox->setValue(form.detailsConnections);
}

SettingsForm SettingsDialog::form() const
{
    SettingsForm form;
    form.server = ui->serverEdit->text();
    form.user = ui->userEdit->text();
    form.password = ui->passEdit->text();
    form.nick = ui->nickEdit->text();
    form.port = ui->portEdit->text();
    form.maxDays = ui->maxDays->currentText();
    form.maxSpots = ui->maxSpots->currentText();
    form.images = ui->imagesCheck->isChecked();
    form.ssl = ui->sslBox->isChecked();
    form.xzver = ui->xzverBox->isChecked();
    form.ero = ui->eroCheck->isChecked();
    form.notifications = ui->notificationsCheck->isChecked();
    form.detailsFetch = ui->detailsCheck->isChecked();
    form.detailsConnections = ui->detailsConnectionsBox->value();
    return form;
}

QWidget *SettingsDialog::widgetFor(SettingsForm::Field field) const
{
    switch (field) {
    case SettingsForm::Field::Server:
        return ui->serverEdit;
    case SettingsForm::Field::User:
        return ui->userEdit;
    case SettingsForm::Field::Password:
        return ui->passEdit;
    case SettingsForm::Field::Nick:
        return ui->nickEdit;
    case SettingsForm::Field::Port:
        return ui->portEdit;
    case SettingsForm::Field::MaxDays:
        return ui->maxDays;
    case SettingsForm::Field::MaxSpots:
        return ui->maxSpots;
    }
    return nullptr;
}

void SettingsDialog::fill(const Settings::NzbHandOff &handOff)
{
    for (int index = 0; index < int(std::size(destinations)); ++index) {
        if (destinations[index] == handOff.destination)
            ui->nzbDestinationBox->setCurrentIndex(index);
    }
    ui->nzbFolderEdit->setText(handOff.folder);
    ui->nzbgetUrlEdit->setText(handOff.nzbgetUrl);
    ui->nzbgetUserEdit->setText(handOff.nzbgetUser);
    ui->nzbgetPassEdit->setText(handOff.nzbgetPassword);
    ui->nzbgetCategoryCheck->setChecked(handOff.nzbgetCategory);
    ui->sabnzbdUrlEdit->setText(handOff.sabnzbdUrl);
    ui->sabnzbdKeyEdit->setText(handOff.sabnzbdKey);
}

Settings::NzbHandOff SettingsDialog::nzbHandOff() const
{
    Settings::NzbHandOff handOff;
    handOff.destination = destinations[ui->nzbDestinationBox->currentIndex()];
    handOff.folder = ui->nzbFolderEdit->text();
    handOff.nzbgetUrl = ui->nzbgetUrlEdit->text();
    handOff.nzbgetUser = ui->nzbgetUserEdit->text();
    handOff.nzbgetPassword = ui->nzbgetPassEdit->text();
    handOff.nzbgetCategory = ui->nzbgetCategoryCheck->isChecked();
    handOff.sabnzbdUrl = ui->sabnzbdUrlEdit->text();
    handOff.sabnzbdKey = ui->sabnzbdKeyEdit->text();
    return NzbHandOffForm::trimmed(handOff);
}

QWidget *SettingsDialog::widgetFor(NzbHandOffForm::Field field) const
{
    switch (field) {
    case NzbHandOffForm::Field::Folder:
        return ui->nzbFolderEdit;
    case NzbHandOffForm::Field::NzbgetUrl:
        return ui->nzbgetUrlEdit;
    case NzbHandOffForm::Field::NzbgetPassword:
        return ui->nzbgetPassEdit;
    case NzbHandOffForm::Field::SabnzbdUrl:
        return ui->sabnzbdUrlEdit;
    case NzbHandOffForm::Field::SabnzbdKey:
        return ui->sabnzbdKeyEdit;
    }
    return nullptr;
}

void SettingsDialog::accept()
{
    const SettingsForm entered = form();
    if (const auto problem = entered.problem()) {
        MessageBoxes::critical(this, problem->title, problem->text);
        widgetFor(problem->field)->setFocus();
        return;
    }
    const Settings::NzbHandOff handOff = nzbHandOff();
    if (const auto problem = NzbHandOffForm::problem(handOff)) {
        MessageBoxes::critical(this, problem->title, problem->text);
        widgetFor(problem->field)->setFocus();
        return;
    }
    entered.store();
    Settings::setNzbHandOff(handOff);
    QDialog::accept();
}

QString SettingsDialog::chooseNzbFolder(const QString &start)
{
    return QFileDialog::getExistingDirectory(this, tr("Map van de downloader"),
                                             start.isEmpty() ? QDir::homePath() : start);
}

void SettingsDialog::on_nzbFolderButton_clicked()
{
    const QString folder = chooseNzbFolder(ui->nzbFolderEdit->text().trimmed());
    if (!folder.isEmpty())
        ui->nzbFolderEdit->setText(QDir::toNativeSeparators(folder));
}

void SettingsDialog::on_sslBox_clicked(bool checked)
{
    if (checked)
        ui->portEdit->setText(QStringLiteral("443"));
    else if (ui->portEdit->text() == QLatin1String("443") || ui->portEdit->text() == QLatin1String("563"))
        ui->portEdit->setText(QStringLiteral("119"));
}

void SettingsDialog::on_imagesCheck_clicked(bool checked)
{
    if (checked)
        MessageBoxes::information(
            this, tr("Waarschuwing!"),
            tr("LET OP: het laden van plaatjes van externe websites, kan gevolgen voor uw "
               "privacy hebben. De webmaster kan dan zien welk IP-adres het plaatje binnenhaalt."));
}
