#include "script/QScriptWizard.h"

#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/ParameterCodec.h"
#include "device/ValueText.h"
#include "views/ORVEHVWidgetItem.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString AllText = QStringLiteral("All");
const QString MiscText = QStringLiteral("Misc.");

// The value is one token of the script: no blanks, no ";".
bool isScriptToken(const QString &s)
{
    if (s.isEmpty() || s.contains(QLatin1Char(';')))
        return false;
    for (QChar c : s)
        if (c.isSpace())
            return false;
    return true;
}

QComboBox *makeChoice(const QString &name, const QStringList &items, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->setPlaceholderText(name);
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return c;
}

} // namespace

QScriptWizard::QScriptWizard(QSystemInterface *system, QWidget *parent)
    : QDialog(parent), m_system(system)
{
    setObjectName(QStringLiteral("scriptWizard"));
    setWindowTitle(QStringLiteral("Script Wizard"));

    m_actBox = new QGroupBox(QStringLiteral("Actions"), this);
    m_actBox->setObjectName(QStringLiteral("actBox"));
    m_actLayout = new QVBoxLayout(m_actBox);
    m_linesView = new QLabel(m_actBox);
    m_linesView->setObjectName(QStringLiteral("wizardLines"));
    m_linesView->setTextFormat(Qt::PlainText);
    m_linesView->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    m_linesView->setFont(mono);
    m_actLayout->addWidget(m_linesView);
    m_actLayout->addStretch(1);

    m_addButton = new QPushButton(QStringLiteral("Add Action"), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_remButton = new QPushButton(QStringLiteral("Rem Action"), this);
    m_remButton->setObjectName(QStringLiteral("remButton"));
    m_clearButton = new QPushButton(QStringLiteral("Clear Actions"), this);
    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    for (QPushButton *b : {m_addButton, m_remButton, m_clearButton})
        b->setAutoDefault(false);
    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(m_addButton);
    listButtons->addWidget(m_remButton);
    listButtons->addWidget(m_clearButton);
    listButtons->addStretch(1);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton()->setEnabled(false);
    okButton()->setAutoDefault(false);
    m_buttons->button(QDialogButtonBox::Cancel)->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_actBox, 1);
    layout->addLayout(listButtons);
    layout->addWidget(m_buttons);
    resize(760, 360);

    connect(m_addButton, &QPushButton::clicked, this, &QScriptWizard::addNewLine);
    connect(m_remButton, &QPushButton::clicked, this, &QScriptWizard::removeLine);
    connect(m_clearButton, &QPushButton::clicked, this, &QScriptWizard::removeAllLines);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QScriptWizard::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (system) {
        // the value editor points into the system's tree: it goes before the tree does
        connect(system, &QObject::destroyed, this, [this] {
            dropValueEditor();
            reject();
        });
        connect(system, &QSystemInterface::boardGone, this, [this] {
            const bool hadEditor = m_valueEditor;
            dropValueEditor();
            if (hadEditor)
                QTimer::singleShot(0, this, [this] {
                    if (m_system && m_lineWidget && !m_channels.isEmpty())
                        selectValueToSet();
                });
        });
    }
    refreshLinesView();
}

QScriptWizard::~QScriptWizard() = default;

QPushButton *QScriptWizard::okButton() const
{
    return m_buttons->button(QDialogButtonBox::Ok);
}

void QScriptWizard::accept()
{
    if (m_lines.isEmpty())
        return;
    if (m_acceptCheck && !m_acceptCheck())
        return;
    QDialog::accept();
}

void QScriptWizard::setListButtonsEnabled(bool enabled)
{
    m_addButton->setEnabled(enabled);
    m_remButton->setEnabled(enabled);
    m_clearButton->setEnabled(enabled);
}

void QScriptWizard::refreshLinesView()
{
    m_linesView->setText(m_lines.isEmpty() ? QStringLiteral("(no actions yet)") : m_lines.join(QLatin1Char('\n')));
    okButton()->setEnabled(!m_lines.isEmpty());
}

QString QScriptWizard::currentLineText() const
{
    QStringList parts;
    if (!m_keyword.isEmpty())
        parts << m_keyword;
    if (!m_parameter.isEmpty())
        parts << m_parameter;
    if (!m_channels.isEmpty())
        parts << m_channels;
    return parts.join(QLatin1Char(' ')) + (parts.isEmpty() ? QString() : QStringLiteral(" "));
}

// ------------------------------------------------------------------ lines

