#include "device/EventMailbox.h"

#include <QDateTime>
#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace {

// A value area holds a 32-bit number or NUL-terminated text: keep the text
// with its NUL, and never less than the 8 bytes any number type reads.
QByteArray valueBytes(const IDValue_t &record)
{
    const size_t text = strnlen(record.Value, sizeof record.Value);
    const size_t keep = std::min(sizeof record.Value, std::max<size_t>(8, text + 1));
    return QByteArray(record.Value, int(keep));
}

constexpr int StatusBoard = -2; // the merge key of the status word

} // namespace

IDValue_t EventRecord::toIDValue(const QByteArray &value) const
{
    IDValue_t r;
    std::memset(&r, 0, offsetof(IDValue_t, Value));
    r.Type = ORVEHV_EVENT_PARAMETER;
    r.BoardIndex = board;
    r.ChannelIndex = channel;
    const QByteArray latin = name.toLatin1();
    std::memcpy(r.ItemID, latin.constData(), std::min(sizeof r.ItemID - 1, size_t(latin.size())));
    const size_t n = std::min(sizeof r.Value, size_t(value.size()));
    std::memcpy(r.Value, value.constData(), n);
    std::memset(r.Value + n, 0, sizeof r.Value - n);
    return r;
}

ORVEHV_SYSTEMSTATUS_t EventRecord::toStatus() const
{
    ORVEHV_SYSTEMSTATUS_t s;
    std::memset(&s, 0, sizeof s);
    std::memcpy(&s, value.constData(), std::min(sizeof s, size_t(value.size())));
    return s;
}

bool EventMailbox::putValue(int board, int channel, const QString &name, const IDValue_t &record, bool isFirstEv,
                            bool isLastEv)
{
    EventRecord r;
    r.kind = EventRecord::Value;
    r.board = board;
    r.channel = channel;
    r.name = name;
    r.value = valueBytes(record);
    r.isFirstEv = isFirstEv;
    r.isLastEv = isLastEv;
    const Key key{board, channel, name};
    QMutexLocker lock(&m_mutex);
    stamp(r);
    return putLocked(std::move(r), key, true);
}

qint64 EventMailbox::batchTimeOfPut() const
{
    QMutexLocker lock(&m_mutex);
    return m_batchTime;
}

bool EventMailbox::putStatus(const ORVEHV_SYSTEMSTATUS_t &status)
{
    EventRecord r;
    r.kind = EventRecord::Status;
    r.value = QByteArray(reinterpret_cast<const char *>(&status), int(sizeof status));
    QMutexLocker lock(&m_mutex);
    return putLocked(std::move(r), Key{StatusBoard, -1, QString()}, true);
}

bool EventMailbox::putBarrier(EventRecord::Kind kind, bool isFirstEv, bool isLastEv, int code)
{
    EventRecord r;
    r.kind = kind;
    r.isFirstEv = isFirstEv;
    r.isLastEv = isLastEv;
    r.board = code;
    QMutexLocker lock(&m_mutex);
    stamp(r);
    return putLocked(std::move(r), Key{}, false);
}

void EventMailbox::stamp(EventRecord &record)
{
    if (record.isFirstEv || m_batchTime == 0)
        m_batchTime = QDateTime::currentMSecsSinceEpoch();
    record.batchTime = m_batchTime;
}

bool EventMailbox::putLocked(EventRecord &&record, const Key &key, bool merges)
{
    if (merges) {
        const auto it = m_index.constFind(key);
        if (it != m_index.constEnd()) {
            m_pending[*it] = std::move(record);
        } else {
            m_index.insert(key, int(m_pending.size()));
            m_pending.append(std::move(record));
        }
    } else {
        m_index.clear();
        m_pending.append(std::move(record));
    }
    return notify();
}

bool EventMailbox::notify()
{
    if (m_notified)
        return false;
    m_notified = true;
    return true;
}

bool EventMailbox::take(EventRecord &out)
{
    if (m_next >= m_inHand.size()) {
        m_inHand.clear();
        m_next = 0;
        QMutexLocker lock(&m_mutex);
        if (m_pending.isEmpty()) {
            m_notified = false;
            m_takenBatchTime = 0;
            return false;
        }
        m_inHand.swap(m_pending);
        m_index.clear();
    }
    out = std::move(m_inHand[m_next++]);
    m_takenBatchTime = out.batchTime;
    return true;
}

int EventMailbox::waiting() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_pending.size()) + int(m_inHand.size()) - m_next;
}
