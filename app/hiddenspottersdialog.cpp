#include "hiddenspottersdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

HiddenSpottersDialog::HiddenSpottersDialog(const QStringList &hidden, QWidget *parent)
    : QDialog(parent)
    , list(new QListWidget(this))
{
    setWindowTitle(tr("Verborgen spotters"));
    list->addItems(hidden);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("De spots van deze spotters worden nergens getoond:"), this));
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *restore = buttons->addButton(tr("Weer tonen"), QDialogButtonBox::ActionRole);
    restore->setEnabled(false);
    connect(list, &QListWidget::itemSelectionChanged, restore,
            [this, restore] { restore->setEnabled(!list->selectedItems().isEmpty()); });
    connect(restore, &QPushButton::clicked, this, &HiddenSpottersDialog::restoreSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void HiddenSpottersDialog::restoreSelected()
{
    for (QListWidgetItem *item : list->selectedItems()) {
        shownAgain << item->text();
        delete item;
    }
}
