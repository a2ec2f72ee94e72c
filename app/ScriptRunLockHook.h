#ifndef SCRIPTRUNLOCKHOOK_H
#define SCRIPTRUNLOCKHOOK_H

class MainWindow;

// While an action script runs, the main window's system panels and menus
// are disabled, and given back in the state they had before.
void installScriptRunLock(MainWindow *window);

#endif
