#pragma once

#include "nzbhandoffform.h"
#include "settingsform.h"

#include <QDialog>
#include <QMap>

class QLineEdit;

namespace Ui {
class SettingsDialog;
}

// The modal dialog in which the user enters the server, the account and the spot
// preferences, and where a spot's NZB goes. OK validates the form, then the "Downloaden"
// group, and writes every settings key only when both pass; Cancel writes nothing. A line
// above the buttons says where the passwords and the API key are kept (SecretStore).
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

public Q_SLOTS:
    void accept() override;

protected:
    // Asks for the downloader's watch folder; an empty answer keeps the typed one.
    // Tests answer here instead of the user.
    virtual QString chooseNzbFolder(const QString &start);

private Q_SLOTS:
    void on_sslBox_clicked(bool checked);
    void on_imagesCheck_clicked(bool checked);
    void on_nzbFolderButton_clicked();

private:
    void fill(const SettingsForm &form);
    SettingsForm form() const;
    QWidget *widgetFor(SettingsForm::Field field) const;

    void fill(const Settings::NzbHandOff &handOff);
    Settings::NzbHandOff nzbHandOff() const;
    QWidget *widgetFor(NzbHandOffForm::Field field) const;

    Ui::SettingsDialog *ui;
    // The downloader's category per main category code.
    QMap<int, QLineEdit *> categoryEdits;
};
