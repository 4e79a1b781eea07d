#pragma once

#include "nzbhandoffjob.h"

#include <QMainWindow>
#include <QMap>

#include <memory>

class QModelIndex;
class QPoint;
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
    void on_zoekButton_clicked();
    void on_actionConfiguratie_triggered();
    void on_actionTabblad_sluiten_triggered();
    void on_actionAfsluiten_triggered();
    void onError(int code, const QString &msg);
    void onNotice(int code, const QString &msg);
    void onHeaderProgress(int percent);

private:
    void buildCategoryTree();
    void applyEroticaVisibility();
    void showStatus(const QString &text);
    // Shows a status text and lets it paint before work that blocks the window.
    void showStatusNow(const QString &text);
    void search();
    // Fetches the spot's whole NZB and saves it or hands it to the downloader.
    void handOffNzb(int spotId, const QString &title, NzbHandOffJob::Mode mode);

    std::unique_ptr<Ui::MainWindow> ui;
    Tarnwick *controller = nullptr;
    SpotsModel *model = nullptr;
    QProgressBar *headerProgress = nullptr;
    // The open spot tabs by spot id (negative for an erotic spot).
    QMap<int, SpotView *> spotTabs;
};
