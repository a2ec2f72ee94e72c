#include "device/LogQueue.h"

#include "device/LogFeed.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace {

QMutex &pathMutex()
{
    static QMutex m;
    return m;
}

QString &pathStorage()
{
    static QString p;
    return p;
}

// Per-system files claimed by live writers: path -> owner.
QMutex &claimMutex()
{
    static QMutex m;
    return m;
}

QHash<QString, const void *> &claims()
{
    static QHash<QString, const void *> c;
    return c;
}

// Writers of several systems may append to one file; the cut-back after a
// failed write must not remove what another writer appended meanwhile.
QMutex &fileMutex()
{
    static QMutex m;
    return m;
}

// A confined package's home is "<home>/snap/<package>/<revision>": the log
// goes to the user's own home, in front of the "snap" directory. Only a whole
// "snap" component counts, so a home like /home/snape stays as it is.
QString homeOutsideSnap(const QString &home)
{
    const QStringList parts = home.split(QLatin1Char('/'));
    const int snap = parts.indexOf(QLatin1String("snap"));
    if (snap < 0)
        return home;
    return parts.mid(0, snap).join(QLatin1Char('/')) + QLatin1Char('/');
}

bool isMainframe(int systemType)
{
    return systemType == 2 || systemType == 3;
}

// The local time's offset from UTC, in seconds, as last noted.
std::atomic<int> s_localOffset{0};

// Links a new batch holding the entry; caller holds the log mutex.
void appendNewBatch(QSystemInterface *sys, const QString &systemName, const LogEntry &entry, qint64 arrival)
{
    auto *batch = new LogBatch;
    batch->systemName = systemName;
    batch->systemType = sys->systemType();
    // Stamped with the arrival of its event batch, however late the entry is
    // made; now for an entry made outside an event.
    batch->arrival = arrival;
    // Local time by the offset noted on the GUI thread: the time zone's own
    // look-up (a file read each time, not safe beside the GUI thread's) is
    // not done here, on the event-data thread.
    batch->created = batch->arrival ? QDateTime::fromMSecsSinceEpoch(batch->arrival, Qt::OffsetFromUTC,
                                                                     s_localOffset.load())
                                    : QDateTime::currentDateTime();
    batch->entries.append(entry);
    if (sys->logQueueHead && sys->logBatchCount >= 1 && sys->logQueueTail) {
        sys->logQueueTail->next = batch;
        sys->logQueueTail = batch;
    } else {
        sys->logQueueHead = batch;
        sys->logQueueTail = batch;
        sys->logBatchCount = 0;
    }
    ++sys->logBatchCount;
}

} // namespace

