#include "views/ORVEHVWidgetItem.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/ParameterCodec.h"
#include "device/ValueText.h"
#include "device/WriteGate.h"
#include "views/ORVEHVSwitch.h"
#include "views/ParameterValidator.h"
#include "views/QCustomEditors.h"
#include "views/TableRules.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>

#include <climits>
#include <utility>
#include <cmath>

// Not on pop-ups (context menus of the editors inside): they would show black.
const char *const ORVEHVWidgetItem::TransparentSheet =
    "*:!window { background:transparent; selection-background-color:transparent; selection-color:#555555; }";

namespace {

int clampToInt(double v)
{
    if (!std::isfinite(v))
        return v < 0 ? -INT_MAX : INT_MAX;
    if (v <= -2147483647.0)
        return -INT_MAX;
    if (v >= 2147483647.0)
        return INT_MAX;
    return int(std::llround(v));
}

bool isBinary(const ORVEHVNode *n, int dataType)
{
    return dataType >= 0 && dataType <= 2 && ParameterCodec::isBitField(n);
}

QStringList enumTexts(const ORVEHVNode *n)
{
    return n->propertyValue(QStringLiteral("Enum")).toStringList();
}

} // namespace

ORVEHVWidgetItem::ORVEHVWidgetItem(ORVEHVNode *node, QWidget *parent, bool styled)
    : QWidget(parent), m_node(node), m_styled(styled)
{
    setContentsMargins(0, 0, 0, 0);
    setProperty("OffsetAll", 0.0f);
    setProperty("Entered", false);
    if (!m_styled)
        setStyleSheet(TransparentSheet);
}

ORVEHVWidgetItem::~ORVEHVWidgetItem()
{
    // The inner editor dies with the QWidget part of this item and may
    // still emit (focus leaving on hide); this item's slots are gone by then.
    if (m_editor) {
        m_editor->removeEventFilter(this);
        disconnect(m_editor, nullptr, this, nullptr);
    }
}

void ORVEHVWidgetItem::setEditorRole(bool inTable, bool inDialog)
{
    m_inTable = inTable;
    m_inDialog = inDialog;
}

double ORVEHVWidgetItem::minval() const
{
    return TableRules::rangeValue(m_node->propertyValue(QStringLiteral("Minval")),
                                  TableRules::DefaultMin);
}

double ORVEHVWidgetItem::maxval() const
{
    return TableRules::rangeValue(m_node->propertyValue(QStringLiteral("Maxval")),
                                  TableRules::DefaultMax);
}

bool ORVEHVWidgetItem::isOffsetColumn() const
{
    if (!m_node || m_node->dataType() != DataFloat)
        return false;
    const int type = TableRules::offsetParamType(m_node->name());
    if (type < 0)
        return false;
    // only the table this editor sits in decides; a dialog never adds offsets
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (qobject_cast<QTableWidget *>(w))
            return w->property(type == 0 ? "Offset_I" : "Offset_V").toBool();
    }
    return false;
}

template <class W>
static W *makeLook(W *w, bool inTable, bool inDialog)
{
    w->setTableFlag(inTable);
    w->setDialogFlag(inDialog);
    return w;
}

