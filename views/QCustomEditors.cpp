#include "views/QCustomEditors.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

// ":!window" keeps the looks off the editor's own pop-ups: a context menu
// would inherit a transparent background and show black.
const char *const EditorLook::TableSheet = "*:!window { background:transparent; }";
const char *const EditorLook::HighlightSheet =
    "*:!window { background:#383838; border: 2px solid #98bd40; color: #bfff27; }";
const char *const QCustomComboBox::PopupSheet =
    "QAbstractItemView { background-color:lightgrey; selection-background-color:#383838; "
    "selection-color:#bfff27; }";

const char *const QCustomComboBox::TableComboSheet =
    "QComboBox { background:#FEFEFE; border:none; padding-left:4px; }";

void EditorLook::setTableFlag(bool on)
{
    m_table = on;
    if (on && m_ownTableSheet) {
        m_widget->setStyleSheet(QLatin1String(m_tableSheet));
        m_kept = m_widget->styleSheet();
    }
}

void EditorLook::remember()
{
    m_kept = m_widget->styleSheet();
}

void EditorLook::focusIn(bool writable)
{
    if (m_table)
        m_widget->setStyleSheet(QLatin1String(m_tableSheet));
    else if (!m_dialog && writable)
        m_widget->setStyleSheet(HighlightSheet);
}

void EditorLook::focusOut()
{
    m_widget->setStyleSheet(m_kept);
}

bool EditorLook::keyPress(QKeyEvent *e, bool dropComma)
{
    if (dropComma && e->key() == Qt::Key_Comma) {
        e->accept();
        return true;
    }
    if (m_table) {
        if (m_widget->styleSheet() != QLatin1String(m_tableSheet))
            m_widget->setStyleSheet(QLatin1String(m_tableSheet));
        switch (e->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            // the table moves between cells with these
            e->ignore();
            return true;
        default:
            break;
        }
    }
    return false;
}

// ------------------------------------------------------------ spin box
namespace {

QValidator::State keepOutOfRange(QValidator::State state, const QString &input, const QLocale &locale,
                                 double min, double max)
{
    if (state != QValidator::Invalid)
        return state;
    const QString t = input.trimmed();
    if (t == QLatin1String("-") || t == QLatin1String("+"))
        return QValidator::Intermediate;
    bool ok = false;
    const double v = locale.toDouble(t, &ok);
    return ok && (v < min || v > max) ? QValidator::Intermediate : state;
}

} // namespace

QCustomSpinBox::QCustomSpinBox(QWidget *parent) : QSpinBox(parent)
{
    m_look.remember();
}

QValidator::State QCustomSpinBox::validate(QString &input, int &pos) const
{
    return keepOutOfRange(QSpinBox::validate(input, pos), input, locale(), minimum(), maximum());
}

void QCustomSpinBox::focusInEvent(QFocusEvent *e)
{
    m_look.focusIn(!isReadOnly());
    QSpinBox::focusInEvent(e);
    // in a cell, what is typed replaces the value rather than extending it
    if (m_look.tableFlag())
        selectAll();
}

void QCustomSpinBox::focusOutEvent(QFocusEvent *e)
{
    m_look.focusOut();
    QSpinBox::focusOutEvent(e);
}

void QCustomSpinBox::mousePressEvent(QMouseEvent *e)
{
    m_look.mousePress(!isReadOnly());
    QSpinBox::mousePressEvent(e);
}

void QCustomSpinBox::keyPressEvent(QKeyEvent *e)
{
    if (m_look.keyPress(e, false))
        return;
    QSpinBox::keyPressEvent(e);
}

// ----------------------------------------------------- double spin box
QCustomDoubleSpinBox::QCustomDoubleSpinBox(QWidget *parent) : QDoubleSpinBox(parent)
{
    m_look.remember();
    // Values are shown and typed with a decimal point whatever the
    // desktop's language, as everywhere else in the program.
    setLocale(QLocale::c());
}

QValidator::State QCustomDoubleSpinBox::validate(QString &input, int &pos) const
{
    return keepOutOfRange(QDoubleSpinBox::validate(input, pos), input, locale(), minimum(), maximum());
}

