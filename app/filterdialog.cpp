#include "filterdialog.h"

#include "categoryscheme.h"
#include "messageboxes.h"
#include "settings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTreeWidget>

#include <algorithm>

FilterDialog::FilterDialog(const SavedFilter &filter, const QString &searchHelp, QWidget *parent)
    : QDialog(parent)
    , edited(filter)
    , name(new QLineEdit(filter.name, this))
    , search(new QLineEdit(filter.search, this))
    , categories(new QTreeWidget(this))
    , maxAge(new QSpinBox(this))
    , minSize(new QSpinBox(this))
    , maxSize(new QSpinBox(this))
    , leftOut(new QPlainTextEdit(filter.leftOutSpotters.join(QLatin1Char('\n')), this))
    , notify(new QCheckBox(tr("Melden wanneer er nieuwe spots in dit filter zijn"), this))
{
    setWindowTitle(tr("Filter"));
    search->setToolTip(searchHelp);
    categories->setHeaderHidden(true);
    buildCategories();
    maxAge->setRange(0, 36500);
    maxAge->setSpecialValueText(tr("geen"));
    maxAge->setSuffix(tr(" dagen"));
    maxAge->setValue(filter.maxAgeDays);
    for (const auto &[box, megabytes] : {std::pair{minSize, filter.minSizeMb}, {maxSize, filter.maxSizeMb}}) {
        box->setRange(0, 100000000);
        box->setSpecialValueText(tr("geen"));
        box->setSuffix(tr(" MB"));
        box->setValue(int(std::min<qint64>(megabytes, box->maximum())));
        box->setToolTip(tr("Spots waarvan de grootte nog niet bekend is, vallen buiten een grens"));
    }
    leftOut->setToolTip(tr("Eén spotter per regel"));
    notify->setChecked(filter.notify);

    auto *form = new QFormLayout(this);
    form->addRow(tr("Naam:"), name);
    form->addRow(tr("Zoektekst:"), search);
    form->addRow(tr("Categorieën (geen: alle):"), categories);
    form->addRow(tr("Maximale leeftijd:"), maxAge);
    form->addRow(tr("Minimale grootte:"), minSize);
    form->addRow(tr("Maximale grootte:"), maxSize);
    form->addRow(tr("Spotters weglaten:"), leftOut);
    form->addRow(notify);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FilterDialog::reject);
    form->addRow(buttons);
}

void FilterDialog::buildCategories()
{
    // "Erotiek" with all its items, or not at all: where erotica are hidden, only for a filter of them.
    const bool showsErotica = Settings::showErotica()
        || std::any_of(edited.categories.begin(), edited.categories.end(), CategoryScheme::isEroticTreeCode);
    QTreeWidgetItem *topLevel = nullptr;
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        // Only real categories: not "Nieuw" or "Alles".
        if (!entry.treeText || entry.code <= CategoryScheme::allSpots)
            continue;
        if (CategoryScheme::isEroticTreeCode(entry.code) && !showsErotica)
            continue;
        auto *item = entry.topLevel || !topLevel ? new QTreeWidgetItem(categories) : new QTreeWidgetItem(topLevel);
        if (entry.topLevel)
            topLevel = item;
        item->setText(0, QCoreApplication::translate("MainWindow", entry.treeText));
        item->setData(0, Qt::UserRole, entry.code);
        item->setCheckState(0, edited.categories.contains(entry.code) ? Qt::Checked : Qt::Unchecked);
    }
}

SavedFilter FilterDialog::filter() const
{
    SavedFilter result = edited;
    result.name = name->text().trimmed();
    result.search = search->text().trimmed();
    result.categories.clear();
    for (QTreeWidgetItemIterator it(categories, QTreeWidgetItemIterator::Checked); *it; ++it)
        result.categories << (*it)->data(0, Qt::UserRole).toInt();
    result.maxAgeDays = maxAge->value();
    result.minSizeMb = minSize->value();
    result.maxSizeMb = maxSize->value();
    result.leftOutSpotters.clear();
    for (const QString &line : leftOut->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            result.leftOutSpotters << line.trimmed();
    }
    result.notify = notify->isChecked();
    return result;
}

void FilterDialog::accept()
{
    const SavedFilter chosen = filter();
    if (chosen.name.isEmpty()) {
        MessageBoxes::information(this, tr("Filter"), tr("Geef het filter een naam."));
        return;
    }
    const auto erotic
        = std::count_if(chosen.categories.begin(), chosen.categories.end(), CategoryScheme::isEroticTreeCode);
    if (chosen.minSizeMb > 0 && chosen.maxSizeMb > 0 && chosen.minSizeMb > chosen.maxSizeMb) {
        MessageBoxes::information(this, tr("Filter"), tr("De minimale grootte is groter dan de maximale."));
        return;
    }
    if (erotic > 0 && erotic < chosen.categories.size()) {
        MessageBoxes::information(this, tr("Filter"), tr("Erotiek en andere categorieën kunnen niet in één filter."));
        return;
    }
    QDialog::accept();
}