void ORVEHVWidgetItem::buildEditor(int dataType, int accessMode, const QVariant &value,
                                   const QString &unitText, bool connectCommit)
{
    if (!m_node || m_editor)
        return;
    m_dataType = dataType;
    m_accessMode = accessMode;
    m_commits = connectCommit;
    const bool readOnly = accessMode == AccessReadOnly;
    const int libType = m_node->libraryType();

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    QWidget *editor = nullptr;
    auto boldLabel = [&](const QString &text) {
        auto *l = new QCustomLabel(text, this);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };

    if (dataType >= 0 && dataType <= 2 && (libType == 2 || libType == 3)) {
        const QString text = libType == 3 ? boardStatusText(m_node->systemType(), value.toInt())
                                          : channelStatusText(m_node->systemType(), value.toInt());
        auto *l = new QCustomLabel(text, this);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        editor = l;
    } else if (isBinary(m_node, dataType)) {
        auto *e = makeLook(new QCustomLineEdit(this), m_inTable, m_inDialog);
        e->setMaxLength(8);
        e->setText(hexText(value.toLongLong()));
        if (!readOnly)
            e->setValidator(new ParameterValidator(m_node, e));
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (connectCommit) {
            connect(e, &QLineEdit::editingFinished, this, &ORVEHVWidgetItem::endEdit);
            connect(e, &QLineEdit::textChanged, this, &ORVEHVWidgetItem::valueFieldEndEdit);
        }
        editor = e;
    } else if ((dataType >= 0 && dataType <= 5)) {
        auto *s = makeLook(new QCustomSpinBox(this), m_inTable, m_inDialog);
        s->setButtonSymbols(QAbstractSpinBox::NoButtons);
        s->setFrame(false);
        s->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        s->setRange(clampToInt(minval()), clampToInt(maxval()));
        s->setValue(dataType >= 3 ? clampToInt(double(value.toUInt())) : clampToInt(value.toDouble()));
        if (connectCommit) {
            connect(s, &QAbstractSpinBox::editingFinished, this, &ORVEHVWidgetItem::endEdit);
            connect(s, qOverload<int>(&QSpinBox::valueChanged), this,
                    &ORVEHVWidgetItem::valueFieldEndEdit);
        }
        editor = s;
    } else if (dataType == DataFloat) {
        auto *s = makeLook(new QCustomDoubleSpinBox(this), m_inTable, m_inDialog);
        s->setButtonSymbols(QAbstractSpinBox::NoButtons);
        s->setFrame(false);
        s->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const QVariant dec = m_node->propertyValue(QStringLiteral("Decimal"));
        s->setDecimals(dec.isValid() ? qBound(0, dec.toInt(), 10) : 2);
        if (isOffsetColumn())
            s->setRange(TableRules::DefaultMin, TableRules::DefaultMax); // negative offsets
        else
            s->setRange(minval(), maxval());
        s->setValue(value.toDouble());
        if (connectCommit) {
            connect(s, &QAbstractSpinBox::editingFinished, this, &ORVEHVWidgetItem::endEdit);
            connect(s, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                    &ORVEHVWidgetItem::valueFieldEndEdit);
        }
        editor = s;
    } else if (dataType == DataText) {
        auto *e = makeLook(new QCustomLineEdit(this), m_inTable, m_inDialog);
        e->setText(value.toString());
        if (!readOnly)
            e->setValidator(new ParameterValidator(m_node, e));
        if (connectCommit) {
            connect(e, &QLineEdit::editingFinished, this, &ORVEHVWidgetItem::endEdit);
            connect(e, &QLineEdit::textChanged, this, &ORVEHVWidgetItem::valueFieldEndEdit);
        }
        editor = e;
    } else if (dataType == DataOnOff) {
        const QString on = onOffText(m_node, true);
        const QString off = onOffText(m_node, false);
        if (readOnly) {
            editor = boldLabel(value.toBool() ? on : off);
        } else if (m_node->kind() == KindChannelParameter) {
            auto *c = makeLook(new QCustomComboBox(this), m_inTable, m_inDialog);
            c->addItems({on, off});
            c->setCurrentIndex(value.toBool() ? 0 : 1);
            if (connectCommit) {
                connect(c, qOverload<int>(&QComboBox::activated), this, &ORVEHVWidgetItem::endEdit);
                connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this,
                        &ORVEHVWidgetItem::endEdit);
                connect(c, qOverload<int>(&QComboBox::activated), this,
                        &ORVEHVWidgetItem::valueFieldEndEdit);
                connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this,
                        &ORVEHVWidgetItem::valueFieldEndEdit);
            }
            editor = c;
        } else {
            auto *sw = new ORVEHVSwitch(on, off, this);
            sw->setChecked(value.toBool());
            if (connectCommit) {
                connect(sw, &QAbstractButton::clicked, this, &ORVEHVWidgetItem::endEdit);
                connect(sw, &QAbstractButton::clicked, this, &ORVEHVWidgetItem::valueFieldEndEdit);
            }
            editor = sw;
        }
    } else if (dataType == DataEnum) {
        const QStringList texts = enumTexts(m_node);
        if (readOnly) {
            editor = boldLabel(enumText(m_node, value.toInt()));
        } else {
            auto *c = makeLook(new QCustomComboBox(this), m_inTable, m_inDialog);
            c->addItems(texts);
            const int index = value.toInt() - clampToInt(TableRules::rangeValue(
                                                  m_node->propertyValue(QStringLiteral("Minval")), 0));
            if (index >= 0 && index < c->count())
                c->setCurrentIndex(index);
            if (connectCommit) {
                connect(c, qOverload<int>(&QComboBox::activated), this, &ORVEHVWidgetItem::endEdit);
                connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this,
                        &ORVEHVWidgetItem::endEdit);
                connect(c, qOverload<int>(&QComboBox::activated), this,
                        &ORVEHVWidgetItem::valueFieldEndEdit);
                connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this,
                        &ORVEHVWidgetItem::valueFieldEndEdit);
            }
            editor = c;
        }
    } else {
        editor = new QCustomLabel(value.toString(), this);
    }

    m_editor = editor;
    editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (readOnly) {
        QFont f = editor->font();
        f.setBold(true);
        editor->setFont(f);
        if (auto *s = qobject_cast<QAbstractSpinBox *>(editor))
            s->setReadOnly(true);
        if (auto *e = qobject_cast<QLineEdit *>(editor))
            e->setReadOnly(true);
        if (auto *c = qobject_cast<QComboBox *>(editor))
            c->setEnabled(false);
    } else {
        editor->setCursor(Qt::PointingHandCursor);
    }
    if (!readOnly)
        followOperatorEdits(editor);
    if (!m_inTable) {
        // in a dialog the field is wide enough for the longest number it
        // takes, so the unit never sits over the digits
        double widest = 0;
        int decimals = 0;
        if (auto *d = qobject_cast<QDoubleSpinBox *>(editor)) {
            widest = qMax(qAbs(d->minimum()), qAbs(d->maximum()));
            decimals = d->decimals();
        } else if (auto *i = qobject_cast<QSpinBox *>(editor)) {
            widest = qMax(qAbs(double(i->minimum())), qAbs(double(i->maximum())));
        }
        if (widest > 0)
            editor->setMinimumWidth(editor->fontMetrics().horizontalAdvance(
                                        QStringLiteral("-") + QString::number(widest, 'f', decimals))
                                    + 16);
    }
    // the wheel never gives an editor the focus (see wheelMayEdit)
    if (editor->focusPolicy() == Qt::WheelFocus)
        editor->setFocusPolicy(Qt::StrongFocus);
    editor->installEventFilter(this);
    setFocusProxy(editor);


    const bool binary = isBinary(m_node, dataType);
    if (binary) {
        // "0x" before the digits
        setLayoutDirection(Qt::RightToLeft);
        m_layout->addSpacing(2);
    }
    m_layout->addWidget(editor);
    if (dataType != DataEnum) {
        m_unitLabel = new QLabel(unitText, this);
        m_unitLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        m_unitLabel->setVisible(!unitText.isEmpty());
        if (binary)
            m_layout->addSpacing(3);
        m_layout->addWidget(m_unitLabel);
        m_layout->addSpacing(2);
    }
    for (QWidget *w : findChildren<QWidget *>())
        if (auto *e = qobject_cast<QCustomLineEdit *>(w))
            e->rememberStyleSheet();
}

