#ifndef VIEWACCESS_H
#define VIEWACCESS_H

// What the main window asks of a system's per-system widgets, which the
// system interface holds as plain widgets: channel sub-window, status bar,
// system box, board information panel. Kept in one place so the main window
// does not depend on how each panel is built.

#include <QString>

class QWidget;
class ORVEHVNode;
class QSystemInterface;

namespace ViewAccess {

// Channel sub-window
void clearSelection(QWidget *subWindow);
// Selects the row whose first-column text equals name; false when none does.
bool selectChannel(QWidget *subWindow, const QString &name);
QString subWindowTitle(QSystemInterface *sys);

// Status bar (connection state 0..3, lamps)
void setStatus(QWidget *statusBar, int state);
void setLamps(QWidget *statusBar, bool sync, bool warning, bool error);
void clearLamps(QWidget *statusBar);

// System box
void setBoxSelected(QWidget *box, bool selected);
void setDisconnectText(QWidget *box, const QString &text);
QString disconnectText(QWidget *box);

// A system that has gone quiet: its status bar and box say its values may
// be old (and its lamps go out) until it reports again. Tables repaint
// their cells, which a silent system's nodes draw greyed.
void showSilence(QSystemInterface *sys, bool silent);
void repaintTables(QWidget *subWindow);

// Board information panel (its content while disconnected).
void setPanelContentEnabled(QWidget *panel, bool enabled);

} // namespace ViewAccess

#endif
