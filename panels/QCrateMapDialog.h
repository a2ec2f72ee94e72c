#ifndef QCRATEMAPDIALOG_H
#define QCRATEMAPDIALOG_H

// Every slot of a system, empty ones included: slot (crate and slot on a
// rack, base address on a VME HV crate), model, description, serial number
// and firmware release. Deletes itself when closed.

#include <QDialog>

class ORVEHVNode;
class QTreeWidget;

class QCrateMapDialog : public QDialog
{
    Q_OBJECT
public:
    QCrateMapDialog(QWidget *parent, const ORVEHVNode *systemNode, int systemType);

    QTreeWidget *tree() const { return m_tree; }

private:
    QTreeWidget *m_tree;
};

#endif
