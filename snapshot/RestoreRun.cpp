#include "snapshot/RestoreRun.h"

#include "device/ORVEHVNode.h"
#include "snapshot/SetpointWrite.h"
#include "snapshot/SnapshotCapture.h"

#include <QTimer>

namespace snapshot {

RestoreRun::RestoreRun(const RestorePlan &plan, LiveSystems liveSystems, QObject *parent)
    : QObject(parent), m_plan(plan), m_live(std::move(liveSystems))
{
    m_report.refused = m_plan.refused;
}

void RestoreRun::takeUndoSnapshot()
{
    m_started = true;
    QList<ORVEHVNode *> involved;
    const QList<ORVEHVNode *> live = m_live();
    for (const SystemRecord &s : std::as_const(m_plan.source.systems))
        if (ORVEHVNode *n = findLiveSystem(live, s.key))
            involved.append(n);
    m_undo = capture(involved, QStringLiteral("Before restoring the snapshot of %1 (%2)")
                                   .arg(m_plan.source.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                        m_plan.source.comment));
    emit undoSnapshotTaken(m_undo);
}

void RestoreRun::start()
{
    if (m_started)
        return;
    takeUndoSnapshot();
    scheduleNext();
}

void RestoreRun::runToEnd()
{
    if (!m_started)
        takeUndoSnapshot();
    while (!m_finished)
        writeNext();
}

void RestoreRun::cancel()
{
    m_cancelRequested = true;
}

void RestoreRun::scheduleNext()
{
    QTimer::singleShot(0, this, [this] {
        writeNext();
        if (!m_finished)
            scheduleNext();
    });
}

void RestoreRun::writeNext()
{
    if (m_finished)
        return;
    if (m_cancelRequested || m_next >= m_plan.writes.size()) {
        finish();
        return;
    }
    const PlannedWrite &w = m_plan.writes.at(m_next++);
    const auto refuse = [&](int code, const QString &reason) {
        m_report.refused.append({w.address, w.systemName, w.value, 1, code, reason});
        m_failedChannels.insert(channelKey(w.address));
    };
    ORVEHVNode *system = findLiveSystem(m_live(), w.address.system);
    ORVEHVNode *node = system ? findLiveParameter(system, w.address) : nullptr;
    if (!node) {
        refuse(-1, QStringLiteral("the system or board went away during the restore"));
    } else if (isSwitchOn(w) && m_failedChannels.contains(channelKey(w.address))) {
        // its limits or voltage are not what the snapshot has: never on at another voltage
        m_report.skipped.append({w.address, w.systemName, w.value, 1, 0,
                                 QStringLiteral("not switched on: an earlier write to this channel failed")});
    } else {
        QString reason;
        const int code = writeSetpoint(node, w.value, &reason);
        if (code == 0) {
            m_report.written.append(w);
            if (isSwitchOn(w))
                ++m_report.switchedOn;
        } else {
            refuse(code, reason);
        }
    }
    emit progress(m_next, m_plan.writes.size());
}

void RestoreRun::finish()
{
    m_finished = true;
    m_report.cancelled = m_next < m_plan.writes.size();
    for (int i = m_next; i < m_plan.writes.size(); ++i) {
        const PlannedWrite &w = m_plan.writes.at(i);
        m_report.skipped.append({w.address, w.systemName, w.value, 1, 0, QStringLiteral("cancelled before it was written")});
    }
    emit finished();
}

} // namespace snapshot