void QScriptWizard::addNewLine()
{
    if (m_lineWidget || !m_system)
        return;
    m_lineWidget = new QWidget(m_actBox);
    m_lineWidget->setObjectName(QStringLiteral("actionLineWidget"));
    m_lineLayout = new QHBoxLayout(m_lineWidget);
    m_lineLayout->setObjectName(QStringLiteral("actionLine"));
    m_lineLayout->setContentsMargins(0, 0, 0, 0);

    m_actionCombo = makeChoice(QStringLiteral("Action"), {QStringLiteral("SET"), QStringLiteral("WAIT")},
                               m_lineWidget);
    m_completeButton = new QPushButton(QStringLiteral("Complete"), m_lineWidget);
    m_completeButton->setObjectName(QStringLiteral("completeButton"));
    m_completeButton->setEnabled(false);
    m_completeButton->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), m_lineWidget);
    cancel->setAutoDefault(false);

    m_lineLayout->addWidget(m_actionCombo, 0, Qt::AlignTop);
    m_lineLayout->addStretch(1);
    m_lineLayout->addWidget(m_completeButton, 0, Qt::AlignTop);
    m_lineLayout->addWidget(cancel, 0, Qt::AlignTop);
    // above the stretch that keeps the lines at the top
    m_actLayout->insertWidget(m_actLayout->count() - 1, m_lineWidget);

    connect(m_actionCombo, qOverload<int>(&QComboBox::activated), this, &QScriptWizard::addOtherItemsIntoAction);
    connect(m_completeButton, &QPushButton::clicked, this, &QScriptWizard::lineOk);
    connect(cancel, &QPushButton::clicked, this, &QScriptWizard::removeLine);
    setListButtonsEnabled(false);
}

void QScriptWizard::dropValueEditor()
{
    if (m_valueEditor) {
        m_valueEditor->hide();
        delete m_valueEditor.data();
    }
    if (m_completeButton)
        m_completeButton->setEnabled(false);
}

void QScriptWizard::removeLine()
{
    if (!m_lineWidget)
        return;
    dropValueEditor();
    m_lineWidget->hide();
    m_lineWidget->deleteLater();
    m_lineWidget = nullptr;
    m_lineLayout = nullptr;
    m_actionCombo = m_paramCombo = m_channelsCombo = nullptr;
    m_tree = nullptr;
    m_waitSpin = nullptr;
    m_msecLabel = nullptr;
    m_completeButton = nullptr;
    m_keyword.clear();
    m_parameter.clear();
    m_channels.clear();
    setListButtonsEnabled(true);
}

void QScriptWizard::removeAllLines()
{
    removeLine();
    m_lines.clear();
    refreshLinesView();
}

void QScriptWizard::lineOk()
{
    if (!m_lineWidget)
        return;
    QString value;
    if (m_keyword == QLatin1String("wait") && m_waitSpin)
        value = QString::number(m_waitSpin->value());
    else if (m_keyword == QLatin1String("set") && m_valueEditor && !m_channels.isEmpty())
        value = scriptValue(m_valueEditor);
    if (value.isEmpty())
        return;
    m_lines << currentLineText() + value + QLatin1Char(';');
    removeLine();
    refreshLinesView();
}

// ------------------------------------------------------------- the pieces

QStringList QScriptWizard::writableParameterNames() const
{
    QStringList names;
    ORVEHVNode *root = m_system ? m_system->systemNode() : nullptr;
    if (!root)
        return names;
    for (ORVEHVNode *board : root->children()) {
        if (board->kind() == KindContainer)
            continue;
        for (ORVEHVNode *ch : board->children())
            for (ORVEHVNode *p : ch->parameters())
                if (p->accessMode() != AccessReadOnly && !names.contains(p->name()))
                    names << p->name();
    }
    return names;
}

ORVEHVNode *QScriptWizard::firstParameterNamed(const QString &name) const
{
    ORVEHVNode *root = m_system ? m_system->systemNode() : nullptr;
    if (!root)
        return nullptr;
    for (ORVEHVNode *board : root->children()) {
        if (board->kind() == KindContainer)
            continue;
        for (ORVEHVNode *ch : board->children())
            if (ORVEHVNode *p = ch->parameter(name))
                return p;
    }
    return nullptr;
}

