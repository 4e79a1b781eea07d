#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "categoryscheme.h"
#include "databasesetuperror.h"
#include "detailstexts.h"
#include "downloadwatch.h"
#include "filterdialog.h"
#include "filterwatch.h"
#include "hiddenspottersdialog.h"
#include "messageboxes.h"
#include "settings.h"
#include "searchquery.h"
#include "settingsdialog.h"
#include "spotsmodel.h"
#include "spotstore.h"
#include "spotview.h"
#include "tarnwick.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>

namespace {
constexpr int statusMessageMs = 300000;
// The "Erotiek" item is the seventh top-level item of the tree.
constexpr int eroticItemIndex = 6;
// Tree item data: the category code (Qt::UserRole, for category items), what the item
// stands for, and a saved filter's id.
constexpr int treeKindRole = Qt::UserRole + 1;
constexpr int filterIdRole = Qt::UserRole + 2;
// A "Downloads" item's spot (its message-id as stored).
constexpr int messageIdRole = Qt::UserRole + 3;
// The tree lists this many of the newest hand-offs.
constexpr int maxDownloadItems = 100;
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
    detailsStatus = new QLabel(this);
    detailsStatus->setObjectName(QStringLiteral("detailsStatus"));
    detailsStatus->hide();
    ui->statusBar->addPermanentWidget(detailsStatus);

    model = new SpotsModel(controller, this);
    ui->tableView->setModel(model);
    // The model reads the sizes anew at each batch of details.
    connect(controller, &Tarnwick::detailsProgress, this, &MainWindow::onDetailsProgress);
    QHeaderView *header = ui->tableView->horizontalHeader();
    header->resizeSection(SpotsModel::DateColumn, 120);
    header->resizeSection(SpotsModel::CategoryColumn, 50);
    header->resizeSection(SpotsModel::SizeColumn, 80);
    header->setSectionResizeMode(SpotsModel::TitleColumn, QHeaderView::Stretch);
    header->setStretchLastSection(false);
    // Newest first until a header is clicked; a third click goes back to it.
    header->setSortIndicator(-1, Qt::DescendingOrder);
    header->setSortIndicatorClearable(true);
    ui->tableView->setSortingEnabled(true);
    ui->queryEdit->setToolTip(SearchQuery::syntaxHelp());

    watch = new FilterWatch(model, QIcon(QStringLiteral(":/icons/icon.png")), this);
    connect(controller, &Tarnwick::spotsUpToDate, watch, &FilterWatch::onSpotsUpToDate);
    connect(watch, &FilterWatch::filtersChanged, this, &MainWindow::showFilters);
    connect(watch, &FilterWatch::marksChanged, this, [this] {
        for (SpotView *spot : std::as_const(spotTabs))
            spot->setMarked(watch->isMarked(spot->messageId()));
    });
    connect(watch, &FilterWatch::filterActivated, this, [this](qint64 id) {
        showNormal();
        activateWindow();
        selectFilterItem(id);
    });
    connect(watch, &FilterWatch::windowRequested, this, [this] {
        showNormal();
        activateWindow();
    });
    const QString userFileMessage = watch->open(SpotStore::dataDirectory());
    if (!userFileMessage.isEmpty())
        MessageBoxes::information(this, tr("Mijn filters"), userFileMessage);
    buildWatchMenu();
    downloads = new DownloadWatch(watch->store(), model, this);
    connect(downloads, &DownloadWatch::changed, this, &MainWindow::onDownloadChanged);
    connect(downloads, &DownloadWatch::notice, this, &MainWindow::showStatus);
    downloads->load();
    showDownloads();

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
    auto *marksItem = new QTreeWidgetItem(ui->treeWidget, {tr("Bewaard")});
    marksItem->setData(0, treeKindRole, int(TreeKind::Marks));
    filtersItem = new QTreeWidgetItem(ui->treeWidget, {tr("Mijn filters")});
    filtersItem->setData(0, treeKindRole, int(TreeKind::Filters));
    downloadsItem = new QTreeWidgetItem(ui->treeWidget, {tr("Downloads")});
    downloadsItem->setData(0, treeKindRole, int(TreeKind::Downloads));
    ui->treeWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->treeWidget->expandAll();
}

MainWindow::TreeKind MainWindow::treeKind(const QTreeWidgetItem *item) const
{
    return TreeKind(item->data(0, treeKindRole).toInt());
}

