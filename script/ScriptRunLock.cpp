#include "script/ScriptRunLock.h"

#include "device/WriteGate.h"
#include "script/ScriptRunner.h"
#include "views/QCustomTableWidget.h"

#include <QApplication>
#include <QList>
#include <QPair>
#include <QPointer>

namespace script {

namespace {

RunLockHook &hook()
{
    static RunLockHook h;
    return h;
}

int lockDepth = 0;
QList<QPair<QPointer<QAbstractItemView>, QAbstractItemView::EditTriggers>> lockedTables;
QList<ScriptRunner *> runs;

} // namespace

void setRunLockHook(RunLockHook h)
{
    hook() = std::move(h);
}

void lockForRun(const QString &why)
{
    if (lockDepth++ > 0)
        return;
    // the widgets below are only the visible part: the gate refuses every
    // other write, from whatever dialog is still open
    WriteGate::close(why);
    // the triggers each table had, to give back exactly those afterwards
    for (QWidget *w : QApplication::allWidgets()) {
        if (auto *t = qobject_cast<QCustomTableWidget *>(w)) {
            lockedTables.append({QPointer<QAbstractItemView>(t), t->editTriggers()});
            t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        }
    }
    if (hook())
        hook()(true);
}

void unlockAfterRun()
{
    if (lockDepth == 0 || --lockDepth > 0)
        return;
    for (const auto &entry : std::as_const(lockedTables)) {
        if (entry.first)
            entry.first->setEditTriggers(entry.second);
    }
    lockedTables.clear();
    WriteGate::open();
    if (hook())
        hook()(false);
}

bool isLockedForRun()
{
    return lockDepth > 0;
}

void registerRun(ScriptRunner *runner)
{
    if (!runs.contains(runner))
        runs.append(runner);
}

void unregisterRun(ScriptRunner *runner)
{
    runs.removeAll(runner);
}

bool anyRunActive()
{
    return !runs.isEmpty();
}

void stopAllRuns()
{
    for (ScriptRunner *r : std::as_const(runs))
        r->requestStop();
}

} // namespace script