void QScriptWizard::addOtherItemsIntoAction(int index)
{
    if (!m_lineWidget || m_paramCombo || m_waitSpin)
        return;  // the action of a line is chosen once
    m_actionCombo->setEnabled(false);
    const int at = m_lineLayout->indexOf(m_actionCombo) + 1;
    if (index == 0) {
        m_keyword = QStringLiteral("set");
        m_paramCombo = makeChoice(QStringLiteral("Parameter"), writableParameterNames(), m_lineWidget);
        m_lineLayout->insertWidget(at, m_paramCombo, 0, Qt::AlignTop);
        connect(m_paramCombo, qOverload<int>(&QComboBox::activated), this,
                &QScriptWizard::addAvailableChannelsChoice);
    } else {
        m_keyword = QStringLiteral("wait");
        m_waitSpin = new QSpinBox(m_lineWidget);
        m_waitSpin->setObjectName(QStringLiteral("waitSpin"));
        m_waitSpin->setRange(0, 2147483647);
        m_waitSpin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        m_waitSpin->setMinimumWidth(90);
        m_msecLabel = new QLabel(QStringLiteral("msec"), m_lineWidget);
        m_lineLayout->insertWidget(at, m_waitSpin, 0, Qt::AlignTop);
        m_lineLayout->insertWidget(at + 1, m_msecLabel, 0, Qt::AlignTop);
        connect(m_waitSpin, qOverload<int>(&QSpinBox::valueChanged), this, &QScriptWizard::lineCompleted);
        m_waitSpin->setFocus();
    }
}

void QScriptWizard::addAvailableChannelsChoice()
{
    if (!m_paramCombo || m_paramCombo->currentIndex() < 0)
        return;
    m_parameter = m_paramCombo->currentText();
    if (m_channelsCombo) {
        // another parameter: its editor may be of another kind
        dropValueEditor();
        if (!m_channels.isEmpty())
            selectValueToSet();
        return;
    }
    m_channelsCombo = makeChoice(QStringLiteral("Boards/Channels"), {AllText, MiscText}, m_lineWidget);
    m_lineLayout->insertWidget(m_lineLayout->indexOf(m_paramCombo) + 1, m_channelsCombo, 0, Qt::AlignTop);
    connect(m_channelsCombo, qOverload<int>(&QComboBox::activated), this, &QScriptWizard::selectChannels);
}

void QScriptWizard::selectChannels()
{
    if (!m_channelsCombo)
        return;
    if (m_channelsCombo->currentText() == AllText) {
        if (m_tree)
            m_tree->hide();
        m_channels = QStringLiteral("*");
    } else {
        if (!m_tree) {
            m_tree = new QTreeWidget(m_lineWidget);
            m_tree->setObjectName(QStringLiteral("miscChannels"));
            m_tree->setHeaderHidden(true);
            m_tree->setMinimumSize(180, 160);
            ORVEHVNode *root = m_system ? m_system->systemNode() : nullptr;
            const QVector<ORVEHVNode *> boards = root ? root->children() : QVector<ORVEHVNode *>();
            for (int b = 0; b < boards.size(); ++b) {
                ORVEHVNode *board = boards.at(b);
                if (board->kind() == KindContainer)
                    continue;
                auto *bi = new QTreeWidgetItem(m_tree, {QStringLiteral("%0 [%1] %2").arg(board->name()).arg(b).arg(board->model())});
                bi->setIcon(0, QIcon(QStringLiteral(":Resources/Elementi/modulo.png")));
                bi->setData(0, Qt::UserRole, b);
                bi->setCheckState(0, Qt::Unchecked);
                for (int c = 0; c < board->children().size(); ++c) {
                    auto *ci = new QTreeWidgetItem(bi, {QStringLiteral("%0 [%1]").arg(board->children().at(c)->name()).arg(c)});
                    ci->setIcon(0, QIcon(QStringLiteral(":Resources/Elementi/canale.png")));
                    ci->setData(0, Qt::UserRole, c);
                    ci->setCheckState(0, Qt::Unchecked);
                }
            }
            m_lineLayout->insertWidget(m_lineLayout->indexOf(m_channelsCombo) + 1, m_tree, 0, Qt::AlignTop);
            connect(m_tree, &QTreeWidget::itemChanged, this,
                    [this](QTreeWidgetItem *item) { changeItemVisibility(item); });
        }
        m_tree->show();
        storeMiscChannels();
    }
    if (!m_valueEditor)
        selectValueToSet();
    lineCompleted();
}

