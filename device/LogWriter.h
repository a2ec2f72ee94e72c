#ifndef LOGWRITER_H
#define LOGWRITER_H

// The log writer thread of one system: waits on the system's log condition,
// takes every pending batch at once and writes it outside the log mutex.
// It ends when stop() asks it to (after writing what is still queued) or
// when the pending count is set negative.
//
// When the log file cannot be written the entries stay with the writer
// (LogBacklog, bounded) and are retried; the operator is told once when the
// file fails and once when it works again, by a queued call to the GUI thread.

class QSystemInterface;
class QThread;

namespace LogWriter {

// The thread body (blocks until asked to end).
void run(QSystemInterface *sys);

// Starts the writer thread of the system and stores it in logWriterThread
// (nothing when one is already there). Called by the event-data thread.
QThread *start(QSystemInterface *sys);

// Asks the writer to flush and end, waits up to timeoutMs, deletes the
// thread object. True when no writer is left running.
bool stop(QSystemInterface *sys, int timeoutMs);

} // namespace LogWriter

#endif
