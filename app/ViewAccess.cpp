#include "app/ViewAccess.h"

#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/SystemTitle.h"
#include "panels/QBoardInformations.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"

#include "views/QSubWindow.h"

#include <QPushButton>
#include <QTableWidget>

namespace ViewAccess {

namespace {
QTableWidget *tableOf(QWidget *subWindow)
{
    if (!subWindow)
        return nullptr;
    if (auto *table = qobject_cast<QTableWidget *>(subWindow))
        return table;
    return subWindow->findChild<QTableWidget *>();
}
} // namespace

void clearSelection(QWidget *subWindow)
{
    if (auto *sub = qobject_cast<QSubWindow *>(subWindow))
        sub->clearTableSelection();
    else if (QTableWidget *table = tableOf(subWindow))
        table->clearSelection();
}

bool selectChannel(QWidget *subWindow, const QString &name)
{
    if (auto *sub = qobject_cast<QSubWindow *>(subWindow)) {
        const int row = sub->findRowByName(name);
        if (row < 0)
            return false;
        sub->selectChannelRow(row);
        return true;
    }
    QTableWidget *table = tableOf(subWindow);
    if (!table)
        return false;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *item = table->item(row, 0);
        if (item && item->text() == name) {
            table->clearSelection();
            table->selectRow(row);
            table->scrollToItem(item);
            return true;
        }
    }
    return false;
}

QString subWindowTitle(QSystemInterface *sys)
{
    return SystemTitle::nameOf(sys);
}

void setStatus(QWidget *statusBar, int state)
{
    if (auto *bar = qobject_cast<QSystemStatusBar *>(statusBar))
        bar->setConnectionStatus(state);
}

void setLamps(QWidget *statusBar, bool sync, bool warning, bool error)
{
    if (auto *bar = qobject_cast<QSystemStatusBar *>(statusBar)) {
        bar->setSyncIndicator(sync);
        bar->setWarningIndicator(warning);
        bar->setErrorIndicator(error);
    }
}

void clearLamps(QWidget *statusBar)
{
    if (auto *bar = qobject_cast<QSystemStatusBar *>(statusBar))
        bar->clearIndicators();
}

void setBoxSelected(QWidget *box, bool selected)
{
    if (auto *b = qobject_cast<QCustomBox *>(box))
        b->setSelected(selected);
}

void setDisconnectText(QWidget *box, const QString &text)
{
    if (auto *b = qobject_cast<QCustomBox *>(box))
        b->disconnectButton()->setText(text);
}

QString disconnectText(QWidget *box)
{
    if (auto *b = qobject_cast<QCustomBox *>(box))
        return b->disconnectButton()->text();
    return QString();
}

void showSilence(QSystemInterface *sys, bool silent)
{
    if (auto *bar = qobject_cast<QSystemStatusBar *>(sys->statusBar()))
        bar->showSilence(silent);
    if (auto *box = qobject_cast<QCustomBox *>(sys->systemBox()))
        box->setNotice(silent ? QSystemStatusBar::SilenceText : QString());
}

void repaintTables(QWidget *subWindow)
{
    if (!subWindow)
        return;
    for (QAbstractItemView *view : subWindow->findChildren<QAbstractItemView *>())
        view->viewport()->update();
}

void setPanelContentEnabled(QWidget *panel, bool enabled)
{
    if (auto *info = qobject_cast<QBoardInformations *>(panel)) {
        if (QWidget *content = info->contentWidget()) {
            content->setEnabled(enabled);
            return;
        }
    }
    if (panel)
        panel->setEnabled(enabled);
}

} // namespace ViewAccess
