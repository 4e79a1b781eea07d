#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "categoryscheme.h"
#include "databasesetuperror.h"
#include "messageboxes.h"
#include "settings.h"
#include "settingsdialog.h"
#include "spotsmodel.h"
#include "tarnwick.h"

#include <QCloseEvent>
#include <QHeaderView>

namespace {
constexpr int statusMessageMs = 300000;
// The "Erotiek" item is the seventh top-level item of the tree.
constexpr int eroticItemIndex = 6;
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    buildCategoryTree();

    try {
        controller = new Tarnwick(this);
    } catch (const DatabaseSetupError &failure) {
        onError(0, failure.message());
        throw;
    }
    connect(controller, &Tarnwick::error, this, &MainWindow::onError);
    connect(controller, &Tarnwick::notice, this, &MainWindow::onNotice);

    model = new SpotsModel(controller, this);
    ui->tableView->setModel(model);
    QHeaderView *header = ui->tableView->horizontalHeader();
    header->resizeSection(0, 120);
    header->resizeSection(1, 50);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    header->setStretchLastSection(false);

    if (!Settings::isConfigured()) {
        SettingsDialog dialog(this);
        dialog.exec();
    } else {
        restoreGeometry(Settings::geometry());
    }
    applyEroticaVisibility();
    model->setFilter(QByteArray(), CategoryScheme::newSpots, 0);
}

MainWindow::~MainWindow()
{
    // Everything that reads the spots connection goes before the controller closes it.
    delete model;
}

void MainWindow::buildCategoryTree()
{
    QTreeWidgetItem *topLevel = nullptr;
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (!entry.treeText)
            continue;
        auto *item = entry.topLevel ? new QTreeWidgetItem(ui->treeWidget) : new QTreeWidgetItem(topLevel);
        if (entry.topLevel)
            topLevel = item;
        item->setText(0, tr(entry.treeText));
        item->setData(0, Qt::UserRole, entry.code);
    }
    ui->treeWidget->expandAll();
}

void MainWindow::applyEroticaVisibility()
{
    ui->treeWidget->topLevelItem(eroticItemIndex)->setHidden(!Settings::showErotica());
}

void MainWindow::showStatus(const QString &text)
{
    ui->statusBar->showMessage(text, statusMessageMs);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Settings::setGeometry(saveGeometry());
    event->accept();
}

void MainWindow::on_actionAfsluiten_triggered()
{
    close();
}

void MainWindow::on_actionOver_Tarnwick_triggered()
{
    MessageBoxes::about(this, tr("Tarnwick v0.3"), tr("Gemaakt door Ferrin"));
}

void MainWindow::on_tabWidget_tabCloseRequested(int index)
{
    if (index == 0)
        showStatus(tr("Overzicht kan niet gesloten worden"));
}

void MainWindow::on_actionConfiguratie_triggered()
{
    SettingsDialog dialog;
    dialog.exec();
    applyEroticaVisibility();
}

void MainWindow::onError(int, const QString &msg)
{
    MessageBoxes::critical(this, tr("Error"), msg);
}

void MainWindow::onNotice(int, const QString &msg)
{
    showStatus(msg);
}
