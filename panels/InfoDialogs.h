#ifndef INFODIALOGS_H
#define INFODIALOGS_H

// The information dialogs the commands panel and the Help menu open. Each
// dialog is modeless unless said otherwise and deletes itself when closed;
// these functions only build and show it.

class ORVEHVNode;
class QString;
class QWidget;

namespace InfoDialogs {
// "SESSIONS": the logged-in sessions of the system property "Sessions".
void openSessions(QWidget *parent, ORVEHVNode *systemNode);
// "CRATE\nMAP" / "RACK\nMAP": every slot of the system node.
void openCrateMap(QWidget *parent, ORVEHVNode *systemNode, int systemType);
// "TECH\nINFO": the firmware, power module and front panel texts (the B8181
// variant for system type 16).
void openTechInfo(QWidget *parent, ORVEHVNode *systemNode, int systemType);
// "SYS\nINFO" of a mainframe: CPU load, memory and command queue.
void openSysInfo(QWidget *parent, ORVEHVNode *systemNode);
// The settings button: the system's web administration page, logged in.
void openWebPage(QWidget *parent, ORVEHVNode *systemNode, const QString &connectionArgument);
// Help > "About..": modal.
void openAbout(QWidget *parent);
}  // namespace InfoDialogs

#endif
