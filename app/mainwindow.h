#pragma once

#include "nzbhandoffjob.h"
#include "savedfilter.h"
#include "spotrow.h"

#include <QMainWindow>
#include <QMap>

#include <memory>
#include <optional>

class FilterWatch;
class QModelIndex;
class QPoint;
class QLabel;
class QProgressBar;
class QTreeWidgetItem;
class SpotView;
class SpotsModel;
class Tarnwick;

namespace Ui {
class MainWindow;
}

// The program's only top-level window: search field and category tree at the left, the
// spot list and the spot tabs at the right, the menus for the settings and database
// maintenance. It wires the parts together; the work happens in them.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Throws DatabaseSetupError, after showing it, when the databases cannot be opened.
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public Q_SLOTS:
    // For the details download's detailsProgress(done, total), after each batch it stored:
    // "Spotdetails 12.000 van 200.000" at the right of the status bar, gone once done reaches
    // total; the list's rows show the sizes stored so far.
    void onDetailsProgress(qint64 done, qint64 total);

protected:
    void closeEvent(QCloseEvent *event) override;

private Q_SLOTS:
    void on_actionHeaders_verwijderen_en_opnieuw_downloaden_triggered();
    void on_treeWidget_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void on_actionDatabase_optimalizeren_triggered();
    void on_queryEdit_returnPressed();
    void on_actionOver_Tarnwick_triggered();
    void on_tabWidget_tabCloseRequested(int index);
    void on_tableView_doubleClicked(const QModelIndex &index);
    void on_tableView_clicked(const QModelIndex &index);
    void on_tableView_customContextMenuRequested(const QPoint &pos);
    void on_treeWidget_customContextMenuRequested(const QPoint &pos);
    void on_zoekButton_clicked();
    void on_actionConfiguratie_triggered();
    void on_actionTabblad_sluiten_triggered();
    void on_actionAfsluiten_triggered();
    void onError(int code, const QString &msg);
    void onNotice(int code, const QString &msg);
    void onHeaderProgress(int percent);

private:
    // What a tree item stands for (item data role TreeKindRole).
    enum class TreeKind { Category, Marks, Filters, Filter };

    void buildCategoryTree();
    void buildWatchMenu();
    // The "Mijn filters" items after a change of the filters or their counts.
    void showFilters();
    TreeKind treeKind(const QTreeWidgetItem *item) const;
    // Saves the current search or category as a new filter, after the user edited it.
    void saveFilter();
    void editFilter(const SavedFilter &filter, bool isNew);
    void hideSpotter(const QString &name);
    void editHiddenSpotters();
    // The spot's row for a list row: from the spot tables, or the mark of an expired spot.
    std::optional<SpotRow> spotOf(const QModelIndex &index) const;
    // Marks the spot of the list's current row or of the spot tab in front, or unmarks it.
    void toggleMark();
    void setMarked(const SpotRow &spot, bool marked);
    void selectFilterItem(qint64 id);
    void applyEroticaVisibility();
    void showStatus(const QString &text);
    // Shows a status text and lets it paint before work that blocks the window.
    void showStatusNow(const QString &text);
    void search();
    // Fetches the spot's whole NZB and saves it or hands it to the downloader.
    void handOffNzb(const SpotRow &spot, const QString &title, NzbHandOffJob::Mode mode);

    std::unique_ptr<Ui::MainWindow> ui;
    Tarnwick *controller = nullptr;
    SpotsModel *model = nullptr;
    FilterWatch *watch = nullptr;
    QTreeWidgetItem *filtersItem = nullptr;
    // The search text of the list shown, empty for a category.
    QString shownSearch;
    QProgressBar *headerProgress = nullptr;
    QLabel *detailsStatus = nullptr;
    // The open spot tabs by the spot's message-id.
    QMap<QByteArray, SpotView *> spotTabs;
};
