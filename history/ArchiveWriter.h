#ifndef ARCHIVEWRITER_H
#define ARCHIVEWRITER_H

// The thread that owns the archive's write connection: every commit
// interval it takes what the GUI thread handed over and stores it in one
// transaction, and now and then prunes by age and size. The first database
// error ends archiving for the session (reported once through failed());
// what is handed over afterwards is dropped so nobody waits on it.

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
    ArchiveWriter(ArchiveQueue &queue, const QString &path, int commitIntervalMs, QObject *parent = nullptr);
    ~ArchiveWriter() override;

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

protected:
    void run() override;

private:
    QString store(QSqlDatabase &db, const ArchiveBatch &batch);
    QString storeItems(QSqlDatabase &db, const QVector<NewItem> &items);
    QString storeSamples(QSqlDatabase &db, const QVector<Sample> &samples);
    QString storeJournal(QSqlDatabase &db, const ArchiveBatch &batch);
    void fail(const QString &reason);

    ArchiveQueue &m_queue;
    const QString m_path;
    const int m_commitIntervalMs;
    QHash<int, qint64> m_itemIds;  // archive handle -> item row
    mutable QMutex m_limitsMutex;
    RetentionLimits m_limits;
    std::atomic<bool> m_pruneNow{false};
    std::atomic<bool> m_failed{false};
    std::atomic<qint64> m_stored{0};
};

#endif
