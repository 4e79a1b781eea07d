#include "windowhandoff.h"

#include "mainwindow.h"
#include "spotsmodel.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

QLabel *handOffFromWindow(MainWindow &window, const QByteArray &spotKey, int timeoutMs)
{
    auto *list = window.findChild<QTableView *>(QStringLiteral("tableView"));
    QModelIndex row;
    for (int at = 0; at < list->model()->rowCount() && !row.isValid(); ++at) {
        const QModelIndex index = list->model()->index(at, SpotsModel::TitleColumn);
        if (index.data(SpotsModel::MessageIdRole).toByteArray() == spotKey)
            row = index;
    }
    if (!row.isValid())
        return nullptr;
    Q_EMIT list->clicked(row);
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QWidget *page = nullptr;
    for (int tab = 1; tab < tabs->count(); ++tab) {
        if (tabs->tabText(tab) == row.data().toString())
            page = tabs->widget(tab);
    }
    if (!page)
        return nullptr;
    QPushButton *download = nullptr;
    for (QPushButton *button : page->findChildren<QPushButton *>()) {
        if (button->text() == QStringLiteral("Downloaden"))
            download = button;
    }
    if (!download || !QTest::qWaitFor([&] { return download->isEnabled(); }, timeoutMs))
        return nullptr;
    download->click();
    return page->findChild<QLabel *>(QStringLiteral("downloadState"));
}
