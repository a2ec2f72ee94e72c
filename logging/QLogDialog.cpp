#include "logging/QLogDialog.h"

#include "device/LogQueue.h"
#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int NodeRole = Qt::UserRole;          // tree item -> board or channel node
constexpr int SystemParameterRole = Qt::UserRole + 1; // list item is a system parameter
constexpr int OnWeight = 75;
constexpr int OffWeight = 50;

ORVEHVNode *nodeOf(const QTreeWidgetItem *item)
{
    return reinterpret_cast<ORVEHVNode *>(item->data(0, NodeRole).value<quintptr>());
}

QList<ORVEHVNode *> boardsOf(ORVEHVNode *system)
{
    QList<ORVEHVNode *> boards;
    if (system)
        for (ORVEHVNode *b : system->children())
            if (b->kind() == KindBoard)
                boards.append(b);
    return boards;
}

QList<ORVEHVNode *> systemParametersOf(ORVEHVNode *system)
{
    QList<ORVEHVNode *> params;
    if (system)
        for (ORVEHVNode *p : system->parameters())
            if (p->kind() == KindSystemProperty)
                params.append(p);
    return params;
}

} // namespace

QLogDialog::QLogDialog(QWidget *parent, ORVEHVNode *systemNode) : SystemDialog(parent), m_systemNode(systemNode)
{
    followSystemOf(systemNode);
    setObjectName(QStringLiteral("logDialog"));
    setWindowTitle(QStringLiteral("Advanced Logging"));

    auto *group = new QGroupBox(this);
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Channels"), group), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Parameters"), group), 0, 1);
    m_tree = new QTreeWidget(group);
    m_tree->setObjectName(QStringLiteral("channelTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setMinimumSize(260, 320);
    grid->addWidget(m_tree, 1, 0);
    m_parameters = new QListWidget(group);
    m_parameters->setObjectName(QStringLiteral("parameterList"));
    m_parameters->setSelectionMode(QAbstractItemView::MultiSelection);
    m_parameters->setMinimumSize(200, 320);
    grid->addWidget(m_parameters, 1, 1);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("Log Filename"), this));
    m_fileLine = new QLineEdit(this);
    m_fileLine->setObjectName(QStringLiteral("fileLine"));
    fileRow->addWidget(m_fileLine, 1);
    m_chooseButton = new QPushButton(QStringLiteral("Choose"), this);
    m_chooseButton->setObjectName(QStringLiteral("chooseButton"));
    m_chooseButton->setAutoDefault(false);
    fileRow->addWidget(m_chooseButton);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(fileRow);
    layout->addWidget(m_buttons);

    fill();
    m_fileLine->setText(LogQueue::configuredPath());

    connect(m_tree, &QTreeWidget::itemClicked, this, &QLogDialog::changeItemVisibility);
    connect(m_fileLine, &QLineEdit::textChanged, this, &QLogDialog::fileLineChanged);
    connect(m_chooseButton, &QPushButton::clicked, this, &QLogDialog::fileButtonClicked);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QLogDialog::okButtonClicked);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void QLogDialog::fill()
{
    QSet<QString> listed;
    QSet<QString> logged;
    for (ORVEHVNode *board : boardsOf(m_systemNode)) {
        auto *boardItem = new QTreeWidgetItem(m_tree);
        const QString model = board->model().isEmpty() ? board->name() : board->model();
        boardItem->setText(0, QStringLiteral("Board %1 - %2").arg(board->place()).arg(model));
        boardItem->setIcon(0, QIcon(QStringLiteral(":Resources/Elementi/modulo.png")));
        boardItem->setData(0, NodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(board)));
        setItemOn(boardItem, false);
        for (ORVEHVNode *channel : board->children()) {
            if (channel->kind() != KindChannel)
                continue;
            auto *channelItem = new QTreeWidgetItem(boardItem);
            channelItem->setText(0, channel->name());
            channelItem->setIcon(0, QIcon(QStringLiteral(":Resources/Elementi/canale.png")));
            channelItem->setData(0, NodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(channel)));
            bool channelLogged = false;
            for (ORVEHVNode *p : channel->parameters()) {
                if (!listed.contains(p->name())) {
                    listed.insert(p->name());
                    m_parameters->addItem(p->name());
                }
                if (p->isLogged()) {
                    channelLogged = true;
                    logged.insert(p->name());
                }
            }
            setItemOn(channelItem, channelLogged);
            if (channelLogged)
                setItemOn(boardItem, true);
        }
    }
    for (int i = 0; i < m_parameters->count(); ++i)
        m_parameters->item(i)->setSelected(logged.contains(m_parameters->item(i)->text()));
    for (ORVEHVNode *p : systemParametersOf(m_systemNode)) {
        auto *item = new QListWidgetItem(p->name(), m_parameters);
        item->setData(SystemParameterRole, true);
        item->setToolTip(QStringLiteral("System parameter"));
        QFont italic = item->font();
        italic.setItalic(true); // told apart from the channel parameters above
        item->setFont(italic);
        item->setSelected(p->isLogged());
    }
}

