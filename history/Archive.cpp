#include "history/Archive.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "history/ArchiveReader.h"
#include "history/ArchiveSchema.h"


#include <cmath>

Archive::Archive(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<JournalEntry>();
}

Archive::~Archive()
{
    stopWriter();
}

void Archive::stopWriter()
{
    m_writer.reset();  // stops the queue and stores what is left
}

bool Archive::isAvailable() const
{
    return m_writer && m_failure.isEmpty() && !m_writer->hasFailed();
}

void Archive::setUnavailable(const QString &reason)
{
    if (!m_failure.isEmpty())
        return;
    m_failure = reason.isEmpty() ? QStringLiteral("unknown database error") : reason;
    emit unavailable(m_failure);
}

bool Archive::open(const ArchiveOptions &options)
{
    stopWriter();
    m_options = options;
    m_failure.clear();
    if (!options.server.isSet() && !lockFile())
        return false;
    const QString error = loadStoredJournal();
    if (!error.isEmpty()) {
        setUnavailable(error);
        return false;
    }
    m_queue = std::make_unique<ArchiveQueue>(options.queueCapacity);
    m_writer = std::make_unique<ArchiveWriter>(*m_queue, location(), options.commitIntervalMs);
    m_writer->setRetention(options.retention);
    m_writer->setBacklog(options.backlogCapacity, options.retryMs);
    connect(m_writer.get(), &ArchiveWriter::failed, this, &Archive::setUnavailable, Qt::QueuedConnection);
    connect(m_writer.get(), &ArchiveWriter::offline, this, &Archive::onOffline, Qt::QueuedConnection);
    connect(m_writer.get(), &ArchiveWriter::online, this, &Archive::onOnline, Qt::QueuedConnection);
    // Items known before a reopen are announced to the new writer.
    for (int h = 0; h < m_keys.size(); ++h)
        if (!isForeign(m_keys.at(h)))
            m_queue->push(NewItem{h, m_keys.at(h), QString()});
    m_writer->start(QThread::LowPriority);
    return true;
}

bool Archive::lockFile()
{
    const ArchiveOptions &options = m_options;
    // On a first start the data folder does not exist yet: the lock file
    // lives beside the database, so the folder comes first.
    const QString folder = QFileInfo(options.path).absolutePath();
    if (!QDir().mkpath(folder)) {
        setUnavailable(QStringLiteral("the folder %0 cannot be created").arg(folder));
        return false;
    }
    m_lock = std::make_unique<QLockFile>(options.path + QStringLiteral(".lock"));
    if (!m_lock->tryLock(0)) {
        setUnavailable(m_lock->error() == QLockFile::LockFailedError
                           ? QStringLiteral("it is in use by another instance of the program")
                           : QStringLiteral("its lock file cannot be created"));
        return false;
    }
    return true;
}

void Archive::onOffline(const QString &reason)
{
    recordArchiveEvent(JournalEvent::Lost, QStringLiteral("Shared archive %0 cannot be reached: %1")
                                               .arg(location().describe(), reason.trimmed()));
    emit serverLost(reason);
}

void Archive::onOnline(qint64 lost)
{
    m_backlogLost += lost;
    recordArchiveEvent(JournalEvent::Restored,
                       lost ? QStringLiteral("Shared archive reachable again; %0 values of the outage could not be "
                                             "kept (more than %1 waited)")
                                  .arg(lost)
                                  .arg(m_options.backlogCapacity)
                            : QStringLiteral("Shared archive reachable again; nothing was lost"));
    emit serverBack(lost);
}

void Archive::recordArchiveEvent(JournalEvent event, const QString &text)
{
    JournalEntry e;
    e.time = QDateTime::currentMSecsSinceEpoch();
    e.kind = JournalKind::Connection;
    e.event = event;
    e.text = text;
    recordJournal(e);
}

// Opens the file once on this thread: the schema is brought up to date and
// a file that cannot serve is found before the writer starts.
QString Archive::loadStoredJournal()
{
    const QString name = QStringLiteral("history-open-%0").arg(quintptr(this), 0, 16);
    QString error;
    {
        QSqlDatabase db;
        error = ArchiveSchema::openConnection(name, location(), &db);
        if (error.isEmpty())
            error = ArchiveSchema::migrate(db);
    }
    ArchiveSchema::closeConnection(name);
    if (!error.isEmpty())
        return error;
    ArchiveReader reader(location());
    m_storedJournal = reader.latestJournal(5000);
    if (!m_storedJournal.isEmpty())
        m_nextJournalId = qMax(m_nextJournalId, m_storedJournal.last().id + 1);
    return reader.error();
}

void Archive::setRetention(const RetentionLimits &limits)
{
    m_options.retention = limits;
    if (m_writer)
        m_writer->setRetention(limits);
}

int Archive::item(const ItemKey &given, const QString &label)
{
    ItemKey key = given;
    if (key.station == station())
        key.station.clear();
    auto it = m_handles.constFind(key);
    if (it != m_handles.constEnd())
        return *it;
    const int handle = int(m_keys.size());
    m_handles.insert(key, handle);
    m_keys.append(key);
    m_deadBand.append(m_options.deadBands.value(key.parameter, 0.0));
    m_lastStored.append(0.0);
    m_hasStored.append(false);
    if (isAvailable() && !isForeign(key))
        m_queue->push(NewItem{handle, key, label});
    return handle;
}

void Archive::record(int item, qint64 time, double value)
{
    if (item < 0 || item >= m_keys.size())
        return;
    auto w = m_watched.find(item);
    if (w != m_watched.end())
        w->ring.append(time, value);
    if (!m_failure.isEmpty() || !m_writer)
        return;
    const double band = m_deadBand.at(item);
    if (band > 0 && m_hasStored.at(item) && std::fabs(value - m_lastStored.at(item)) < band)
        return;
    m_lastStored[item] = value;
    m_hasStored[item] = true;
    m_queue->push(Sample{item, time, value});
}

void Archive::recordJournal(JournalEntry entry)
{
    entry.id = m_nextJournalId++;
    if (m_failure.isEmpty() && m_writer)
        m_queue->push(entry);
    emit journalAdded(entry);
}

void Archive::acknowledge(const QVector<qint64> &ids)
{
    if (!m_failure.isEmpty() || !m_writer)
        return;
    for (qint64 id : ids)
        m_queue->acknowledge(id);
}

bool Archive::flush(int timeoutMs)
{
    if (!m_writer)
        return false;
    return m_queue->waitDone(m_queue->requestFlush(), timeoutMs) && !m_writer->isOffline();
}

void Archive::pruneSoon()
{
    if (m_writer) {
        m_writer->pruneSoon();
        m_queue->requestFlush();
    }
}

void Archive::watch(int item)
{
    auto it = m_watched.find(item);
    if (it == m_watched.end())
        it = m_watched.insert(item, Watched{0, LiveRing(m_options.liveCapacity)});
    ++it->count;
}

void Archive::unwatch(int item)
{
    auto it = m_watched.find(item);
    if (it != m_watched.end() && --it->count <= 0)
        m_watched.erase(it);
}

const LiveRing *Archive::live(int item) const
{
    auto it = m_watched.constFind(item);
    return it == m_watched.constEnd() ? nullptr : &it->ring;
}
