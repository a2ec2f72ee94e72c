#include "panels/InfoDialogs.h"

// Not built yet: each opens nothing.
namespace InfoDialogs {
void openSessions(QWidget *, ORVEHVNode *) {}
void openCrateMap(QWidget *, ORVEHVNode *, int) {}
void openTechInfo(QWidget *, ORVEHVNode *, int) {}
void openSysInfo(QWidget *, ORVEHVNode *) {}
void openWebPage(QWidget *, ORVEHVNode *, const QString &) {}
void openAbout(QWidget *) {}
}  // namespace InfoDialogs