void ORVEHVWidgetItem::setEditorValue(const QVariant &value)
{
    QWidget *e = m_editor;
    if (!e || !m_node)
        return;
    const QSignalBlocker block(e);
    if (auto *s = qobject_cast<QSpinBox *>(e)) {
        s->setValue(m_dataType >= 3 ? clampToInt(double(value.toUInt())) : clampToInt(value.toDouble()));
    } else if (auto *d = qobject_cast<QDoubleSpinBox *>(e)) {
        d->setValue(value.toDouble());
    } else if (auto *l = qobject_cast<QLineEdit *>(e)) {
        l->setText(isBinary(m_node, m_dataType) ? hexText(value.toLongLong()) : value.toString());
    } else if (auto *sw = qobject_cast<ORVEHVSwitch *>(e)) {
        sw->setChecked(value.toBool());
    } else if (auto *c = qobject_cast<QComboBox *>(e)) {
        if (m_dataType == DataOnOff) {
            c->setCurrentIndex(value.toBool() ? 0 : 1);
        } else {
            const int index = value.toInt() - clampToInt(TableRules::rangeValue(
                                                  m_node->propertyValue(QStringLiteral("Minval")), 0));
            if (index >= 0 && index < c->count())
                c->setCurrentIndex(index);
        }
    }
}

