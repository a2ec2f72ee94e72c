#include "views/QConfigureViewDialog.h"

#include "device/ORVEHVNode.h"
#include "views/QSubWindow.h"
#include "views/TableRules.h"

#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

QConfigureViewDialog::QConfigureViewDialog(ORVEHVNode *system, QSubWindow *subWindow, QWidget *parent)
    : QViewSelectionDialog(QList<ORVEHVNode *>{system}, false, parent), m_subWindow(subWindow)
{
    setObjectName(QStringLiteral("configureViewDialog"));
    setWindowTitle(QStringLiteral("Configure %1").arg(system ? system->name() : QString()));
    auto *layout = new QVBoxLayout(channelsPage());
    layout->addWidget(new QLabel(QStringLiteral("Check/uncheck channels you want to show/hide:")));
    layout->addWidget(m_tree);
    m_tree->setHeaderHidden(true);

    if (system) {
        for (ORVEHVNode *board : system->children()) {
            // Empty slots have nothing to show.
            if (!board || board->kind() != KindBoard)
                continue;
            QTreeWidgetItem *top = makeItem(board, QStringLiteral("%1").arg(board->place(), 2, 10, QLatin1Char('0')),
                                            QStringLiteral(":Resources/Elementi/modulo.png"));
            m_tree->addTopLevelItem(top);
            setShown(top, board->isEnabled());
            for (ORVEHVNode *channel : board->children()) {
                QTreeWidgetItem *item =
                    makeItem(channel, channel->name(), QStringLiteral(":Resources/Elementi/canale.png"));
                top->addChild(item);
                setShown(item, channel->isEnabled());
            }
        }
    }

    QStringList leading;
    for (const QStringList &pass : TableRules::priorityPasses())
        leading += pass;
    finishSetup(leading);
    resize(720, 520);
}

void QConfigureViewDialog::storeBoards()
{
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_tree->topLevelItem(i);
        if (ORVEHVNode *board = nodeOf(item)) {
            board->setIsEnabled(item->flags() & Qt::ItemIsEnabled);
            board->setVisualIndex(i);
        }
    }
}

void QConfigureViewDialog::applyChoice()
{
    // A sub-window in Full or Minimal mode keeps showing that; the choice
    // shows when the operator switches to Custom.
    if (m_subWindow && m_subWindow->viewMode() == QSubWindow::CustomMode)
        m_subWindow->applyCustomMode();
}
