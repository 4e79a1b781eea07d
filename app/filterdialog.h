#pragma once

#include "savedfilter.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTreeWidget;

// Edits one saved filter: its name, search text, categories and sub-categories, maximum age,
// bounds of the size (MB), spotters to leave out and whether new spots in it are announced ("Melden"). Accepting
// needs a name, and categories all erotic or none: erotic spots are kept apart.
class FilterDialog : public QDialog
{
    Q_OBJECT

public:
    // searchHelp: the search box's syntax, shown on the search field.
    FilterDialog(const SavedFilter &filter, const QString &searchHelp, QWidget *parent);

    // The filter as the form holds it; id and seenSpotId as given.
    SavedFilter filter() const;

    void accept() override;

private:
    void buildCategories();

    SavedFilter edited;
    QLineEdit *name;
    QLineEdit *search;
    QTreeWidget *categories;
    QSpinBox *maxAge;
    QSpinBox *minSize;
    QSpinBox *maxSize;
    QPlainTextEdit *leftOut;
    QCheckBox *notify;
};
