#ifndef LOGQUEUE_H
#define LOGQUEUE_H

// Value-log queue of one system: entries produced on the system's
// event-data thread as events arrive (every value, in arrival order; the
// GUI thread's mailbox may merge them for the table meanwhile), collected in
// one batch per event burst and written to the log file by the system's log
// writer thread (LogWriter.h).
//
// The queue lives in QSystemInterface (logQueueHead/Tail, logBatchCount)
// and is touched only under its logMutex.

#include <QByteArray>
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
    QDateTime created;     // local time when its event batch arrived (else when opened)
    qint64 arrival = 0;    // that arrival in ms since the epoch; 0: opened outside a delivery
    QList<LogEntry> entries;
    LogBatch *next = nullptr;
};

namespace LogQueue {

// --- producer ----------------------------------------------------------
// Notes the local time's offset from UTC (GUI thread, when logging starts):
// batches made on the event-data thread are stamped in local time by it.
void noteLocalTimeOffset();
// Appends the entry to the open batch when the event continues a burst
// (not the first of its batch and a batch of the same arrival is still
// pending), else opens a new batch named after the system, stamped with
// `arrival` (ms since the epoch; 0: now).
void enqueue(QSystemInterface *sys, const QString &systemName, const LogEntry &entry, bool isFirstEv,
             qint64 arrival = 0);
// Wakes the writer when batches are pending; a mainframe (types 2 and 3)
// is woken only at the last event of its burst.
void wakeWriter(QSystemInterface *sys, bool isLastEv);
// A board was inserted or removed: always a batch of its own, writer woken.
void enqueueLiveInsertion(QSystemInterface *sys, const QString &systemName, qint64 arrival = 0);

// Where an entry comes from: the system's name and crate offset as the log
// shows them, and the arrival of its event batch.
struct Source
{
    QString systemName;
    int crateOffset = 0;
    qint64 arrival = 0;
};
// The value-update rule: a logged parameter of a system whose logging is on
// gets an entry, on a mainframe for every event, elsewhere only when the
// value changed from what the device reported before. The writer is woken
// at the end of a mainframe's burst (and for every event elsewhere) whether
// or not this event was logged, so a burst that ends on an unlogged
// parameter (or after logging was switched off) is not left waiting.
void logValue(QSystemInterface *sys, const Source &source, bool logged, int bdIndex, int chIndex,
              const QString &name, const QVariant &previous, const QVariant &current, bool isFirstEv,
              bool isLastEv);
// The rule for an event value on the event-data thread, as it arrives: what
// the item is, whether it is logged and what it had before come from the
// system's LogFeed.
void logEvent(QSystemInterface *sys, int bdIndex, int chIndex, const QString &name, const char *valueArea,
              bool isFirstEv, bool isLastEv, qint64 arrival);

// --- formatting and files --------------------------------------------
QString formatEntry(const QDateTime &created, const QString &systemName, const LogEntry &entry);
QString formatBatch(const LogBatch &batch);
// Appends the batch's lines (UTF-8) to `out`; the time is formatted once.
void appendBatchText(const LogBatch &batch, QByteArray &out);

// Process-wide configured log file path (empty: default location).
void setConfiguredPath(const QString &path);
QString configuredPath();
// The file a batch of this system goes to: the configured path, else the
// home directory (cut before a "snap" directory) with "ORVEKEBOLog_<name>.log" for type
// 13 and the shared "ORVEKEBODESK.log" for every other type.
QString logFilePath(const QString &systemName, int systemType);

// A file name part made of the system name: characters that would leave the
// log directory or are not allowed in a file name become '_'.
QString fileNamePart(const QString &systemName);

// The file the writer of `owner` uses for a batch of this system. Like
// logFilePath, except that a per-system file (type 13) already taken by the
// writer of another system gets a number ("ORVEKEBOLog_<name>_2.log"), so
// two systems of the same name never share it. The claim lasts until
// releaseFiles(owner).
QString claimLogFile(const void *owner, const QString &systemName, int systemType);
void releaseFiles(const void *owner);

// Appends the text to the file in one piece. On failure the file is cut back
// to its former length (no half-written line stays) and the reason is
// returned; an empty string means written and flushed.
QString appendToFile(const QString &path, const QByteArray &text);

// Deletes a list of batches.
void deleteBatches(LogBatch *head);
// Deletes the batches still queued (interface destruction).
void discardPending(QSystemInterface *sys);

} // namespace LogQueue

#endif
