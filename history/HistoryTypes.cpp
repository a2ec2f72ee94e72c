#include "history/HistoryTypes.h"

QString journalKindText(JournalKind kind)
{
    switch (kind) {
    case JournalKind::Channel: return QStringLiteral("Channel");
    case JournalKind::Board: return QStringLiteral("Board");
    case JournalKind::System: return QStringLiteral("System");
    case JournalKind::Command: return QStringLiteral("Command");
    case JournalKind::Write: return QStringLiteral("Write");
    case JournalKind::Connection: return QStringLiteral("Connection");
    }
    return QString();
}

QString journalEventText(JournalEvent event)
{
    switch (event) {
    case JournalEvent::Raised: return QStringLiteral("raised");
    case JournalEvent::Cleared: return QStringLiteral("cleared");
    case JournalEvent::Done: return QStringLiteral("done");
    case JournalEvent::Failed: return QStringLiteral("failed");
    case JournalEvent::Lost: return QStringLiteral("lost");
    case JournalEvent::Restored: return QStringLiteral("restored");
    }
    return QString();
}

bool isAlarm(JournalEvent event)
{
    return event == JournalEvent::Raised || event == JournalEvent::Failed || event == JournalEvent::Lost;
}
