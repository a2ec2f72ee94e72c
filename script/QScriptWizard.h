#ifndef QSCRIPTWIZARD_H
#define QSCRIPTWIZARD_H

// Builds script lines from choices instead of typing: action, parameter,
// channels (all, or picked in a tree of boards and channels) and the value,
// entered in the program's value editor. Building a line only edits text:
// the value editor is never connected to the device, Enter in it included.

#include <QDialog>
#include "device/QSystemInterface.h"
#include "views/ORVEHVWidgetItem.h"

#include <QPointer>
#include <QStringList>
#include <functional>

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class ORVEHVNode;

class QScriptWizard : public QDialog
{
    Q_OBJECT
public:
    explicit QScriptWizard(QSystemInterface *system, QWidget *parent = nullptr);
    ~QScriptWizard() override;

    // Asked before the wizard is accepted; false keeps it open.
    void setAcceptCheck(std::function<bool()> check) { m_acceptCheck = std::move(check); }
    // The completed lines, each ending with ";".
    QStringList lines() const { return m_lines; }
    // The text of the line being built so far.
    QString currentLineText() const;

    QWidget *lineWidget() const { return m_lineWidget; }
    QComboBox *actionCombo() const { return m_actionCombo; }
    QComboBox *parameterCombo() const { return m_paramCombo; }
    QComboBox *channelsCombo() const { return m_channelsCombo; }
    QTreeWidget *channelTree() const { return m_tree; }
    ORVEHVWidgetItem *valueEditor() const { return m_valueEditor; }
    QSpinBox *waitSpin() const { return m_waitSpin; }
    QPushButton *completeButton() const { return m_completeButton; }
    QPushButton *okButton() const;

    // The line's value as the runner reads it (on/off as 1 or 0, an
    // enumeration as its number, bit fields in hexadecimal as the table
    // shows them); empty when the editor holds nothing the parameter takes
    // or a script can carry.
    static QString scriptValue(const ORVEHVWidgetItem *editor);

public slots:
    void accept() override;
    void addNewLine();
    void removeLine();
    void removeAllLines();
    void lineOk();
    void addOtherItemsIntoAction(int index);
    void addAvailableChannelsChoice();
    void selectChannels();
    void storeMiscChannels();
    void selectValueToSet();
    void lineCompleted();
    void changeItemVisibility(QTreeWidgetItem *currentItem);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setListButtonsEnabled(bool enabled);
    void refreshLinesView();
    void dropValueEditor();
    ORVEHVNode *firstParameterNamed(const QString &name) const;
    QStringList writableParameterNames() const;

    QPointer<QSystemInterface> m_system;
    std::function<bool()> m_acceptCheck;
    QStringList m_lines;

    QGroupBox *m_actBox = nullptr;
    QVBoxLayout *m_actLayout = nullptr;
    QLabel *m_linesView = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_remButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QDialogButtonBox *m_buttons = nullptr;

    // the line being built
    QWidget *m_lineWidget = nullptr;
    QHBoxLayout *m_lineLayout = nullptr;
    QComboBox *m_actionCombo = nullptr;
    QComboBox *m_paramCombo = nullptr;
    QComboBox *m_channelsCombo = nullptr;
    QTreeWidget *m_tree = nullptr;
    QPointer<ORVEHVWidgetItem> m_valueEditor;
    QSpinBox *m_waitSpin = nullptr;
    QLabel *m_msecLabel = nullptr;
    QPushButton *m_completeButton = nullptr;
    QString m_keyword;
    QString m_parameter;
    QString m_channels;
};

#endif
