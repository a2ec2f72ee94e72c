#ifndef QSYSINFOB8181DIALOG_H
#define QSYSINFOB8181DIALOG_H

// "System Information" of a B8181: its frequencies and periods, and the
// 48 V current limit, the one value that can be changed here. The values are
// read from the system when the dialog opens; accepting writes "ACDCIlim"
// only when the operator chose another limit. A refused write is reported
// and the dialog stays open with the choice.

#include <QDialog>
#include <QHash>
#include <QString>

class ORVEHVNode;
class QComboBox;
class QLabel;

class QSysInfoB8181Dialog : public QDialog
{
    Q_OBJECT
public:
    QSysInfoB8181Dialog(QWidget *parent, ORVEHVNode *systemNode);

    QComboBox *limitCombo() const { return m_limit; }
    // The text shown for a property ("HighFreq", ...), null when not shown.
    QString shownText(const QString &property) const;

public slots:
    void okButtonClicked();

private:
    ORVEHVNode *m_systemNode;
    QComboBox *m_limit;
    int m_limitRead = -1;  // -1: the limit could not be read
    QHash<QString, QLabel *> m_values;
};

#endif
