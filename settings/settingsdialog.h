#pragma once

#include "settingsform.h"

#include <QDialog>

namespace Ui {
class SettingsDialog;
}

// The modal dialog in which the user enters the server, the account and the spot
// preferences. OK validates and writes every settings key; Cancel writes nothing.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

public Q_SLOTS:
    void accept() override;

private Q_SLOTS:
    void on_sslBox_clicked(bool checked);
    void on_imagesCheck_clicked(bool checked);

private:
    void fill(const SettingsForm &form);
    SettingsForm form() const;
    QWidget *widgetFor(SettingsForm::Field field) const;

    Ui::SettingsDialog *ui;
};
