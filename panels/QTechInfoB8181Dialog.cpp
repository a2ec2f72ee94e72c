#include "panels/QTechInfoB8181Dialog.h"

QTechInfoB8181Dialog::QTechInfoB8181Dialog(QWidget *parent, const ORVEHVNode *systemNode)
    : QTechInfoDialog(parent, systemNode, true)
{
    setWindowTitle(QStringLiteral("Technical Information"));
}