void ORVEHVWidgetItem::restoreFromNode()
{
    if (m_node)
        setEditorValue(m_node->value().value);
    m_edited = false;
    m_noValueShown = false;
}

void ORVEHVWidgetItem::followOperatorEdits(QWidget *editor)
{
    auto edited = [this] {
        m_edited = true;
        m_noValueShown = false;
        emit valueFieldEdited();
    };
    QLineEdit *line = qobject_cast<QLineEdit *>(editor);
    if (qobject_cast<QAbstractSpinBox *>(editor))
        line = editor->findChild<QLineEdit *>();
    if (line)
        connect(line, &QLineEdit::textEdited, this, edited);
    if (auto *c = qobject_cast<QComboBox *>(editor))
        connect(c, qOverload<int>(&QComboBox::activated), this, edited);
    if (auto *sw = qobject_cast<ORVEHVSwitch *>(editor))
        connect(sw, &QAbstractButton::clicked, this, edited);
}

void ORVEHVWidgetItem::clearShownValue()
{
    QWidget *e = m_editor;
    const QSignalBlocker block(e);
    if (auto *c = qobject_cast<QComboBox *>(e))
        c->setCurrentIndex(-1);
    else if (auto *l = qobject_cast<QLineEdit *>(e))
        l->clear();
    else if (auto *line = qobject_cast<QAbstractSpinBox *>(e) ? e->findChild<QLineEdit *>() : nullptr)
        line->clear();
}

void ORVEHVWidgetItem::showNoValue()
{
    if (!m_editor)
        return;
    if (auto *c = qobject_cast<QComboBox *>(m_editor.data()))
        c->setPlaceholderText(QStringLiteral("choose"));
    clearShownValue();
    m_edited = false;
    m_noValueShown = true;
}

bool ORVEHVWidgetItem::hasAcceptableInput() const
{
    QWidget *e = m_editor;
    if (m_noValueShown)
        return false;
    if (auto *s = qobject_cast<QAbstractSpinBox *>(e))
        return s->hasAcceptableInput();
    if (auto *l = qobject_cast<QLineEdit *>(e))
        return l->hasAcceptableInput() && !l->text().isEmpty();
    if (auto *c = qobject_cast<QComboBox *>(e))
        return c->currentIndex() >= 0;
    return e != nullptr;
}

QVariant ORVEHVWidgetItem::editedValue() const
{
    QWidget *e = m_editor;
    if (!e)
        return QVariant(0);
    if (auto *s = qobject_cast<QSpinBox *>(e)) {
        if (m_dataType >= 3 && m_dataType <= 5)
            return QVariant(uint(s->value()));
        return QVariant(s->value());
    }
    if (auto *d = qobject_cast<QDoubleSpinBox *>(e))
        return QVariant(float(d->value()));
    if (auto *l = qobject_cast<QLineEdit *>(e))
        return QVariant(l->text());
    if (auto *sw = qobject_cast<ORVEHVSwitch *>(e))
        return QVariant(sw->text());
    if (auto *c = qobject_cast<QComboBox *>(e))
        return QVariant(c->currentText());
    return QVariant(0);
}

