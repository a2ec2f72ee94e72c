#include "device/LogQueue.h"

#include "device/QSystemInterface.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>

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

bool isMainframe(int systemType)
{
    return systemType == 2 || systemType == 3;
}

// Links a new batch holding the entry; caller holds the log mutex.
void appendNewBatch(QSystemInterface *sys, const QString &systemName, const LogEntry &entry)
{
    auto *batch = new LogBatch;
    batch->systemName = systemName;
    batch->systemType = sys->systemType();
    batch->created = QDateTime::currentDateTime();
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

void enqueue(QSystemInterface *sys, const QString &systemName, const LogEntry &entry, bool isFirstEv)
{
    if (!sys)
        return;
    QMutexLocker lock(&sys->logMutex);
    if (!isFirstEv && sys->logQueueTail && sys->logBatchCount >= 1)
        sys->logQueueTail->entries.append(entry);
    else
        appendNewBatch(sys, systemName, entry);
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

void enqueueLiveInsertion(QSystemInterface *sys, const QString &systemName)
{
    if (!sys)
        return;
    LogEntry entry;
    entry.value = 0;
    QMutexLocker lock(&sys->logMutex);
    appendNewBatch(sys, systemName, entry);
    sys->logWakePending = true;
    sys->logCondition.wakeAll();
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
    QString text;
    for (const LogEntry &e : batch.entries)
        text += formatEntry(batch.created, batch.systemName, e);
    return text;
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
    QString home = QDir::homePath();
    const int snap = home.indexOf(QLatin1String("snap"));
    if (snap >= 0)
        home = home.left(snap);
    const QString name = systemType == 13 ? QStringLiteral("ORVEKEBOLog_%1.log").arg(systemName)
                                          : QStringLiteral("ORVEKEBODESK.log");
    return QDir(home).filePath(name);
}

bool writeBatches(LogBatch *head, int n)
{
    if (!head)
        return true;
    QFile file(logFilePath(head->systemName, head->systemType));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        deleteBatches(head);
        return false;
    }
    QTextStream out(&file);
    while (head && n-- > 0) {
        out << formatBatch(*head);
        LogBatch *next = head->next;
        delete head;
        head = next;
    }
    out.flush();
    file.close();
    deleteBatches(head);
    return true;
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
