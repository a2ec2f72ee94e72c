#ifndef SYSTEMDIALOG_H
#define SYSTEMDIALOG_H

// The one lifetime rule of every dialog that holds nodes of a system's tree.
//
// A dialog follows the systems whose nodes it shows. When one of them is
// about to change its tree (a board inserted or removed, a joined board
// leaving, the system disconnected or deleted) or loses its connection, the
// dialog lets go of its nodes at once, before any is freed, and closes; Qt
// deletes it later from the event loop (the subclasses set
// Qt::WA_DeleteOnClose where they are opened). From then on nodesValid() is
// false and no slot of the dialog touches a node.
//
// Such a deletion can happen inside a nested event loop the dialog itself
// runs (an operator message): code after showOperatorMessage() checks a
// QPointer to the dialog before it touches `this` again. Operator messages
// are never children of the dialog (see device/OperatorMessage.h), so the
// operator still reads a refusal when the dialog has gone meanwhile.

#include <QDialog>
#include <QList>
#include <QPointer>

class ORVEHVNode;
class QSystemInterface;

class SystemDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SystemDialog(QWidget *parent = nullptr);

    // Follows one system (null is ignored; following twice is harmless).
    void followSystem(QSystemInterface *system);
    // Follows the live system whose tree this node belongs to (by its
    // library handle; a system node is found as such).
    void followSystemOf(const ORVEHVNode *node);

    // False once a followed system changed or went: no node may be touched.
    bool nodesValid() const { return !m_released; }

protected:
    // Called once, synchronously, before the nodes go: drop every pointer
    // into the tree. The dialog closes right after.
    virtual void releaseNodes() {}

private:
    void systemChanging();

    QList<QPointer<QSystemInterface>> m_systems;
    bool m_released = false;
};

#endif