void QCustomDoubleSpinBox::focusInEvent(QFocusEvent *e)
{
    m_look.focusIn(!isReadOnly());
    QDoubleSpinBox::focusInEvent(e);
    // in a cell, what is typed replaces the value rather than extending it
    if (m_look.tableFlag())
        selectAll();
}

void QCustomDoubleSpinBox::focusOutEvent(QFocusEvent *e)
{
    m_look.focusOut();
    QDoubleSpinBox::focusOutEvent(e);
}

void QCustomDoubleSpinBox::mousePressEvent(QMouseEvent *e)
{
    m_look.mousePress(!isReadOnly());
    QDoubleSpinBox::mousePressEvent(e);
}

void QCustomDoubleSpinBox::keyPressEvent(QKeyEvent *e)
{
    if (m_look.keyPress(e, false))
        return;
    if (e->key() == Qt::Key_Comma) {
        // a decimal comma typed out of habit is the decimal point
        QKeyEvent point(e->type(), Qt::Key_Period, e->modifiers(), QStringLiteral("."),
                        e->isAutoRepeat(), ushort(e->count()));
        QDoubleSpinBox::keyPressEvent(&point);
        e->setAccepted(point.isAccepted());
        return;
    }
    QDoubleSpinBox::keyPressEvent(e);
}

// ----------------------------------------------------------- line edit
QCustomLineEdit::QCustomLineEdit(QWidget *parent) : QLineEdit(parent)
{
    m_look.remember();
}

void QCustomLineEdit::focusInEvent(QFocusEvent *e)
{
    m_look.focusIn(!isReadOnly());
    QLineEdit::focusInEvent(e);
    // in a cell, what is typed replaces the value rather than extending it
    if (m_look.tableFlag())
        selectAll();
}

void QCustomLineEdit::focusOutEvent(QFocusEvent *e)
{
    m_look.focusOut();
    QLineEdit::focusOutEvent(e);
}

void QCustomLineEdit::mousePressEvent(QMouseEvent *e)
{
    m_look.mousePress(!isReadOnly());
    QLineEdit::mousePressEvent(e);
}

void QCustomLineEdit::keyPressEvent(QKeyEvent *e)
{
    if (m_look.keyPress(e, true))
        return;
    QLineEdit::keyPressEvent(e);
}

// ----------------------------------------------------------- combo box
QCustomComboBox::QCustomComboBox(QWidget *parent) : QComboBox(parent)
{
    view()->setStyleSheet(PopupSheet);
    m_look.setTableSheet(TableComboSheet);
    m_look.remember();
}

void QCustomComboBox::clearComboCurrentText()
{
    if (isEditable())
        clearEditText();
}

void QCustomComboBox::focusInEvent(QFocusEvent *e)
{
    m_look.focusIn(true);
    QComboBox::focusInEvent(e);
}

void QCustomComboBox::focusOutEvent(QFocusEvent *e)
{
    m_look.focusOut();
    QComboBox::focusOutEvent(e);
}

void QCustomComboBox::mousePressEvent(QMouseEvent *e)
{
    m_look.mousePress(true);
    QComboBox::mousePressEvent(e);
}

void QCustomComboBox::keyPressEvent(QKeyEvent *e)
{
    if (m_look.keyPress(e, false))
        return;
    if (m_look.tableFlag() && e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier) {
        // space steps through the states, wrapping round
        if (count() > 0) {
            setCurrentIndex((currentIndex() + 1) % count());
        }
        e->accept();
        return;
    }
    QComboBox::keyPressEvent(e);
}

// --------------------------------------------------------------- label
QCustomLabel::QCustomLabel(QWidget *parent) : QLabel(parent) {}

QCustomLabel::QCustomLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {}

void QCustomLabel::mousePressEvent(QMouseEvent *e)
{
    m_pressed = e->button() == Qt::LeftButton;
    QLabel::mousePressEvent(e);
}

void QCustomLabel::mouseReleaseEvent(QMouseEvent *e)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    QLabel::mouseReleaseEvent(e);
    if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}
