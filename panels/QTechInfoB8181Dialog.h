#ifndef QTECHINFOB8181DIALOG_H
#define QTECHINFOB8181DIALOG_H

#include "panels/QTechInfoDialog.h"

// The technical information of a B8181 rack (see QTechInfoDialog).
class QTechInfoB8181Dialog : public QTechInfoDialog
{
    Q_OBJECT
public:
    QTechInfoB8181Dialog(QWidget *parent, const ORVEHVNode *systemNode);
};

#endif
