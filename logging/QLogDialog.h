#ifndef QLOGDIALOG_H
#define QLOGDIALOG_H

// "Advanced Logging": which channels and parameters of a mainframe are
// logged, and the log file. The tree lists boards with their channels; a
// channel takes part when it is switched on (bold), switched by clicking.
// The list holds every channel parameter name and the system parameters.
// Accepting writes the selection into the nodes' logged flags and the file
// name into the configured log path; cancelling changes nothing. It follows
// its system (views/SystemDialog.h): a crate map change, a disconnection or
// a lost connection closes it before any node goes.

#include "views/SystemDialog.h"

#include <QString>

class ORVEHVNode;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class QLogDialog : public SystemDialog
{
    Q_OBJECT
public:
    QLogDialog(QWidget *parent, ORVEHVNode *systemNode);

    // Whether a tree item is switched on (shown bold).
    static bool isItemOn(const QTreeWidgetItem *item);
    // The log file the dialog would configure ("" before any edit: the
    // configured path stays as it is).
    QString chosenPath() const { return m_path; }

public slots:
    void changeItemVisibility(QTreeWidgetItem *item);
    void okButtonClicked();
    void fileButtonClicked();
    void fileLineChanged(QString text);

protected:
    void releaseNodes() override { m_systemNode = nullptr; }

private:
    void fill();
    static void setItemOn(QTreeWidgetItem *item, bool on);

    ORVEHVNode *m_systemNode = nullptr;
    QTreeWidget *m_tree = nullptr;
    QListWidget *m_parameters = nullptr;
    QLineEdit *m_fileLine = nullptr;
    QPushButton *m_chooseButton = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QString m_path;
};

#endif
