#include "views/QSetGroupValueDialog.h"

#include "device/OperatorMessage.h"
#include "device/ORVEHVNode.h"
#include "device/WriteGate.h"
#include "views/ChannelGroups.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QCreateSetGroupsDialog.h"
#include "views/SwitchOnQuestion.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

QSetGroupValueDialog::QSetGroupValueDialog(ChannelGroups *groups, int index, QWidget *parent)
    : SystemDialog(parent), m_groups(groups), m_index(index)
{
    setObjectName(QStringLiteral("setGroupValueDialog"));
    setWindowIcon(QIcon(QStringLiteral(":Resources/buttons/workgr.png")));
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_hint = new QLabel;
    m_hint->setObjectName(QStringLiteral("groupValueHint"));
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);
    m_editorLayout = new QVBoxLayout;
    layout->addLayout(m_editorLayout);

    auto *row = new QHBoxLayout;
    auto *edit = new QPushButton(QStringLiteral("Edit Group"));
    edit->setObjectName(QStringLiteral("editGroup"));
    auto *remove = new QPushButton(QStringLiteral("Delete Group"));
    remove->setObjectName(QStringLiteral("deleteGroup"));
    m_show = new QPushButton(QIcon(QStringLiteral(":/Resources/Elementi/arrow-down.png")), QString());
    m_show->setObjectName(QStringLiteral("showItems"));
    m_hide = new QPushButton(QIcon(QStringLiteral(":/Resources/Elementi/arrow-up.png")), QString());
    m_hide->setObjectName(QStringLiteral("hideItems"));
    m_hide->hide();
    row->addWidget(edit);
    row->addWidget(remove);
    row->addStretch();
    row->addWidget(m_show);
    row->addWidget(m_hide);
    layout->addLayout(row);
    connect(edit, &QPushButton::clicked, this, &QSetGroupValueDialog::editGroup);
    connect(remove, &QPushButton::clicked, this, &QSetGroupValueDialog::deleteGroup);
    connect(m_show, &QPushButton::clicked, this, &QSetGroupValueDialog::showItems);
    connect(m_hide, &QPushButton::clicked, this, &QSetGroupValueDialog::hideItems);

    m_items = new QTreeWidget;
    m_items->setObjectName(QStringLiteral("itemsList"));
    m_items->setHeaderLabels({QStringLiteral("Power Supply"), QStringLiteral("Board"), QStringLiteral("Channel")});
    m_items->setRootIsDecorated(false);
    m_items->setMinimumWidth(360);
    m_items->hide();
    layout->addWidget(m_items);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QSetGroupValueDialog::clickedOkButton);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    refresh();
}

void QSetGroupValueDialog::refresh()
{
    if (!nodesValid() || !m_groups || m_index < 0 || m_index >= m_groups->groups().size())
        return;
    const ChannelGroup &g = m_groups->groups().at(m_index);
    setWindowTitle(QStringLiteral("Set %1 for Group %2").arg(g.parameter, g.name));

    delete m_editor;
    m_editor = nullptr;
    const QList<ORVEHVNode *> params = g.parameterNodes();
    for (const ORVEHVNode *p : params)
        followSystemOf(p);
    if (!params.isEmpty()) {
        ORVEHVNode *first = params.first();
        m_editor = new ORVEHVWidgetItem(first, this);
        m_editor->setObjectName(QStringLiteral("groupValueEditor"));
        m_editor->setEditorRole(false, true);
        // Collects a value only: nothing is written until OK.
        m_editor->buildEditor(first->dataType(), first->accessMode(), first->value().value, first->unitText(),
                              false);
        m_editor->setMinimumWidth(220);
        m_editorLayout->addWidget(m_editor);
        // what the field shows first is the first channel's present value,
        // never a value to send: OK waits for the operator's own
        connect(m_editor, &ORVEHVWidgetItem::valueFieldEdited, this, &QSetGroupValueDialog::updateOkButton);
        m_hint->setText(QStringLiteral("%0 of %1 %2 is shown. Type or choose the value for every channel of "
                                       "the group, then OK.")
                            .arg(g.parameter, first->boardName(), first->channelName()));
    }
    updateOkButton();

    m_items->clear();
    for (ORVEHVNode *p : params)
        m_items->addTopLevelItem(new QTreeWidgetItem({p->systemName(), p->boardName(), p->channelName()}));
    for (int c = 0; c < m_items->columnCount(); ++c)
        m_items->resizeColumnToContents(c);
    adjustSize();
}

void QSetGroupValueDialog::updateOkButton()
{
    if (m_ok)
        m_ok->setEnabled(m_editor && m_editor->isEdited() && m_editor->hasAcceptableInput());
}

void QSetGroupValueDialog::showItems()
{
    m_items->show();
    m_show->hide();
    m_hide->show();
    adjustSize();
}

void QSetGroupValueDialog::hideItems()
{
    m_items->hide();
    m_hide->hide();
    m_show->show();
    adjustSize();
}

void QSetGroupValueDialog::editGroup()
{
    auto *dialog = new QCreateSetGroupsDialog(m_groups, this, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void QSetGroupValueDialog::deleteGroup()
{
    // The question runs an event loop, in which this dialog may go.
    const QPointer<QSetGroupValueDialog> self(this);
    if (m_groups)
        m_groups->deleteGroup(m_index);
    if (self)
        close();
}

void QSetGroupValueDialog::clickedOkButton()
{
    if (!nodesValid() || !m_groups || !m_editor || m_index < 0 || m_index >= m_groups->groups().size()) {
        close();
        return;
    }
    // Each member reads the value by its own limits and texts (the editor's
    // text of a bit field is hexadecimal, an on/off or enumeration text is
    // the member's own); nothing is written to a member that cannot take it.
    const QVariant edited = m_editor->editedValue();
    const ChannelGroup &g = m_groups->groups().at(m_index);
    const QString closed = WriteGate::refusal(g.parameter);
    if (!closed.isEmpty()) {
        showOperatorMessage({QMessageBox::Warning, closed + QLatin1Char('.'), QString(), {}}, this);
        return;
    }
    if (!m_editor->isEdited() || !m_editor->hasAcceptableInput())
        return;  // nothing given yet (OK is disabled until then)
    // The question runs an event loop, in which the group may change and
    // this dialog go.
    const QPointer<QSetGroupValueDialog> alive(this);
    const bool go = SwitchOnQuestion::confirm(g.parameterNodes(), edited, this);
    if (!alive || !go || !nodesValid() || m_index >= m_groups->groups().size())
        return;
    const ChannelGroup &group = m_groups->groups().at(m_index);
    QStringList refused;
    for (ORVEHVNode *member : group.parameterNodes()) {
        QString reason;
        // One refused member does not stop the others.
        if (member->writeValue(edited, &reason) != 0)
            refused << QStringLiteral("%1 %2 %3: %4")
                           .arg(member->systemName(), member->boardName(), member->channelName(), reason);
    }
    if (!refused.isEmpty()) {
        // The box runs an event loop, in which the group's systems may change
        // and this dialog be closed and deleted.
        const QPointer<QSetGroupValueDialog> self(this);
        showOperatorMessage({QMessageBox::Warning,
                             QStringLiteral("%1 was not set on %2 of the channels of %3.")
                                 .arg(group.parameter)
                                 .arg(refused.size())
                                 .arg(group.name),
                             refused.join(QLatin1Char('\n')), {}},
                            this);
        if (!self)
            return;
    }
    close();
}
