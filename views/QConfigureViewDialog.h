#ifndef QCONFIGUREVIEWDIALOG_H
#define QCONFIGUREVIEWDIALOG_H

// Chooses the channels and parameters of one system's Custom mode, and their
// order. OK stores the choice in the nodes' own-view attributes and lets the
// system's sub-window show it when it is in Custom mode.

#include "views/QViewSelectionDialog.h"

#include <QPointer>

class QSubWindow;

class QConfigureViewDialog : public QViewSelectionDialog
{
    Q_OBJECT
public:
    // `subWindow` may be null (nothing is re-applied then).
    QConfigureViewDialog(ORVEHVNode *system, QSubWindow *subWindow, QWidget *parent = nullptr);

protected:
    void storeBoards() override;
    void applyChoice() override;

private:
    QPointer<QSubWindow> m_subWindow;
};

#endif
