#include "views/QCustomViewDialog.h"

#include "device/ORVEHVNode.h"
#include "views/TableRules.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

QCustomViewDialog::QCustomViewDialog(const QList<ORVEHVNode *> &systems, QWidget *parent)
    : QViewSelectionDialog(systems, true, parent)
{
    setObjectName(QStringLiteral("customViewDialog"));
    setWindowTitle(QStringLiteral("Custom View Configuration"));
    auto *layout = new QHBoxLayout(channelsPage());
    layout->addWidget(m_tree, 1);
    m_tree->setHeaderLabel(QStringLiteral("Power Supply"));
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("listWidget"));
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(m_list, 1);

    for (ORVEHVNode *system : systems) {
        if (!system)
            continue;
        QTreeWidgetItem *top = makeItem(system, system->name(), QStringLiteral(":Resources/Elementi/sistema.png"));
        m_tree->addTopLevelItem(top);
        bool anyBoard = false;
        for (ORVEHVNode *board : system->children()) {
            if (!board || board->kind() != KindBoard)
                continue;
            QTreeWidgetItem *bItem = makeItem(board, boardText(board), QStringLiteral(":Resources/Elementi/modulo.png"));
            top->addChild(bItem);
            bool anyChannel = false;
            for (ORVEHVNode *channel : board->children()) {
                QTreeWidgetItem *item =
                    makeItem(channel, channel->name(), QStringLiteral(":Resources/Elementi/canale.png"));
                bItem->addChild(item);
                setShown(item, channel->isEnabledInCustomView());
                anyChannel = anyChannel || channel->isEnabledInCustomView();
            }
            setShown(bItem, anyChannel);
            anyBoard = anyBoard || anyChannel;
        }
        setShown(top, anyBoard);
    }

    finishSetup({});
    auto *all = new QPushButton(QStringLiteral(" Check all parameters "));
    all->setObjectName(QStringLiteral("checkAllParameters"));
    connect(all, &QPushButton::clicked, this, &QCustomViewDialog::checkAllParametersClicked);
    parametersLayout()->insertWidget(parametersLayout()->count() - 1, all, 0, Qt::AlignLeft);
    refreshList();
    resize(760, 520);
}

QString QCustomViewDialog::boardText(const ORVEHVNode *board)
{
    const QString name = board->name();
    if (board->systemType() != 16 || name.size() < 7)
        return name;
    const int n = name.mid(5).toInt();
    return QStringLiteral("Crate%1.Board%2 [%3]").arg(n / 25).arg(n % 25, 2, 10, QLatin1Char('0')).arg(name);
}

void QCustomViewDialog::checkAllParametersClicked()
{
    for (QPushButton *b : std::as_const(m_buttons))
        setParameterShown(b, true);
}

void QCustomViewDialog::refreshList()
{
    // The channels the view will show, as the custom view labels its rows.
    m_list->clear();
    for (QTreeWidgetItem *item : channelItems()) {
        if (!(item->flags() & Qt::ItemIsEnabled))
            continue;
        const ORVEHVNode *channel = nodeOf(item);
        const ORVEHVNode *board = nodeOf(item->parent());
        const ORVEHVNode *system = nodeOf(item->parent() ? item->parent()->parent() : nullptr);
        m_list->addItem(TableRules::rowLabel(board ? board->name() : QString(), channel->name(),
                                             channel->systemType(), true, system ? system->name() : QString()));
    }
}

void QCustomViewDialog::applyChoice()
{
    emit viewConfigured();
}