void MainWindow::buildWatchMenu()
{
    QMenu *menu = new QMenu(tr("Spots"), this);
    ui->menuBar->insertMenu(ui->menuHelp->menuAction(), menu);
    menu->setObjectName(QStringLiteral("menuSpots"));
    QAction *mark = menu->addAction(tr("Bewaren"), this, &MainWindow::toggleMark);
    mark->setObjectName(QStringLiteral("actionBewaren"));
    mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    menu->addAction(tr("Filter bewaren…"), this, &MainWindow::saveFilter)
        ->setObjectName(QStringLiteral("actionFilter_bewaren"));
    menu->addAction(tr("Verborgen spotters…"), this, &MainWindow::editHiddenSpotters)
        ->setObjectName(QStringLiteral("actionVerborgen_spotters"));
}

void MainWindow::showFilters()
{
    const QTreeWidgetItem *current = ui->treeWidget->currentItem();
    const qint64 currentId
        = current && treeKind(current) == TreeKind::Filter ? current->data(0, filterIdRole).toLongLong() : 0;
    bool currentKept = false;
    {
        const QSignalBlocker quiet(ui->treeWidget);
        qDeleteAll(filtersItem->takeChildren());
        for (const SavedFilter &filter : watch->filters()) {
            const int count = watch->newCount(filter.id);
            auto *item = new QTreeWidgetItem(filtersItem,
                                             {count > 0 ? tr("%1 (%2)").arg(filter.name).arg(count) : filter.name});
            item->setData(0, treeKindRole, int(TreeKind::Filter));
            item->setData(0, filterIdRole, filter.id);
            QFont font = item->font(0);
            font.setBold(count > 0);
            item->setFont(0, font);
            if (filter.id == currentId) {
                ui->treeWidget->setCurrentItem(item);
                currentKept = true;
            }
        }
        filtersItem->setExpanded(true);
    }
    // The filter shown was deleted: the list shows "Nieuw" again.
    if (currentId != 0 && !currentKept)
        ui->treeWidget->setCurrentItem(ui->treeWidget->topLevelItem(0));
}

void MainWindow::showDownloads()
{
    const QSignalBlocker quiet(ui->treeWidget);
    const QTreeWidgetItem *current = ui->treeWidget->currentItem();
    const QByteArray currentId = current && treeKind(current) == TreeKind::Download
        ? current->data(0, messageIdRole).toByteArray()
        : QByteArray();
    qDeleteAll(downloadsItem->takeChildren());
    for (const HandOff &handOff : downloads->handOffs().mid(0, maxDownloadItems)) {
        auto *item
            = new QTreeWidgetItem(downloadsItem, {tr("%1 \u2013 %2").arg(handOff.state.text(), handOff.spot.title)});
        item->setToolTip(0, item->text(0));
        item->setData(0, treeKindRole, int(TreeKind::Download));
        item->setData(0, messageIdRole, handOff.spot.messageId);
        if (handOff.spot.messageId == currentId)
            ui->treeWidget->setCurrentItem(item);
    }
}

void MainWindow::onDownloadChanged(const QByteArray &messageId)
{
    showDownloads();
    const std::optional<HandOff> handOff = downloads->handOff(messageId);
    if (SpotView *view = spotTabs.value(messageId); view && handOff)
        view->setDownloadState(handOff->state.text());
}

void MainWindow::selectFilterItem(qint64 id)
{
    for (int i = 0; i < filtersItem->childCount(); ++i) {
        QTreeWidgetItem *item = filtersItem->child(i);
        if (item->data(0, filterIdRole).toLongLong() != id)
            continue;
        // The current item is opened again: the list may show a search now, and the filter's
        // new spots are seen once it is shown.
        if (ui->treeWidget->currentItem() == item)
            on_treeWidget_currentItemChanged(item, item);
        else
            ui->treeWidget->setCurrentItem(item);
    }
}

void MainWindow::saveFilter()
{
    SavedFilter filter;
    const QTreeWidgetItem *current = ui->treeWidget->currentItem();
    if (!shownSearch.isEmpty()) {
        filter.search = shownSearch;
        filter.name = shownSearch;
    } else if (current && treeKind(current) == TreeKind::Category) {
        const int code = current->data(0, Qt::UserRole).toInt();
        if (code > CategoryScheme::allSpots)
            filter.categories = {code};
        filter.name = current->text(0);
    } else if (current && treeKind(current) == TreeKind::Filter) {
        if (const std::optional<SavedFilter> shown = watch->filter(current->data(0, filterIdRole).toLongLong()))
            filter = *shown;
        filter.name = tr("Kopie van %1").arg(filter.name);
    }
    editFilter(filter, true);
}

