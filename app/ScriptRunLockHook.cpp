#include "app/ScriptRunLockHook.h"

#include "app/MainWindow.h"
#include "script/ScriptRunLock.h"

#include <QMenuBar>
#include <QPointer>

void installScriptRunLock(MainWindow *window)
{
    QPointer<MainWindow> w(window);
    script::setRunLockHook([w, panelsWereEnabled = true, menusWereEnabled = true](bool locked) mutable {
        if (!w)
            return;
        QWidget *panels = w->systemsArea();
        QWidget *menus = w->form().menuBar;
        if (locked) {
            panelsWereEnabled = panels && panels->isEnabled();
            menusWereEnabled = menus && menus->isEnabled();
            if (panels)
                panels->setEnabled(false);
            if (menus)
                menus->setEnabled(false);
        } else {
            if (panels)
                panels->setEnabled(panelsWereEnabled);
            if (menus)
                menus->setEnabled(menusWereEnabled);
        }
    });
}
