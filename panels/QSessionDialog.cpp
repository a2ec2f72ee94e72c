#include "panels/QSessionDialog.h"

#include "panels/InfoTexts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

QSessionDialog::QSessionDialog(QWidget *parent, const QString &sessions)
    : QDialog(parent), m_tree(new QTreeWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Sessions"));
    m_tree->setObjectName(QStringLiteral("sessionTree"));
    m_tree->setRootIsDecorated(false);
    m_tree->setColumnCount(5);
    m_tree->setHeaderLabels({QStringLiteral("User"), QStringLiteral("Level"), QStringLiteral("Communication"),
                             QStringLiteral("Login Time"), QStringLiteral("Ip Address")});
    m_tree->header()->setDefaultAlignment(Qt::AlignCenter);
    for (const QStringList &row : InfoTexts::sessionRows(sessions)) {
        auto *item = new QTreeWidgetItem(m_tree, row);
        for (int c = 0; c < row.size(); ++c)
            item->setTextAlignment(c, Qt::AlignCenter);
    }
    for (int c = 0; c < 5; ++c)
        m_tree->resizeColumnToContents(c);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    // Wide enough for every column, within reason.
    m_tree->setMinimumWidth(qMin(m_tree->header()->length() + 2 * m_tree->frameWidth() + 24, 1100));
    resize(minimumSizeHint().width(), 260);
}