void MainWindow::editFilter(const SavedFilter &filter, bool isNew)
{
    FilterDialog dialog(filter, SearchQuery::syntaxHelp(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const bool written = isNew ? watch->addFilter(dialog.filter()) : watch->updateFilter(dialog.filter());
    if (!written)
        MessageBoxes::critical(this, tr("Mijn filters"), tr("Het filter kon niet worden bewaard."));
    else if (!isNew && ui->treeWidget->currentItem())
        on_treeWidget_currentItemChanged(ui->treeWidget->currentItem(), nullptr);
}

void MainWindow::on_treeWidget_customContextMenuRequested(const QPoint &pos)
{
    QTreeWidgetItem *item = ui->treeWidget->itemAt(pos);
    if (!item)
        return;
    QMenu menu(this);
    if (treeKind(item) == TreeKind::Filter) {
        const std::optional<SavedFilter> filter = watch->filter(item->data(0, filterIdRole).toLongLong());
        if (!filter)
            return;
        const qint64 id = filter->id;
        menu.addAction(tr("Bewerken…"), this, [this, filter] { editFilter(*filter, false); });
        menu.addAction(tr("Omhoog"), this, [this, id] { watch->moveFilter(id, -1); });
        menu.addAction(tr("Omlaag"), this, [this, id] { watch->moveFilter(id, 1); });
        menu.addAction(tr("Verwijderen"), this, [this, filter] {
            if (MessageBoxes::question(this, tr("Mijn filters"), tr("Filter '%1' verwijderen?").arg(filter->name)))
                watch->removeFilter(filter->id);
        });
    } else {
        menu.addAction(tr("Filter bewaren…"), this, &MainWindow::saveFilter);
    }
    menu.exec(ui->treeWidget->viewport()->mapToGlobal(pos));
}

void MainWindow::hideSpotter(const QString &name)
{
    if (!MessageBoxes::question(
            this, tr("Spotter verbergen"),
            tr("Alle spots van '%1' verbergen? Via Spots, Verborgen spotters komen ze terug.").arg(name)))
        return;
    if (!watch->hideSpotter(name))
        MessageBoxes::critical(this, tr("Spotter verbergen"), tr("De spotter kon niet worden verborgen."));
}

void MainWindow::editHiddenSpotters()
{
    HiddenSpottersDialog dialog(watch->hiddenSpotters(), this);
    dialog.exec();
    if (!dialog.restored().isEmpty())
        watch->showSpotters(dialog.restored());
}

std::optional<SpotRow> MainWindow::spotOf(const QModelIndex &index) const
{
    const int spotId = index.data(SpotsModel::SpotIdRole).toInt();
    if (spotId != 0)
        return controller->findSpot(spotId);
    return watch->markedRow(index.data(SpotsModel::MessageIdRole).toByteArray());
}

void MainWindow::setMarked(const SpotRow &spot, bool marked)
{
    if (!watch->setMarked(spot, marked)) {
        MessageBoxes::critical(this, tr("Bewaard"), tr("De spot kon niet worden bewaard."));
        Q_EMIT watch->marksChanged(); // the tabs show what is stored
    }
}

void MainWindow::toggleMark()
{
    std::optional<SpotRow> spot;
    const int tab = ui->tabWidget->currentIndex();
    if (tab == 0) {
        const QModelIndex current = ui->tableView->currentIndex();
        if (current.isValid())
            spot = spotOf(current);
    } else {
        for (SpotView *view : std::as_const(spotTabs)) {
            if (view->tabIndex() == tab)
                spot = view->spot();
        }
    }
    if (spot)
        setMarked(*spot, !watch->isMarked(spot->messageId));
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
    const QByteArray messageId = index.data(SpotsModel::MessageIdRole).toByteArray();
    if (messageId.isEmpty() || spotTabs.contains(messageId))
        return;
    openSpotTab(messageId, spotOf(index), index.siblingAtColumn(SpotsModel::TitleColumn).data().toString());
}

SpotView *MainWindow::openSpotTab(const QByteArray &messageId, const std::optional<SpotRow> &row, const QString &title)
{
    if (SpotView *open = spotTabs.value(messageId))
        return open;
    auto *spot = new SpotView(controller, ui->tabWidget, row, title, this);
    spotTabs.insert(messageId, spot);
    spot->setMarked(watch->isMarked(messageId));
    if (const std::optional<HandOff> handOff = downloads->handOff(messageId))
        spot->setDownloadState(handOff->state.text());
    if (row) {
        connect(spot, &SpotView::nzbRequested, this,
                [this, row, title](NzbHandOffJob::Mode mode) { handOffNzb(*row, title, mode); });
        connect(spot, &SpotView::markRequested, this, [this, row](bool marked) { setMarked(*row, marked); });
    }
    return spot;
}

void MainWindow::on_tableView_customContextMenuRequested(const QPoint &pos)
{
    const QModelIndex index = ui->tableView->indexAt(pos);
    if (!index.isValid())
        return;
    const std::optional<SpotRow> spot = spotOf(index);
    if (!spot)
        return;
    const QString title = index.siblingAtColumn(SpotsModel::TitleColumn).data().toString();
    QMenu menu(this);
    menu.addAction(tr("NZB opslaan"), this, [=] { handOffNzb(*spot, title, NzbHandOffJob::Mode::Save); });
    menu.addAction(tr("Downloaden"), this, [=] { handOffNzb(*spot, title, NzbHandOffJob::Mode::Download); });
    menu.addSeparator();
    const bool marked = watch->isMarked(spot->messageId);
    menu.addAction(marked ? tr("Niet meer bewaren") : tr("Bewaren"), this, [=] { setMarked(*spot, !marked); });
    if (!spot->spotter.isEmpty())
        menu.addAction(tr("Spotter verbergen"), this, [=] { hideSpotter(spot->spotter); });
    menu.exec(ui->tableView->viewport()->mapToGlobal(pos));
}

void MainWindow::handOffNzb(const SpotRow &spot, const QString &title, NzbHandOffJob::Mode mode)
{
    using Destination = Settings::NzbHandOff::Destination;
    const Destination destination = Settings::nzbHandOff().destination;
    const std::optional<HandOff> before = downloads->handOff(spot.messageId);
    const bool toDownloader = destination == Destination::NzbGet || destination == Destination::Sabnzbd;
    if (mode == NzbHandOffJob::Mode::Download && toDownloader && before
        && (before->target == HandOff::Target::NzbGet || before->target == HandOff::Target::Sabnzbd)) {
        const QString downloader
            = before->target == HandOff::Target::NzbGet ? QStringLiteral("NZBGet") : QStringLiteral("SABnzbd");
        if (!MessageBoxes::question(
                this, tr("Downloaden"),
                tr("Deze spot is al naar %1 gestuurd (%2). Nogmaals sturen?").arg(downloader, before->state.text())))
            return;
    }
    auto *job = new NzbHandOffJob(controller, spot, title, mode, this);
    connect(job, &NzbHandOffJob::handedOff, this, [this](const HandOff &handOff) {
        if (!downloads->record(handOff))
            MessageBoxes::critical(this, tr("Downloads"), tr("Wat er met de spot gebeurde kon niet worden bewaard."));
    });
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
    if (SpotView *spot = spotTabs.value(index.data(SpotsModel::MessageIdRole).toByteArray()))
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
        watch->onAllSpotsDeleted();
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
    shownSearch.clear();
    QString name = current->text(0);
    switch (treeKind(current)) {
    case TreeKind::Category: {
        const int code = current->data(0, Qt::UserRole).toInt();
        if (code < CategoryScheme::firstSubcategory)
            model->setFilter(QByteArray(), code, 0);
        else
            model->setFilter(QByteArray(), 0, code);
        break;
    }
    case TreeKind::Marks:
        watch->showMarks();
        break;
    case TreeKind::Filters:
    case TreeKind::Downloads:
        return;
    case TreeKind::Download: {
        const std::optional<HandOff> handOff = downloads->handOff(current->data(0, messageIdRole).toByteArray());
        if (handOff)
            openSpotTab(handOff->spot.messageId, handOff->spot, handOff->spot.title)->showTab();
        return;
    }
    case TreeKind::Filter: {
        const qint64 id = current->data(0, filterIdRole).toLongLong();
        if (const std::optional<SavedFilter> filter = watch->filter(id))
            name = filter->name;
        watch->openFilter(id);
        break;
    }
    }
    ui->tabWidget->setTabText(0, name);
    ui->tabWidget->setCurrentIndex(0);
    showStatus(tr("%1 resultaten in categorie '%2'").arg(model->rowCount()).arg(name));
}

void MainWindow::search()
{
    const QString text = ui->queryEdit->text();
    // As UTF-8: the list finds it in UTF-8, Latin-1 and text titles alike, also beyond Latin-1.
    model->setFilter(text.toUtf8(), 0, 0);
    shownSearch = text.trimmed();
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

void MainWindow::onDetailsProgress(qint64 done, qint64 total)
{
    const QString text = DetailsTexts::progress(done, total);
    detailsStatus->setText(text);
    detailsStatus->setVisible(!text.isEmpty());
    model->onDetailsStored();
}

void MainWindow::onError(int, const QString &msg)
{
    MessageBoxes::critical(this, tr("Error"), msg);
}

void MainWindow::onNotice(int, const QString &msg)
{
    showStatus(msg);
}
