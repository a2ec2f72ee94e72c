#ifndef LOGBACKLOG_H
#define LOGBACKLOG_H

// What a log writer has taken from its queue but not yet written: batches
// wait here while the log file cannot be written (directory gone, disk full)
// and go out, oldest first, once it can. The backlog holds at most limit()
// entries; past it the oldest entries are dropped and counted, and the next
// successful write starts with one line telling how many were lost and
// between which times. Owned by one writer thread.

#include "device/LogQueue.h"

#include <QByteArray>
#include <QDateTime>
#include <deque>

class LogBacklog
{
public:
    static constexpr int DefaultLimit = 100000;
    // Entries kept per system while the file cannot be written (process-wide).
    static void setLimit(int entries);
    static int limit();

    LogBacklog() = default;
    ~LogBacklog();
    LogBacklog(const LogBacklog &) = delete;
    LogBacklog &operator=(const LogBacklog &) = delete;

    // Takes up to n batches of the list (deleting the rest).
    void take(LogBatch *head, int n);
    // The file failed: drops the oldest entries beyond the limit. (A run
    // that writes fine is never cut, however large its burst.)
    void trim();

    bool isEmpty() const { return m_entries == 0 && m_dropped == 0; }
    qint64 entryCount() const { return m_entries; }
    qint64 droppedCount() const { return m_dropped; }
    QDateTime firstDropped() const { return m_firstDropped; }
    QDateTime lastDropped() const { return m_lastDropped; }
    QString systemName() const { return m_systemName; }
    int systemType() const { return m_systemType; }

    // The next piece to write, whole batches of about maxBytes: the
    // lost-entries line (if any) and the oldest kept lines. *batches tells
    // how many batches it holds, for consume() once it is written.
    QByteArray nextText(int maxBytes, int *batches) const;
    void consume(int batches);
    void clear();

    // "[t]: [name] log lost n entries between [t1] and [t2]; \n"
    static QString lostLine(const QString &systemName, qint64 count, const QDateTime &first, const QDateTime &last);

private:
    void dropOldest(qint64 n);

    std::deque<LogBatch *> m_batches;
    qint64 m_entries = 0;
    qint64 m_dropped = 0;
    QDateTime m_firstDropped, m_lastDropped;
    QString m_systemName;
    int m_systemType = -1;
};

#endif