void QScriptWizard::changeItemVisibility(QTreeWidgetItem *currentItem)
{
    if (!currentItem || !m_tree)
        return;
    // a board's check carries over to its channels
    if (currentItem->childCount() > 0) {
        const QSignalBlocker block(m_tree);
        for (int i = 0; i < currentItem->childCount(); ++i)
            currentItem->child(i)->setCheckState(0, currentItem->checkState(0));
    }
    storeMiscChannels();
    lineCompleted();
}

void QScriptWizard::storeMiscChannels()
{
    if (!m_tree)
        return;
    QStringList groups;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *bi = m_tree->topLevelItem(i);
        QStringList channels;
        for (int c = 0; c < bi->childCount(); ++c)
            if (bi->child(c)->checkState(0) == Qt::Checked)
                channels << QString::number(bi->child(c)->data(0, Qt::UserRole).toInt());
        if (!channels.isEmpty())
            groups << QStringLiteral("%0{%1}").arg(bi->data(0, Qt::UserRole).toInt()).arg(channels.join(QLatin1Char(',')));
    }
    m_channels = groups.join(QLatin1Char(':'));
}

void QScriptWizard::selectValueToSet()
{
    if (!m_lineWidget || m_valueEditor || m_parameter.isEmpty())
        return;
    ORVEHVNode *model = firstParameterNamed(m_parameter);
    if (!model)
        return;
    auto *editor = new ORVEHVWidgetItem(model, m_lineWidget);
    editor->setObjectName(QStringLiteral("Value"));
    editor->setStyleSheet(QStringLiteral("min-width: 40px;"));
    editor->setEditorRole(false, true);
    // Without the commit connections: the editor collects a value for the
    // line, it never writes to the channel it took as its model.
    editor->buildEditor(model->dataType(), model->accessMode(), QVariant(), model->unitText(), false);
    QWidget *inner = editor->innerEditor();
    // nothing is offered as the value until the operator gives one
    editor->showNoValue();
    // The editor commits on Enter whatever its connections: Enter is taken
    // here before it reaches the editor.
    editor->installEventFilter(this);
    if (inner)
        inner->installEventFilter(this);
    connect(editor, &ORVEHVWidgetItem::valueFieldEdited, this, &QScriptWizard::lineCompleted);
    m_valueEditor = editor;
    const int at = m_lineLayout->indexOf(m_tree && m_tree->isVisible() ? static_cast<QWidget *>(m_tree)
                                                                       : m_channelsCombo);
    m_lineLayout->insertWidget(at + 1, editor, 0, Qt::AlignTop);
    editor->show();
}

bool QScriptWizard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && m_valueEditor &&
        (watched == m_valueEditor || watched == m_valueEditor->innerEditor())) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (m_completeButton && m_completeButton->isEnabled())
                lineOk();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QScriptWizard::lineCompleted()
{
    if (!m_completeButton)
        return;
    bool ok = false;
    if (m_keyword == QLatin1String("wait"))
        ok = m_waitSpin != nullptr;
    else if (m_keyword == QLatin1String("set"))
        ok = m_valueEditor && m_valueEditor->isEdited() && !m_channels.isEmpty()
             && !scriptValue(m_valueEditor).isEmpty();
    m_completeButton->setEnabled(ok);
}

QString QScriptWizard::scriptValue(const ORVEHVWidgetItem *editor)
{
    if (!editor || !editor->node() || !editor->innerEditor() || !editor->hasAcceptableInput())
        return QString();
    const ORVEHVNode *node = editor->node();
    const int type = editor->builtDataType();
    QWidget *inner = editor->innerEditor();
    if (type == DataOnOff) {
        const QString text = editor->editedValue().toString();
        return text.isEmpty() ? QString() : QString::number(onOffFromText(node, text) ? 1 : 0);
    }
    if (type == DataEnum) {
        auto *c = qobject_cast<QComboBox *>(inner);
        if (!c || c->currentIndex() < 0)
            return QString();
        return QString::number(enumFromText(node, c->currentText()));
    }
    if (auto *l = qobject_cast<QLineEdit *>(inner)) {
        // as the table shows it (a bit field in eight hexadecimal digits),
        // which is how the runner reads it back
        const ParameterCodec::ParseResult parsed = ParameterCodec::parse(node, l->text());
        const QString text = parsed.ok ? ParameterCodec::format(node, parsed.value) : QString();
        return isScriptToken(text) ? text : QString();
    }
    if (auto *d = qobject_cast<QDoubleSpinBox *>(inner))
        return QString::number(d->value(), 'g', QLocale::FloatingPointShortest);
    if (auto *s = qobject_cast<QSpinBox *>(inner))
        return QString::number(s->value());
    return QString();
}
