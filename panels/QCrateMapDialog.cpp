#include "panels/QCrateMapDialog.h"

#include "device/ORVEHVNode.h"
#include "panels/InfoTexts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

QCrateMapDialog::QCrateMapDialog(QWidget *parent, const ORVEHVNode *systemNode, int systemType)
    : QDialog(parent), m_tree(new QTreeWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(InfoTexts::crateMapTitle(systemType));
    const QStringList headers = InfoTexts::crateMapHeaders(systemType);
    m_tree->setObjectName(QStringLiteral("crateMapTree"));
    m_tree->setRootIsDecorated(false);
    m_tree->setColumnCount(int(headers.size()));
    m_tree->setHeaderLabels(headers);
    m_tree->header()->setDefaultAlignment(Qt::AlignCenter);
    if (systemNode) {
        const auto &children = systemNode->children();
        for (int i = 0; i < children.size(); ++i) {
            auto *item = new QTreeWidgetItem(m_tree, InfoTexts::crateMapRow(children.at(i), i, systemType));
            for (int c = 0; c < headers.size(); ++c)
                item->setTextAlignment(c, Qt::AlignCenter);
        }
    }
    for (int c = 0; c < headers.size(); ++c)
        m_tree->resizeColumnToContents(c);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    // Wide enough for every column, within reason.
    m_tree->setMinimumWidth(qMin(m_tree->header()->length() + 2 * m_tree->frameWidth() + 24, 1100));
    resize(minimumSizeHint().width(), 420);
}
