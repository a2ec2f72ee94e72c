#ifndef QCUSTOMVIEWDIALOG_H
#define QCUSTOMVIEWDIALOG_H

// Chooses the channels of all connected systems that the custom view shows,
// and the parameters and their order. OK stores the choice in the nodes'
// custom-view attributes and emits viewConfigured(); the owner then shows
// it (re-applying the custom view, or creating it when there is none).

#include "views/QViewSelectionDialog.h"

class QListWidget;

class QCustomViewDialog : public QViewSelectionDialog
{
    Q_OBJECT
public:
    QCustomViewDialog(const QList<ORVEHVNode *> &systems, QWidget *parent = nullptr);

    QListWidget *listWidget() const { return m_list; }

    // "Crate%1.Board%2 [%3]" for a board of a B8181 system, else the name.
    static QString boardText(const ORVEHVNode *board);

signals:
    void viewConfigured();

public slots:
    void checkAllParametersClicked();

protected:
    void itemsChanged() override { refreshList(); }
    void applyChoice() override;

private:
    void refreshList();

    QListWidget *m_list = nullptr;
};

#endif
