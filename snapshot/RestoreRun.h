#ifndef RESTORERUN_H
#define RESTORERUN_H

// Carries out a restore plan one write at a time from the event loop, so
// that Cancel is seen between two writes and the window stays alive. Before
// the first write it takes a snapshot of what it is about to replace (the
// undo snapshot: restoring it undoes the restore). At the end one report:
// what was written, what was refused and why, what was skipped.
// GUI thread only.

#include "snapshot/RestorePlan.h"

#include <QObject>
#include <functional>

class ORVEHVNode;

namespace snapshot {

struct RestoreReport
{
    QVector<PlannedWrite> written;
    QVector<ItemOutcome> refused;   // by the plan and by the devices
    QVector<ItemOutcome> skipped;   // not tried: cancelled, or held back for safety
    bool cancelled = false;
    int switchedOn = 0;             // Pw on writes the devices took
};

class RestoreRun : public QObject
{
    Q_OBJECT
public:
    // The systems connected at the time of each write (a system may go
    // while the restore runs).
    using LiveSystems = std::function<QList<ORVEHVNode *>()>;

    RestoreRun(const RestorePlan &plan, LiveSystems liveSystems, QObject *parent = nullptr);

    // Takes the undo snapshot and starts writing from the event loop.
    void start();
    // All writes at once, without returning to the event loop.
    void runToEnd();
    // The write under way completes; no further write is sent.
    void cancel();

    bool isFinished() const { return m_finished; }
    int total() const { return m_plan.writes.size(); }
    int done() const { return m_next; }
    const Snapshot &undoSnapshot() const { return m_undo; }
    const RestoreReport &report() const { return m_report; }
    const RestorePlan &plan() const { return m_plan; }

signals:
    void undoSnapshotTaken(const snapshot::Snapshot &undo);
    // After each write: how many are done of the total, and the next one.
    void progress(int done, int total);
    void finished();

private:
    void takeUndoSnapshot();
    void writeNext();
    void scheduleNext();
    void finish();

    RestorePlan m_plan;
    LiveSystems m_live;
    Snapshot m_undo;
    RestoreReport m_report;
    QSet<QString> m_failedChannels;
    int m_next = 0;
    bool m_started = false;
    bool m_cancelRequested = false;
    bool m_finished = false;
};

} // namespace snapshot

#endif
