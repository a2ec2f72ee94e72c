#ifndef ARCHIVEWRITER_H
#define ARCHIVEWRITER_H

// The thread that owns the archive's write connection: every commit
// interval it takes what the GUI thread handed over and stores it in one
// transaction, and now and then prunes by age and size. The first database
// error ends archiving for the session (reported once through failed());
// what is handed over afterwards is dropped so nobody waits on it.
//
// On a site's server a lost connection is not such an error: what could not
// be sent stays in a backlog of bounded size, offline() is emitted once, and
// the writer tries again every retry interval. When the server answers the
// backlog goes first, in the order it was handed over, and online() tells
// how many values did not fit. Every row is written so that sending it
// twice stores it once (a commit whose answer was lost is sent again).
// Pruning a shared archive is the site's business, not a station's.

#include "history/ArchiveLocation.h"
#include "history/ArchiveQueue.h"

#include <QHash>
#include <QSqlDatabase>
#include <QThread>

#include <atomic>

struct RetentionLimits
{
    int days = 7;
    qint64 bytes = qint64(2048) * 1024 * 1024;
};

class ArchiveWriter : public QThread
{
    Q_OBJECT
public:
    ArchiveWriter(ArchiveQueue &queue, const ArchiveLocation &location, int commitIntervalMs,
                  QObject *parent = nullptr);
    ~ArchiveWriter() override;

    // Server only, before start(): values kept while it is away, and how
    // often it is tried again.
    void setBacklog(int capacity, int retryMs);
    bool isOffline() const { return m_offline.load(); }

    void setRetention(const RetentionLimits &limits);
    // Prunes right after the next commit (tests, the settings dialog).
    void pruneSoon() { m_pruneNow.store(true); }
    // Values stored since the start.
    qint64 stored() const { return m_stored.load(std::memory_order_relaxed); }
    bool hasFailed() const { return m_failed.load(); }

    // Prunes one database, on the caller's thread. Returns an error text.
    static QString prune(QSqlDatabase &db, const RetentionLimits &limits, qint64 now);

signals:
    void failed(const QString &reason);
    void offline(const QString &reason);
    void online(qint64 lostValues);

protected:
    void run() override;

private:
    QString store(QSqlDatabase &db, const ArchiveBatch &batch);
    QString storeItems(QSqlDatabase &db, const QVector<NewItem> &items);
    QString storeSamples(QSqlDatabase &db, const QVector<Sample> &samples);
    QString storeServerSamples(QSqlDatabase &db, const QVector<Sample> &samples);
    QString storeJournal(QSqlDatabase &db, const ArchiveBatch &batch);
    void fail(const QString &reason);
    void runOnFile(QSqlDatabase &db);
    void runOnServer(QSqlDatabase &db);
    void addToBacklog(const ArchiveBatch &batch);
    bool sendBacklog(QSqlDatabase &db);

    ArchiveQueue &m_queue;
    const ArchiveLocation m_location;
    const int m_commitIntervalMs;
    int m_backlogCapacity = 1 << 20;
    int m_retryMs = 2000;
    ArchiveBatch m_backlog;       // server: handed over, not yet stored
    qint64 m_backlogLost = 0;     // values that did not fit, this outage
    qint64 m_sending = 0;         // values of the backlog's last attempt
    bool m_resending = false;     // the backlog may have been stored already
    std::atomic<bool> m_offline{false};
    QHash<int, qint64> m_itemIds;  // archive handle -> item row
    mutable QMutex m_limitsMutex;
    RetentionLimits m_limits;
    std::atomic<bool> m_pruneNow{false};
    std::atomic<bool> m_failed{false};
    std::atomic<qint64> m_stored{0};
};

#endif
