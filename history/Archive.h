#ifndef ARCHIVE_H
#define ARCHIVE_H

// The history archive as the GUI thread sees it: it hands values and journal
// entries to the writer thread and never waits for it. Values pass a dead
// band per parameter first; watched items also keep their recent values in
// memory for the plots. When the database cannot be used (cannot be opened,
// in use by another instance, damaged, disk full) unavailable() is emitted
// once, and from then on values only reach memory and the journal only its
// model: nothing else changes.
//
// On a site's server (options.server set) several stations share one
// archive: items of other stations can be read (a key naming that station)
// but never written. A server that goes away is reported once through
// serverLost(); values wait in the writer's bounded backlog meanwhile, and
// serverBack() tells how many did not fit. Both go into the journal too.
//
// GUI thread only, except where noted.

#include "history/ArchiveWriter.h"
#include "history/HistoryTypes.h"
#include "history/LiveRing.h"

#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QPointer>

#include <memory>

struct ArchiveOptions
{
    QString path;                      // the database file
    ArchiveServer server;              // a site's shared archive instead, when set
    int backlogCapacity = 1 << 20;     // server: values kept while it is away
    int retryMs = 2000;                // server: how often it is tried again
    RetentionLimits retention;
    int commitIntervalMs = 250;        // at most this much is lost on a crash
    int queueCapacity = 1 << 20;       // values waiting for the writer
    // Dead band per parameter name: a value is stored only when it differs
    // from the last stored one by at least this much. Absent: every value.
    QHash<QString, double> deadBands;
    int liveCapacity = 20000;          // values kept in memory per watched item
};

class Archive : public QObject
{
    Q_OBJECT
public:
    explicit Archive(QObject *parent = nullptr);
    ~Archive() override;  // stores what was handed over, then stops

    // Opens the file (schema migrated) and starts the writer. False, with
    // unavailable() emitted, when the archive cannot be used.
    bool open(const ArchiveOptions &options);
    bool isAvailable() const;
    QString failure() const { return m_failure; }
    QString path() const { return m_options.path; }
    ArchiveLocation location() const { return {m_options.path, m_options.server}; }
    // This station's name on a site's server; empty on a file.
    QString station() const { return m_options.server.isSet() ? m_options.server.station : QString(); }
    // True for a key of another station's item, which this one only reads.
    bool isForeign(const ItemKey &key) const { return !key.station.isEmpty() && key.station != station(); }
    // Server: it cannot be reached now (values wait in the backlog).
    bool isOffline() const { return m_writer && m_writer->isOffline(); }
    const ArchiveOptions &options() const { return m_options; }
    void setRetention(const RetentionLimits &limits);

    // A handle for the item, the same for the same key (this station's name
    // in the key is the same as none).
    int item(const ItemKey &key, const QString &label = QString());
    ItemKey key(int item) const { return m_keys.value(item); }
    void record(int item, qint64 time, double value);

    // Gives the entry its id, stores it and announces it.
    void recordJournal(JournalEntry entry);
    void acknowledge(const QVector<qint64> &ids);
    // The newest journal entries stored before this session, oldest first.
    QVector<JournalEntry> storedJournal(int limit = 5000) const { return m_storedJournal.mid(qMax(0, int(m_storedJournal.size()) - limit)); }

    // Waits until everything handed over so far is stored (or dropped after
    // a failure); false on time-out or while the server is away. For the
    // plots: after a flush the file holds every value the memory does not.
    bool flush(int timeoutMs = 3000);
    // Values lost because the writer fell behind (any thread).
    qint64 lostValues() const { return (m_queue ? m_queue->lost() : 0) + m_backlogLost; }
    qint64 storedValues() const { return m_writer ? m_writer->stored() : 0; }
    // Prunes at the writer's next commit.
    void pruneSoon();

    // Items whose recent values are kept in memory while watched.
    void watch(int item);
    void unwatch(int item);
    const LiveRing *live(int item) const;

signals:
    void unavailable(const QString &reason);
    void journalAdded(const JournalEntry &entry);
    void serverLost(const QString &reason);
    void serverBack(qint64 lostValues);

private:
    void setUnavailable(const QString &reason);
    bool lockFile();
    void onOffline(const QString &reason);
    void onOnline(qint64 lost);
    void recordArchiveEvent(JournalEvent event, const QString &text);
    QString loadStoredJournal();
    void stopWriter();

    ArchiveOptions m_options;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<ArchiveQueue> m_queue;
    std::unique_ptr<ArchiveWriter> m_writer;
    QString m_failure;
    QHash<ItemKey, int> m_handles;
    QVector<ItemKey> m_keys;
    QVector<double> m_deadBand;      // per handle; 0 = none
    QVector<double> m_lastStored;    // per handle
    QVector<bool> m_hasStored;       // per handle
    struct Watched { int count = 0; LiveRing ring; };
    QHash<int, Watched> m_watched;
    QVector<JournalEntry> m_storedJournal;
    qint64 m_nextJournalId = 1;
    qint64 m_backlogLost = 0;
};

#endif