QString ORVEHVWidgetItem::displayText() const
{
    if (!m_node)
        return QString();
    const QString unit = m_unitLabel ? m_unitLabel->text() : m_node->unitText();
    QString valueText;
    if (m_dataType == DataFloat)
        valueText = fixedText(editedValue().toDouble(), m_node->decimals());
    else
        valueText = editedValue().toString();
    if (m_node->libraryType() == 4)
        return unit + QLatin1Char(' ') + valueText;
    return valueText + QLatin1Char(' ') + unit;
}

int ORVEHVWidgetItem::write(const QVariant &value)
{
    // A refused write puts the node's value back into the editor: the
    // focus leaving afterwards then finds nothing to send again.
    if (m_writeCheck) {
        m_asking = true;
        const QPointer<ORVEHVWidgetItem> self(this);
        const bool go = m_writeCheck(value);
        if (!self)
            return EditorGone;  // deleted with its table during the question
        m_asking = false;
        m_declined = !go || m_deleteAfterAsking;
        if (m_deleteAfterAsking) {
            // closed by a rebuild of the table, whose nodes may be gone by
            // now: nothing of them is read again
            deleteLater();
            return -1;
        }
        if (!go) {
            restoreFromNode();
            return -1;
        }
    }
    QString reason;
    const int result = m_node->writeValue(value, &reason);
    m_gateRefused = result == WriteGate::RefusedCode;
    if (result != 0)
        restoreFromNode();
    if (result != 0 && result != -1)
        m_refusal = reason;  // told by announce(), with the other cells' when there are any
    return result;
}

void ORVEHVWidgetItem::send(const QVariant &value)
{
    if (write(value) != EditorGone)
        announce(value);
}

void ORVEHVWidgetItem::announce(const QVariant &value)
{
    // the gate refuses the other selected cells just the same: not handed
    // on; nor is a value the operator declined
    if (!m_gateRefused && !m_declined)
        emit endEditing(value);
    m_gateRefused = false;
    m_declined = false;
    const QString untold = takeRefusal();
    if (!untold.isEmpty())
        tellRefusal(untold);
}

QString ORVEHVWidgetItem::takeRefusal()
{
    return std::exchange(m_refusal, QString());
}

void ORVEHVWidgetItem::tellRefusal(const QString &reason)
{
    showOperatorMessage({QMessageBox::Warning, QStringLiteral("%0 was not written.").arg(m_node->name()),
                         QStringLiteral("%0.\n%1 keeps its value %2.")
                             .arg(reason, m_node->name(), m_node->cellText().trimmed()),
                         {}},
                        this);
}

void ORVEHVWidgetItem::valueFieldEndEdit()
{
    emit valueFieldEdited();
}

void ORVEHVWidgetItem::commitSwitch()
{
    auto *sw = qobject_cast<ORVEHVSwitch *>(m_editor.data());
    if (!sw)
        return;
    const int v = sw->isChecked() ? 1 : 0;
    const QVariant cur = m_node->value().value;
    if (!cur.isValid() || cur.isNull() || cur.toInt() != v) {
        write(QVariant(v));
        announce(QVariant(v));
    }
}

void ORVEHVWidgetItem::commitCombo(bool testChange)
{
    auto *c = qobject_cast<QComboBox *>(m_editor.data());
    if (!c)
        return;
    const QVariant cur = m_node->value().value;
    const bool noValue = !cur.isValid() || cur.isNull();
    if (m_dataType == DataOnOff) {
        const bool v = onOffFromText(m_node, c->currentText());
        if (!testChange || noValue || cur.toBool() != v) {
            write(QVariant(v));
            announce(QVariant(v));
        }
    } else {
        const int v = enumFromText(m_node, c->currentText());
        if (!testChange || noValue || cur.toInt() != v) {
            write(QVariant(v));
            announce(QVariant(v));
        }
    }
}

