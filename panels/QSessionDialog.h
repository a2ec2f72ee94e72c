#ifndef QSESSIONDIALOG_H
#define QSESSIONDIALOG_H

// The sessions logged in to a system: one row per record of its "Sessions"
// property. Deletes itself when closed.

#include <QDialog>

class QTreeWidget;

class QSessionDialog : public QDialog
{
    Q_OBJECT
public:
    QSessionDialog(QWidget *parent, const QString &sessions);

    QTreeWidget *tree() const { return m_tree; }

private:
    QTreeWidget *m_tree;
};

#endif
