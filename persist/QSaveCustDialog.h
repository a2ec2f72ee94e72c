#ifndef QSAVECUSTDIALOG_H
#define QSAVECUSTDIALOG_H

// Chooses what a saved configuration records: one check box per connected
// system (its own view) and "CustomView" for the custom view when there is
// one. Every box starts ticked.

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QPushButton;

class QSaveCustDialog : public QDialog
{
    Q_OBJECT
public:
    QSaveCustDialog(const QStringList &systemNames, bool hasCustomView, QWidget *parent = nullptr);

    // One flag per listed system, in order.
    QList<bool> systemFlags() const;
    bool customViewFlag() const;
    QList<QCheckBox *> boxes() const { return m_boxes; }
    QCheckBox *customViewBox() const { return m_custom; }
    QPushButton *okButton() const { return m_ok; }

private:
    QList<QCheckBox *> m_boxes;
    QCheckBox *m_custom = nullptr;
    QPushButton *m_ok = nullptr;
};

#endif
