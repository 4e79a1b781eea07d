#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

// Lists the hidden spotters; the user picks the ones to show again. restored() holds them
// once the dialog is closed with "Sluiten".
class HiddenSpottersDialog : public QDialog
{
    Q_OBJECT

public:
    HiddenSpottersDialog(const QStringList &hidden, QWidget *parent);

    QStringList restored() const { return shownAgain; }

private:
    void restoreSelected();

    QListWidget *list;
    QStringList shownAgain;
};