bool ORVEHVWidgetItem::valueFromText(QVariant *value)
{
    auto *l = qobject_cast<QLineEdit *>(m_editor.data());
    if (!l)
        return false;
    const ParameterCodec::ParseResult parsed = ParameterCodec::parse(m_node, l->text());
    if (parsed.ok) {
        *value = parsed.value;
        return true;
    }
    // a typo must never clear a bit word (trip lines): keep the value
    restoreFromNode();
    if (parsed.problem != ParameterCodec::Empty)
        tellRefusal(parsed.reason);
    return false;
}

void ORVEHVWidgetItem::endEdit()
{
    if (!m_node || !m_editor || m_accessMode == AccessReadOnly)
        return;
    const QVariant cur = m_node->value().value;
    switch (m_dataType) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5: {
        QVariant v;
        if (qobject_cast<QLineEdit *>(m_editor.data())) {
            if (!isBinary(m_node, m_dataType) || !valueFromText(&v))
                return;
        } else if (qobject_cast<QSpinBox *>(m_editor.data())) {
            v = editedValue();
        } else {
            return; // status labels commit nothing
        }
        if (TableRules::differs(cur, v, m_dataType)) {
            send(v);
        }
        break;
    }
    case DataFloat: {
        auto *d = qobject_cast<QDoubleSpinBox *>(m_editor.data());
        if (!d || isOffsetColumn())
            return; // an offset is committed with Enter only
        const float v = float(d->value());
        if (TableRules::differs(cur, QVariant(v), DataFloat)) {
            QVariant sent(v);
            if (write(sent) == EditorGone)
                return;
            const QSignalBlocker block(d);
            d->setValue(double(v));
            announce(sent);
        }
        break;
    }
    case DataText: {
        auto *l = qobject_cast<QLineEdit *>(m_editor.data());
        if (!l)
            return;
        const QString t = l->text();
        QVariant v;
        if ((!cur.isValid() || cur.isNull() || cur.toString() != t) && valueFromText(&v)) {
            send(v);
        }
        break;
    }
    case DataOnOff:
        if (qobject_cast<ORVEHVSwitch *>(m_editor.data()))
            commitSwitch();
        else
            commitCombo(true);
        break;
    case DataEnum:
        commitCombo(true);
        break;
    default:
        break;
    }
}

void ORVEHVWidgetItem::commitOnEnter()
{
    if (!m_node || !m_editor || m_accessMode == AccessReadOnly)
        return;
    if (auto *s = qobject_cast<QAbstractSpinBox *>(m_editor.data()))
        s->interpretText();
    const QVariant cur = m_node->value().value;
    switch (m_dataType) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5: {
        if (qobject_cast<QLineEdit *>(m_editor.data())) {
            QVariant v;
            if (!isBinary(m_node, m_dataType) || !valueFromText(&v))
                return;
            send(v);
        } else if (qobject_cast<QSpinBox *>(m_editor.data())) {
            const QVariant v = editedValue();
            send(v);
        }
        break;
    }
    case DataFloat: {
        auto *d = qobject_cast<QDoubleSpinBox *>(m_editor.data());
        if (!d)
            return;
        const float typed = float(d->value());
        if (!isOffsetColumn()) {
            QVariant sent(typed);
            if (TableRules::differs(cur, sent, DataFloat) && write(sent) == EditorGone)
                return;
            announce(sent);
            return;
        }
        // offset: relative to the value the device reported; with no such
        // value there is nothing to add to
        const int status = m_node->value().status;
        if (!cur.isValid() || cur.isNull() || status == ValueReadFailed || status == ValueNeverRead)
            return;
        double target = 0;
        if (!TableRules::offsetTarget(cur.toDouble(), double(typed), minval(), maxval(), &target))
            return;
        {
            const QSignalBlocker block(d);
            d->setValue(target);
        }
        setProperty("OffsetAll", typed);
        setProperty("Entered", true);
        QVariant sent = QVariant::fromValue(float(target));
        if (TableRules::differs(cur, sent, DataFloat) && write(sent) == EditorGone)
            return;
        announce(sent);
        break;
    }
    case DataText: {
        auto *l = qobject_cast<QLineEdit *>(m_editor.data());
        if (!l)
            return;
        QVariant v;
        if (!valueFromText(&v))
            return;
        send(v);
        break;
    }
    case DataOnOff:
        if (qobject_cast<ORVEHVSwitch *>(m_editor.data()))
            commitSwitch();
        else
            commitCombo(false);
        break;
    case DataEnum:
        commitCombo(false);
        break;
    default:
        break;
    }
}