bool QLogDialog::isItemOn(const QTreeWidgetItem *item)
{
    return item && item->font(0).weight() == QFont::Bold;
}

void QLogDialog::setItemOn(QTreeWidgetItem *item, bool on)
{
    QFont font = item->font(0);
    font.setWeight(on ? QFont::Bold : QFont::Normal); // 75 and 50 in the old weight scale
    item->setFont(0, font);
    item->setForeground(0, on ? QBrush(Qt::black) : QBrush(Qt::gray));
}

void QLogDialog::changeItemVisibility(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const bool on = !isItemOn(item);
    setItemOn(item, on);
    for (int i = 0; i < item->childCount(); ++i)
        setItemOn(item->child(i), on);
    if (QTreeWidgetItem *parent = item->parent()) {
        bool anyOn = on;
        for (int i = 0; i < parent->childCount() && !anyOn; ++i)
            anyOn = isItemOn(parent->child(i));
        setItemOn(parent, anyOn);
    }
    item->setSelected(false);
}

void QLogDialog::fileLineChanged(QString text)
{
    QPushButton *ok = m_buttons->button(QDialogButtonBox::Ok);
    if (text.isEmpty()) {
        ok->setEnabled(false);
        return;
    }
    if (!text.endsWith(QLatin1String(".log")))
        text += QStringLiteral(".log");
    m_path = text;
    ok->setEnabled(true);
}

void QLogDialog::fileButtonClicked()
{
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Choose"), m_fileLine->text(),
                                                      QStringLiteral("Log files (*.log)"));
    if (!file.isEmpty())
        m_fileLine->setText(file);
}

void QLogDialog::okButtonClicked()
{
    if (!nodesValid() || !m_systemNode)
        return;
    // The selection is worked out first and applied only when the dialog is
    // accepted: a refused selection leaves the logged flags as they were.
    QSet<QString> channelNames;
    QSet<QString> systemNames;
    for (QListWidgetItem *item : m_parameters->selectedItems())
        (item->data(SystemParameterRole).toBool() ? systemNames : channelNames).insert(item->text());

    QList<ORVEHVNode *> toLog;
    bool anyChannelOn = false;
    for (int b = 0; b < m_tree->topLevelItemCount(); ++b) {
        QTreeWidgetItem *boardItem = m_tree->topLevelItem(b);
        for (int c = 0; c < boardItem->childCount(); ++c) {
            QTreeWidgetItem *channelItem = boardItem->child(c);
            if (!isItemOn(channelItem))
                continue;
            anyChannelOn = true;
            for (ORVEHVNode *p : nodeOf(channelItem)->parameters())
                if (channelNames.contains(p->name()))
                    toLog.append(p);
        }
    }
    const bool channelParametersLogged = !toLog.isEmpty();
    for (ORVEHVNode *p : systemParametersOf(m_systemNode))
        if (systemNames.contains(p->name()))
            toLog.append(p);

    if (toLog.isEmpty()) {
        showOperatorMessage({QMessageBox::Warning,
                             QStringLiteral("Please select at least a channel and a parameter.\n"
                                            "Check if channels selected own parameters selected."),
                             QString(), {}, -1},
                            this);
        return;
    }
    if (anyChannelOn && !channelParametersLogged) {
        // The question runs an event loop: the system may change meanwhile.
        const QPointer<QLogDialog> self(this);
        const int answer = showOperatorMessage(
            {QMessageBox::Warning,
             QStringLiteral("Some channels or channel parameters has been selected,\n"
                            "but there are only system parameters in list.\n"
                            "Do you want to continue anyway?"),
             QString(), {QStringLiteral("Yes"), QStringLiteral("No")}, 0},
            this);
        if (answer != 0 || !self || !nodesValid())
            return;
    }

    for (ORVEHVNode *p : systemParametersOf(m_systemNode))
        p->setIsLogged(false);
    for (ORVEHVNode *board : boardsOf(m_systemNode)) {
        for (ORVEHVNode *p : board->parameters())
            p->setIsLogged(false);
        for (ORVEHVNode *channel : board->children())
            for (ORVEHVNode *p : channel->parameters())
                p->setIsLogged(false);
    }
    for (ORVEHVNode *p : std::as_const(toLog))
        p->setIsLogged(true);
    if (!m_path.isEmpty())
        LogQueue::setConfiguredPath(m_path);
    accept();
}
