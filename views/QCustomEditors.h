#ifndef QCUSTOMEDITORS_H
#define QCUSTOMEDITORS_H

// Input widgets used inside ORVEHVWidgetItem. They share one behaviour:
// inside a table cell they turn transparent and leave the arrow keys to the
// table; elsewhere (outside a dialog) they light up while focused. Each keeps
// the style sheet it had when its look was last remembered and puts it back
// on focus-out.

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QString>

class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QWidget;

// Role flags and the remembered style sheet of one input widget.
class EditorLook
{
public:
    static const char *const TableSheet;     // inside a table cell
    static const char *const HighlightSheet; // focused, outside table and dialog

    explicit EditorLook(QWidget *w) : m_widget(w) {}

    // Entering the table role with a sheet of its own (combo boxes) applies
    // that sheet at once and keeps it as the one to restore.
    void setTableFlag(bool on);
    void setTableSheet(const char *sheet) { m_tableSheet = sheet; m_ownTableSheet = true; }
    bool tableFlag() const { return m_table; }
    void setDialogFlag(bool on) { m_dialog = on; }
    bool dialogFlag() const { return m_dialog; }
    // Takes the widget's current style sheet as the one to restore.
    void remember();
    QString rememberedSheet() const { return m_kept; }

    void focusIn(bool writable);
    void mousePress(bool writable) { focusIn(writable); }
    void focusOut();
    // Any key: transparent in a table. Returns true when the key must be left
    // to the table (arrow keys in a table) or dropped (comma, when asked).
    bool keyPress(QKeyEvent *e, bool dropComma);

private:
    QWidget *m_widget;
    QString m_kept;
    const char *m_tableSheet = TableSheet;
    bool m_ownTableSheet = false;
    bool m_table = false;
    bool m_dialog = false;
};

#define KEBO_EDITOR_LOOK_API                                                   \
public:                                                                        \
    void setTableFlag(bool on) { m_look.setTableFlag(on); }                    \
    bool tableFlag() const { return m_look.tableFlag(); }                      \
    void setDialogFlag(bool on) { m_look.setDialogFlag(on); }                  \
    bool dialogFlag() const { return m_look.dialogFlag(); }                    \
    void rememberStyleSheet() { m_look.remember(); }                           \
    QString rememberedStyleSheet() const { return m_look.rememberedSheet(); }  \
                                                                               \
protected:                                                                     \
    EditorLook m_look{this};

// Both spin boxes keep a number typed beyond their limits (as not yet
// acceptable) instead of dropping the keystroke: the value editor then
// refuses it aloud rather than sending what is left of it.
class QCustomSpinBox : public QSpinBox
{
    Q_OBJECT
    KEBO_EDITOR_LOOK_API
public:
    explicit QCustomSpinBox(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

class QCustomDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT
    KEBO_EDITOR_LOOK_API
public:
    explicit QCustomDoubleSpinBox(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

class QCustomLineEdit : public QLineEdit
{
    Q_OBJECT
    KEBO_EDITOR_LOOK_API
public:
    explicit QCustomLineEdit(QWidget *parent = nullptr);

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

class QCustomComboBox : public QComboBox
{
    Q_OBJECT
    KEBO_EDITOR_LOOK_API
public:
    static const char *const PopupSheet;
    // Frameless and opaque in a table cell: the cell keeps showing its
    // on/off or enumeration text underneath (it is refreshed while edited),
    // and the platform style draws a transparent framed combo box black.
    static const char *const TableComboSheet;
    explicit QCustomComboBox(QWidget *parent = nullptr);

public slots:
    void clearComboCurrentText();

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

// A label that reports a click (press and release inside it).
class QCustomLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QCustomLabel(QWidget *parent = nullptr);
    explicit QCustomLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    bool m_pressed = false;
};

#undef KEBO_EDITOR_LOOK_API

#endif
