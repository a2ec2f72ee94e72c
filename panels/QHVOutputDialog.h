#ifndef QHVOUTPUTDIALOG_H
#define QHVOUTPUTDIALOG_H

// Reset ("HW Reset", QHVResetDialog) and recovery ("HW Recovery",
// QHVRecoveryDialog) of the six HV outputs of a B8181 through its system
// property "RstRecFlag": bits 0-5 recover output 0-5, bits 8-13 reset it.
// Each button asks the operator, then writes its one bit; the dialog stays
// open and "OK" closes it. Without "RstRecFlag" the buttons are disabled.

#include <QDialog>
#include <QList>
#include <QString>

class ORVEHVNode;
class QPushButton;

class QHVOutputDialog : public QDialog
{
    Q_OBJECT
public:
    static const char *const ButtonStyle;

    QList<QPushButton *> outputButtons() const { return m_buttons; }
    QPushButton *okButton() const { return m_ok; }
    // The value a button with this text writes (-1 for a text not ending
    // in a digit 0..5).
    int valueFor(const QString &buttonText) const;

public slots:
    void buttonClick();

protected:
    QHVOutputDialog(QWidget *parent, ORVEHVNode *systemNode, const QString &title, const QString &buttonPrefix,
                    int firstBit);

private:
    ORVEHVNode *m_systemNode;
    ORVEHVNode *m_flag;
    int m_firstBit;
    QList<QPushButton *> m_buttons;
    QPushButton *m_ok;
};

class QHVResetDialog : public QHVOutputDialog
{
    Q_OBJECT
public:
    QHVResetDialog(QWidget *parent, ORVEHVNode *systemNode);
};

class QHVRecoveryDialog : public QHVOutputDialog
{
    Q_OBJECT
public:
    QHVRecoveryDialog(QWidget *parent, ORVEHVNode *systemNode);
};

#endif
