#ifndef SCRIPTRUNLOCK_H
#define SCRIPTRUNLOCK_H

// While a script runs the operator's other ways of writing to the systems
// are locked: every write but the runner's own is refused by the device
// write gate (WriteGate), the channel tables take no edits (done here), and
// whatever the application registers with setRunLockHook (its panels and
// menus) is disabled.
// Locks nest; the first lock and the last unlock reach the hook.
// GUI thread only.

#include <QString>

#include <functional>

namespace script {

using RunLockHook = std::function<void(bool locked)>;
void setRunLockHook(RunLockHook hook);

// `why` starts every refusal of another write while locked.
void lockForRun(const QString &why = QStringLiteral("A script is running"));
void unlockAfterRun();
bool isLockedForRun();

// Every run in the process: registered by the runners themselves, so the
// application can stop all of them before it tears systems down.
class ScriptRunner;
void registerRun(ScriptRunner *runner);
void unregisterRun(ScriptRunner *runner);
bool anyRunActive();
void stopAllRuns();

} // namespace script

#endif
