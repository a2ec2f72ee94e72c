#ifndef SYSTEMPANELBUILDER_H
#define SYSTEMPANELBUILDER_H

// Builds the per-system widgets of a QSystemInterface: the system box in the
// left dock's QCollapsibleWidget, the channel sub-window, the board
// information page of the right dock and the status bar. Called by the
// connection lifecycle (SystemConnections) and for the custom view's entry.
// The widgets follow their system's signals themselves (values, boards).
//
// buildPanels' parents: the QCollapsibleWidget of the left dock (or a widget
// containing one), the views area (the sub-window is created hidden with it
// as parent; the caller adds it to the area), the right dock's stack.

#include "device/QSystemInterface.h"

class QStackedWidget;

namespace SystemPanelBuilder {

// Box icon for an interface.
QString boxIcon(const QSystemInterface *sys);
// Name shown in the box title.
QString boxTitle(const QSystemInterface *sys);

// Box, sub-window and board information page (inserted into the stack at
// `position`, appended when negative); nothing without a system node.
void buildPanels(QSystemInterface *sys, QWidget *systemsAreaParent, QWidget *viewsParent,
                 QStackedWidget *boardInformationStack, int position);
// The status bar, filled from the system's connection.
void describeConnection(QSystemInterface *sys);

} // namespace SystemPanelBuilder

#endif
