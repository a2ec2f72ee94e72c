#ifndef ORVEHVWIDGETITEM_H
#define ORVEHVWIDGETITEM_H

// The value editor of one parameter node: a table cell editor, and the entry
// widget of the group value dialog and the script wizard. Picks its inner
// editor from the node's data type, library type and access mode, commits
// on focus leaving and on Enter (in offset columns only on Enter), writes
// through the node and announces the committed value with endEditing().
// One operator action writes once: a refused write puts the node's value
// back, so the focus leaving afterwards sends nothing again.
//
// Dynamic properties: "OffsetAll" (float, the last offset entered in an
// offset column) and "Entered" (bool, a value was committed with Enter in an
// offset column).

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>

class ORVEHVNode;
class QHBoxLayout;
class QLabel;
class QKeyEvent;

class ORVEHVWidgetItem : public QWidget
{
    Q_OBJECT
public:
    static const char *const TransparentSheet;

    // Without a node nothing is ever built. `styled` false makes the item
    // transparent (table cells).
    explicit ORVEHVWidgetItem(ORVEHVNode *node, QWidget *parent = nullptr, bool styled = true);
    ~ORVEHVWidgetItem() override;

    ORVEHVNode *node() const { return m_node; }
    int builtDataType() const { return m_dataType; }

    // Role of the inner editor, given before buildEditor: a table cell
    // editor, or an editor inside a dialog (keeps its look).
    void setEditorRole(bool inTable, bool inDialog);

    // The editor factory. `connectCommit` makes the commit connections
    // (table cells, script wizard); without it the editor only collects.
    void buildEditor(int dataType, int accessMode, const QVariant &value, const QString &unitText,
                     bool connectCommit);

    QWidget *innerEditor() const { return m_editor; }
    QLabel *unitLabel() const { return m_unitLabel; }

    // The editor's value: integers (signed for data types 0-2, unsigned for
    // 3-5), a float, a text, the on/off or enumeration text; 0 otherwise.
    QVariant editedValue() const;
    // The value as the cell shows it, with the unit.
    QString displayText() const;
    // True when this is a float editor of a current (voltage) set column
    // while the table that holds it has Offset_I (Offset_V) set.
    bool isOffsetColumn() const;
    // Puts the node's current value back into the editor, signals blocked.
    void restoreFromNode();
    // Shows no value at all (empty field, no choice), for dialogs where the
    // operator must give one.
    void showNoValue();
    // The operator typed into the field or chose an entry since it was
    // filled (programmatic changes do not count).
    bool isEdited() const { return m_edited; }
    // The field holds something its parameter can take: a number within
    // the limits, a choice made, text the validator accepts.
    bool hasAcceptableInput() const;
    // Why the write of the value being announced was refused (empty when it
    // was not); whoever takes it tells the operator, else this editor does
    // once the announcement is over.
    QString takeRefusal();
    // Asked before every write of this editor (the table asks the operator
    // before a value that switches several channels on): false writes and
    // announces nothing, and the editor shows the stored value again. The
    // editor outlives a question's event loop.
    using WriteCheck = std::function<bool(const QVariant &value)>;
    void setWriteCheck(WriteCheck check) { m_writeCheck = std::move(check); }

signals:
    void valueFieldEdited();
    void endEditing(QVariant value);

public slots:
    void endEdit();
    void valueFieldEndEdit();
    void commitOnEnter();

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setEditorValue(const QVariant &value);
    // The inner editor's operator-only signals (typed, chosen, clicked).
    void followOperatorEdits(QWidget *editor);
    void clearShownValue();
    // The line edit's text read for the node (ParameterCodec): the value,
    // or false (the cell keeps the node's value and the operator is told
    // why) when the node cannot take it.
    bool valueFromText(QVariant *value);
    // Writes through the node; a refusal is told once and the editor shows
    // the node's value again.
    // EditorGone: the editor was deleted (with its table) while the
    // operator was asked; nothing of it may be touched any more.
    static constexpr int EditorGone = -2;
    int write(const QVariant &value);
    // endEditing(value), unless the write gate refused this editor's write.
    void announce(const QVariant &value);
    // write(), then announce() while the editor still exists.
    void send(const QVariant &value);
    void tellRefusal(const QString &reason);
    // Enter or the focus leaving a spin box whose typed number it cannot
    // take: told and put back; true when the event is used up.
    bool refuseOutOfRangeTyping(QEvent *event);
    // Whether a wheel turned over the inner editor may change its value.
    bool wheelMayEdit() const;
    void commitCombo(bool testChange);
    void commitSwitch();
    double minval() const;
    double maxval() const;

    ORVEHVNode *m_node = nullptr;
    int m_dataType = -1;
    int m_accessMode = 0;
    QHBoxLayout *m_layout = nullptr;
    QPointer<QWidget> m_editor;
    QLabel *m_unitLabel = nullptr;
    bool m_styled = true;
    bool m_inTable = false;
    bool m_inDialog = false;
    bool m_enterHandled = false;
    bool m_gateRefused = false;
    bool m_declined = false;     // the write check said no
    bool m_edited = false;
    bool m_noValueShown = false;
    bool m_asking = false;       // inside the write check
    bool m_deleteAfterAsking = false;
    WriteCheck m_writeCheck;
    QString m_refusal;
    // Built with the commit connections: only then does Enter write.
    bool m_commits = false;
};

#endif
