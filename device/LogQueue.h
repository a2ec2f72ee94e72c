#ifndef LOGQUEUE_H
#define LOGQUEUE_H

// Value-log queue of one system: entries produced on the GUI thread while
// events are handled, collected in one batch per event burst and written to
// the log file by the system's log writer thread (LogWriter.h).
//
// The queue lives in QSystemInterface (logQueueHead/Tail, logBatchCount)
// and is touched only under its logMutex.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

class QSystemInterface;

struct LogEntry
{
    int board = -1;       // -1: system parameter / live insertion
    int channel = -1;     // -1: system or board parameter
    QString parameter;    // empty for a live insertion
    QVariant value;
};

struct LogBatch
{
    QString systemName;
    int systemType = -1;
    QDateTime created;     // local time when the batch was opened
    QList<LogEntry> entries;
    LogBatch *next = nullptr;
};

namespace LogQueue {

// --- producer (GUI thread) -------------------------------------------
// Appends the entry to the open batch when the event continues a burst
// (not the first of its batch and a batch is still pending), else opens a
// new batch named after the system.
void enqueue(QSystemInterface *sys, const QString &systemName, const LogEntry &entry, bool isFirstEv);
// Wakes the writer when batches are pending; a mainframe (types 2 and 3)
// is woken only at the last event of its burst.
void wakeWriter(QSystemInterface *sys, bool isLastEv);
// A board was inserted or removed: always a batch of its own, writer woken.
void enqueueLiveInsertion(QSystemInterface *sys, const QString &systemName);

// --- formatting and files --------------------------------------------
QString formatEntry(const QDateTime &created, const QString &systemName, const LogEntry &entry);
QString formatBatch(const LogBatch &batch);

// Process-wide configured log file path (empty: default location).
void setConfiguredPath(const QString &path);
QString configuredPath();
// The file a batch of this system goes to: the configured path, else the
// home directory (cut before "snap") with "ORVEKEBOLog_<name>.log" for type
// 13 and the shared "ORVEKEBODESK.log" for every other type.
QString logFilePath(const QString &systemName, int systemType);

// Writes up to n batches of the list (appending), deleting each written
// one; whatever is left is deleted too. False when the file could not be
// opened (the batches are dropped).
bool writeBatches(LogBatch *head, int n);

// Deletes a list of batches.
void deleteBatches(LogBatch *head);
// Deletes the batches still queued (interface destruction).
void discardPending(QSystemInterface *sys);

} // namespace LogQueue

#endif