bool ORVEHVWidgetItem::wheelMayEdit() const
{
    // A cell editor opens on a single click and commits a combo box choice
    // at once: a wheel notch over it would switch a channel (or, with its
    // column selected, all of them). Only an editor that merely collects a
    // value, and that the operator is working in, takes the wheel.
    return !m_commits && !m_inTable && m_editor && m_editor->hasFocus();
}

bool ORVEHVWidgetItem::refuseOutOfRangeTyping(QEvent *event)
{
    // A spin box would quietly put its old value back on its own; the
    // operator is told instead, through the same reasons as every write.
    auto *spin = qobject_cast<QAbstractSpinBox *>(m_editor.data());
    if (!spin || spin->hasAcceptableInput())
        return false;
    QString typed;
    if (auto *i = qobject_cast<QSpinBox *>(spin))
        typed = i->cleanText();
    else if (auto *d = qobject_cast<QDoubleSpinBox *>(spin))
        typed = d->cleanText();
    if (typed.isEmpty())
        return false;
    const bool enter = event->type() == QEvent::KeyPress
                       && (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return
                           || static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter);
    if (!enter && event->type() != QEvent::FocusOut)
        return false;
    QString reason = ParameterCodec::parse(m_node, typed).reason;
    if (reason.isEmpty())
        reason = QStringLiteral("%0 is out of range").arg(typed);
    restoreFromNode();
    tellRefusal(reason);
    // Enter is consumed; the focus leaving goes on (the spin box shows the
    // node's value again, so it commits nothing)
    return enter;
}

bool ORVEHVWidgetItem::eventFilter(QObject *watched, QEvent *event)
{
    // Enter is handled before the inner editor sees it, so the editor's own
    // editingFinished afterwards finds nothing changed and the value is
    // written once, not twice.
    // An editor that only collects a value (group and wizard dialogs) never
    // writes, not even on Enter.
    if (watched == m_editor && m_noValueShown
        && (event->type() == QEvent::FocusOut || event->type() == QEvent::Show)) {
        // a spin box puts its last value back when shown or left empty: the
        // field stays empty until the operator gives one
        QTimer::singleShot(0, this, [this] {
            if (m_noValueShown)
                clearShownValue();
        });
    }
    if (watched == m_editor && event->type() == QEvent::Wheel && !wheelMayEdit()) {
        // left to the table (or dialog) underneath, which scrolls
        event->ignore();
        return true;
    }
    if (m_commits && watched == m_editor && refuseOutOfRangeTyping(event))
        return true;
    if (m_commits && watched == m_editor && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            m_enterHandled = true;
            const QPointer<ORVEHVWidgetItem> self(this);
            commitOnEnter();
            if (!self)
                return true;  // gone with its table during a question: the key ends here
        } else if (k->key() == Qt::Key_Escape && !qobject_cast<QComboBox *>(m_editor.data())) {
            // Escape abandons the entry: put the value back before the
            // editor closes, so leaving it commits nothing
            restoreFromNode();
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ORVEHVWidgetItem::event(QEvent *e)
{
    // Closed (table rebuilt) while the operator is being asked: the editor
    // goes once the question is over, the commit under way declined.
    if (e->type() == QEvent::DeferredDelete && m_asking) {
        m_deleteAfterAsking = true;
        return true;
    }
    return QWidget::event(e);
}

void ORVEHVWidgetItem::keyPressEvent(QKeyEvent *e)
{
    if (m_commits && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        const QPointer<ORVEHVWidgetItem> self(this);
        if (!m_enterHandled)
            commitOnEnter();
        if (!self)
            return;
        m_enterHandled = false;
    }
    QWidget::keyPressEvent(e);
}
