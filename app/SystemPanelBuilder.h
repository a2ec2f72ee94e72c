#ifndef SYSTEMPANELBUILDER_H
#define SYSTEMPANELBUILDER_H

// Builds the per-system widgets of a QSystemInterface: the system box in the
// left dock's QCollapsibleWidget, the channel sub-window, the board
// information page of the right dock and the status bar. Registered once at
// start-up:
//
//     static SystemPanelBuilder builder;
//     QSystemInterface::setPanelFactory(&builder);
//
// buildPanels' parents: the QCollapsibleWidget of the left dock (or a widget
// containing one), the views area (the sub-window is created hidden with it
// as parent; the caller adds it to the area), the right dock's stack.

#include "device/QSystemInterface.h"

class SystemPanelBuilder : public QSystemPanelFactory
{
public:
    // Box icon for an interface.
    static QString boxIcon(const QSystemInterface *sys);
    // Name shown in the box title.
    static QString boxTitle(const QSystemInterface *sys);

    void buildPanels(QSystemInterface *sys, QWidget *systemsAreaParent, QWidget *viewsParent,
                     QStackedWidget *boardInformationStack, int position) override;
    void describeConnection(QSystemInterface *sys) override;
    void refreshPanels(QSystemInterface *sys, ORVEHVNode *node) override;
    void boardsChanged(QSystemInterface *sys) override;
};

#endif
