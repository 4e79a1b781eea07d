#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "categoryscheme.h"
#include "databasesetuperror.h"
#include "messageboxes.h"
#include "settings.h"
#include "settingsdialog.h"
#include "spotsmodel.h"
#include "spotpage.h"
#include "spotrow.h"
#include "spotview.h"
#include "tarnwick.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>

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
    headerProgress = new QProgressBar(this);
    headerProgress->setRange(0, 100);
    headerProgress->setMaximumWidth(200);
    headerProgress->hide();
    ui->statusBar->addPermanentWidget(headerProgress);
    connect(controller, &Tarnwick::headerProgress, this, &MainWindow::onHeaderProgress);
    connect(controller, &Tarnwick::headerDownloadStopped, headerProgress, &QWidget::hide);

    model = new SpotsModel(controller, this);
    ui->tableView->setModel(model);
    QHeaderView *header = ui->tableView->horizontalHeader();
    header->resizeSection(SpotsModel::DateColumn, 120);
    header->resizeSection(SpotsModel::CategoryColumn, 50);
    header->setSectionResizeMode(SpotsModel::TitleColumn, QHeaderView::Stretch);
    header->setStretchLastSection(false);

    if (!Settings::isConfigured()) {
        SettingsDialog dialog(this);
        dialog.exec();
    } else {
        restoreGeometry(Settings::geometry());
    }
    controller->connectToServer();
    // Once the window is up, so that the first spot opened is quick.
    QTimer::singleShot(0, this, [this] { SpotView::startWebEngine(this); });
    applyEroticaVisibility();
    model->setFilter(QByteArray(), CategoryScheme::newSpots, 0);
}

MainWindow::~MainWindow()
{
    // Everything that reads the spots connection goes before the controller closes it, and
    // the controller goes while this window can still take its last signals.
    delete model;
    delete controller;
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

// Ctrl+W, as in a browser: the spot tab in front.
void MainWindow::on_actionTabblad_sluiten_triggered()
{
    on_tabWidget_tabCloseRequested(ui->tabWidget->currentIndex());
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
    if (index == 0) {
        showStatus(tr("Overzicht kan niet gesloten worden"));
        return;
    }
    for (SpotView *spot : std::as_const(spotTabs)) {
        if (spot->tabIndex() != index)
            continue;
        ui->tabWidget->removeTab(index);
        spotTabs.remove(spotTabs.key(spot));
        spot->deleteLater();
        return;
    }
}

void MainWindow::on_tableView_clicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const int spotId = index.data(SpotsModel::SpotIdRole).toInt();
    if (spotTabs.contains(spotId))
        return;
    const QString title = index.siblingAtColumn(SpotsModel::TitleColumn).data().toString();
    auto *spot = new SpotView(controller, ui->tabWidget, spotId, title, this);
    spotTabs.insert(spotId, spot);
    connect(spot, &SpotView::nzbRequested, this,
            [this, spotId, title](NzbHandOffJob::Mode mode) { handOffNzb(spotId, title, mode); });
}

void MainWindow::on_tableView_customContextMenuRequested(const QPoint &pos)
{
    const QModelIndex index = ui->tableView->indexAt(pos);
    if (!index.isValid())
        return;
    const int spotId = index.data(SpotsModel::SpotIdRole).toInt();
    const QString title = index.siblingAtColumn(SpotsModel::TitleColumn).data().toString();
    QMenu menu(this);
    menu.addAction(tr("NZB opslaan"), this, [=] { handOffNzb(spotId, title, NzbHandOffJob::Mode::Save); });
    menu.addAction(tr("Downloaden"), this, [=] { handOffNzb(spotId, title, NzbHandOffJob::Mode::Download); });
    menu.exec(ui->tableView->viewport()->mapToGlobal(pos));
}

void MainWindow::handOffNzb(int spotId, const QString &title, NzbHandOffJob::Mode mode)
{
    const std::optional<SpotRow> spot = controller->findSpot(spotId);
    if (!spot)
        return;
    auto *job = new NzbHandOffJob(controller, SpotPage::articleIdOf(spot->messageId), title,
                                  CategoryScheme::categoryName(spot->category), mode, this);
    connect(job, &NzbHandOffJob::status, this, &MainWindow::showStatus);
    connect(job, &NzbHandOffJob::failed, this, [this](const QString &reason) {
        ui->statusBar->clearMessage(); // the progress it showed is over
        MessageBoxes::critical(this, tr("NZB"), reason);
    });
    job->start();
}

void MainWindow::on_tableView_doubleClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (SpotView *spot = spotTabs.value(index.data(SpotsModel::SpotIdRole).toInt()))
        spot->showTab();
}

void MainWindow::on_actionConfiguratie_triggered()
{
    SettingsDialog dialog;
    dialog.exec();
    applyEroticaVisibility();
    // A new server starts the comment index from the beginning.
    if (Settings::lastCommentsHeader() == 0)
        controller->clearCommentIndex();
    controller->reconnectToServer();
}

void MainWindow::showStatusNow(const QString &text)
{
    showStatus(text);
    QCoreApplication::processEvents();
}

void MainWindow::on_actionDatabase_optimalizeren_triggered()
{
    showStatusNow(tr("Bezig met optimalizeren database... Kan even duren..."));
    if (controller->optimizeDatabases())
        showStatus(tr("Database geoptimalizeerd!"));
    else
        showStatus(tr("Database is in gebruik, kan deze nu niet optimalizeren..."));
}

void MainWindow::on_actionHeaders_verwijderen_en_opnieuw_downloaden_triggered()
{
    if (!MessageBoxes::question(this, tr("Weet je het zeker?"),
                                tr("Inhoud van database verwijderen, en opnieuw alle headers downloaden?")))
        return;
    showStatusNow(tr("Bezig met verwijderen databases... Kan even duren..."));
    if (controller->deleteAllSpots()) {
        showStatus(tr("Database verwijderd!"));
        controller->reconnectToServer();
    } else {
        onError(0, tr("Database is momenteel in gebruik. Kan nog niet verwijderen"));
    }
}

void MainWindow::on_treeWidget_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *)
{
    if (!current)
        return;
    const QString name = current->text(0);
    const int code = current->data(0, Qt::UserRole).toInt();
    if (code < CategoryScheme::firstSubcategory)
        model->setFilter(QByteArray(), code, 0);
    else
        model->setFilter(QByteArray(), 0, code);
    ui->tabWidget->setTabText(0, name);
    ui->tabWidget->setCurrentIndex(0);
    showStatus(tr("%1 resultaten in categorie '%2'").arg(model->rowCount()).arg(name));
}

void MainWindow::search()
{
    const QString text = ui->queryEdit->text();
    // As UTF-8: the list finds it in UTF-8, Latin-1 and text titles alike, also beyond Latin-1.
    model->setFilter(text.toUtf8(), 0, 0);
    ui->tabWidget->setTabText(0, tr("Zoekresultaten: ") + text);
    ui->tabWidget->setCurrentIndex(0);
    showStatus(tr("%1 resultaten voor zoekopdracht '%2'").arg(model->rowCount()).arg(text));
}

void MainWindow::on_queryEdit_returnPressed()
{
    search();
}

void MainWindow::on_zoekButton_clicked()
{
    search();
}

void MainWindow::onHeaderProgress(int percent)
{
    headerProgress->setValue(percent);
    headerProgress->show();
}

void MainWindow::onError(int, const QString &msg)
{
    MessageBoxes::critical(this, tr("Error"), msg);
}

void MainWindow::onNotice(int, const QString &msg)
{
    showStatus(msg);
}