namespace LogQueue {

void noteLocalTimeOffset()
{
    s_localOffset = QDateTime::currentDateTime().offsetFromUtc();
}

void enqueue(QSystemInterface *sys, const QString &systemName, const LogEntry &entry, bool isFirstEv, qint64 arrival)
{
    if (!sys)
        return;
    QMutexLocker lock(&sys->logMutex);
    // An entry never joins a batch of another event batch (whose first
    // record was not logged), so it keeps its own time.
    if (!isFirstEv && sys->logQueueTail && sys->logBatchCount >= 1 && sys->logQueueTail->arrival == arrival)
        sys->logQueueTail->entries.append(entry);
    else
        appendNewBatch(sys, systemName, entry, arrival);
}

void wakeWriter(QSystemInterface *sys, bool isLastEv)
{
    if (!sys)
        return;
    QMutexLocker lock(&sys->logMutex);
    if (sys->logBatchCount <= 0)
        return;
    if (isMainframe(sys->systemType()) && !isLastEv)
        return;
    sys->logWakePending = true;
    sys->logCondition.wakeAll();
}

void enqueueLiveInsertion(QSystemInterface *sys, const QString &systemName, qint64 arrival)
{
    if (!sys)
        return;
    LogEntry entry;
    entry.value = 0;
    QMutexLocker lock(&sys->logMutex);
    appendNewBatch(sys, systemName, entry, arrival);
    sys->logWakePending = true;
    sys->logCondition.wakeAll();
}

void logValue(QSystemInterface *sys, const Source &source, bool logged, int bdIndex, int chIndex,
              const QString &name, const QVariant &previous, const QVariant &current, bool isFirstEv, bool isLastEv)
{
    const bool mainframe = isMainframe(sys->systemType());
    if (logged && sys->isLogStarted() && (mainframe || current != previous)) {
        LogEntry entry;
        // A VME HV board system numbers its board by its place in the crate.
        entry.board = sys->systemType() == 5 ? source.crateOffset + qMax(bdIndex, 0) : bdIndex;
        entry.channel = chIndex;
        entry.parameter = name;
        entry.value = current;
        enqueue(sys, source.systemName, entry, isFirstEv, source.arrival);
    }
    if (!mainframe || isLastEv)
        wakeWriter(sys, isLastEv);
}

void logEvent(QSystemInterface *sys, int bdIndex, int chIndex, const QString &name, const char *valueArea,
              bool isFirstEv, bool isLastEv, qint64 arrival)
{
    LogFeed::Update u;
    if (!sys->logFeed.update(bdIndex, chIndex, name, valueArea, u))
        u.logged = false;  // an item the tree does not show: the burst still ends
    logValue(sys, {u.systemName, u.crateOffset, arrival}, u.logged, bdIndex, chIndex,
             name, u.previous, u.current, isFirstEv, isLastEv);
}

QString formatEntry(const QDateTime &created, const QString &systemName, const LogEntry &e)
{
    const QString time = created.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"));
    const QString value = e.value.toString();
    if (e.channel >= 0)
        return QStringLiteral("[%1]: [%2] bd [%3] ch [%4] par [%5] val [%6]; \n")
            .arg(time, systemName, QString::number(e.board), QString::number(e.channel), e.parameter, value);
    if (e.board >= 0)
        return QStringLiteral("[%1]: [%2] bd [%3] par [%4] val [%5]; \n")
            .arg(time, systemName, QString::number(e.board), e.parameter, value);
    if (e.parameter.isEmpty())
        return QStringLiteral("[%1]: [%2] live inserted/removed board; \n").arg(time, systemName);
    return QStringLiteral("[%1]: [%2] par [%3] val [%4]; \n").arg(time, systemName, e.parameter, value);
}

QString formatBatch(const LogBatch &batch)
{
    QByteArray text;
    appendBatchText(batch, text);
    return QString::fromUtf8(text);
}

void appendBatchText(const LogBatch &batch, QByteArray &out)
{
    // The writer's hot path: the prefix shared by every line of the batch is
    // built once, each line is assembled from pieces (same text as
    // formatEntry); a burst mostly repeats one parameter name, so its UTF-8
    // form is reused while the name stays the same.
    const QByteArray prefix = '[' + batch.created.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")).toUtf8()
                              + "]: [" + batch.systemName.toUtf8() + "] ";
    out.reserve(out.size() + batch.entries.size() * (prefix.size() + 48));
    QString lastName;
    QByteArray lastNameUtf8;
    for (const LogEntry &e : batch.entries) {
        out += prefix;
        if (e.board < 0 && e.channel < 0 && e.parameter.isEmpty()) {
            out += "live inserted/removed board; \n";
            continue;
        }
        if (e.channel >= 0 || e.board >= 0) {
            out += "bd [";
            out += QByteArray::number(e.board);
            out += "] ";
        }
        if (e.channel >= 0) {
            out += "ch [";
            out += QByteArray::number(e.channel);
            out += "] ";
        }
        if (e.parameter != lastName) {
            lastName = e.parameter;
            lastNameUtf8 = lastName.toUtf8();
        }
        out += "par [";
        out += lastNameUtf8;
        out += "] val [";
        switch (e.value.typeId()) {
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
            out += QByteArray::number(e.value.toLongLong());
            break;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            out += QByteArray::number(e.value.toULongLong());
            break;
        default:
            out += e.value.toString().toUtf8();
        }
        out += "]; \n";
    }
}

void setConfiguredPath(const QString &path)
{
    QMutexLocker lock(&pathMutex());
    pathStorage() = path;
}

QString configuredPath()
{
    QMutexLocker lock(&pathMutex());
    return pathStorage();
}

QString logFilePath(const QString &systemName, int systemType)
{
    const QString configured = configuredPath();
    if (!configured.isEmpty())
        return configured;
    const QString home = homeOutsideSnap(QDir::homePath());
    const QString name = systemType == 13 ? QStringLiteral("ORVEKEBOLog_") + fileNamePart(systemName) + QStringLiteral(".log")
                                          : QStringLiteral("ORVEKEBODESK.log");
    return QDir(home).filePath(name);
}

QString fileNamePart(const QString &systemName)
{
    QString part = systemName;
    for (QChar &c : part) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c == QChar(0x7f))
            c = QLatin1Char('_');
    }
    if (part == QLatin1String(".") || part == QLatin1String(".."))
        part.fill(QLatin1Char('_'));
    return part;
}

QString claimLogFile(const void *owner, const QString &systemName, int systemType)
{
    const QString base = logFilePath(systemName, systemType);
    if (systemType != 13 || !configuredPath().isEmpty())
        return base; // the configured file and the shared file are meant to be shared
    QMutexLocker lock(&claimMutex());
    QString path = base;
    for (int n = 2;; ++n) {
        const void *holder = claims().value(path, nullptr);
        if (!holder || holder == owner)
            break;
        path = base.left(base.size() - 4) + QStringLiteral("_%1.log").arg(n);
    }
    claims().insert(path, owner);
    return path;
}

void releaseFiles(const void *owner)
{
    QMutexLocker lock(&claimMutex());
    for (auto it = claims().begin(); it != claims().end();) {
        if (it.value() == owner)
            it = claims().erase(it);
        else
            ++it;
    }
}

QString appendToFile(const QString &path, const QByteArray &text)
{
    QMutexLocker lock(&fileMutex());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return file.errorString();
    const qint64 before = file.isSequential() ? -1 : file.size();
    const qint64 written = file.write(text);
    if (written == text.size() && file.flush()) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return QString();
    }
    const QString reason = file.errorString().isEmpty() ? QStringLiteral("write failed") : file.errorString();
    file.unsetError();
    if (before >= 0)
        file.resize(before);
    return reason;
}

void deleteBatches(LogBatch *head)
{
    while (head) {
        LogBatch *next = head->next;
        delete head;
        head = next;
    }
}

void discardPending(QSystemInterface *sys)
{
    if (!sys)
        return;
    LogBatch *head = nullptr;
    {
        QMutexLocker lock(&sys->logMutex);
        head = sys->logQueueHead;
        sys->logQueueHead = nullptr;
        sys->logQueueTail = nullptr;
        sys->logBatchCount = 0;
    }
    deleteBatches(head);
}

} // namespace LogQueue
