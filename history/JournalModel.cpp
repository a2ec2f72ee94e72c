#include "history/JournalModel.h"

#include "history/Archive.h"
#include "history/ArchiveReader.h"
#include "history/CsvText.h"

#include <QDateTime>
#include <QSet>
#include <QTimer>

namespace {

constexpr int SitePollMs = 2000;
// Another station commits a few hundred ms after its entries happen: each
// poll looks back this far and skips what it has read already.
constexpr qint64 SiteLookBackMs = 10000;
constexpr qint64 SiteFirstSpanMs = 24 * 3600 * 1000;

} // namespace

JournalModel::JournalModel(Archive *archive, QObject *parent, int limit)
    : QAbstractTableModel(parent), m_archive(archive), m_limit(qMax(1, limit))
{
    if (!archive)
        return;
    for (const JournalEntry &e : archive->storedJournal(m_limit))
        append(e);
    connect(archive, &Archive::journalAdded, this, &JournalModel::append);
}

JournalModel::~JournalModel() = default;

int JournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int JournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString JournalModel::cellText(const JournalEntry &e, int column) const
{
    switch (column) {
    case TimeColumn: return QDateTime::fromMSecsSinceEpoch(e.time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case SystemColumn: return systemLabel(e);
    case BoardColumn: return e.board >= 0 ? QString::number(e.board) : QString();
    case ChannelColumn:
        if (e.channel < 0)
            return QString();
        return e.channelName.isEmpty() ? QString::number(e.channel)
                                       : QStringLiteral("%0 (%1)").arg(e.channelName).arg(e.channel);
    case KindColumn: return journalKindText(e.kind);
    case EventColumn: return journalEventText(e.event);
    case TextColumn: return e.text;
    case AckColumn: return isAlarm(e.event) ? (e.acknowledged ? QStringLiteral("yes") : QStringLiteral("no")) : QString();
    }
    return QString();
}

QVariant JournalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const JournalEntry &e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(e, index.column());
    case SortRole:
        switch (index.column()) {
        case TimeColumn: return e.time * 4096 + (e.id & 4095);
        case BoardColumn: return e.board;
        case ChannelColumn: return e.channel;
        case KindColumn: return int(e.kind);
        default: return cellText(e, index.column());
        }
    case PendingRole:
        return pending(e);
    default:
        return QVariant();
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const names[] = {"Time", "System", "Board", "Channel", "Kind", "Event", "Condition", "Ack."};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

void JournalModel::append(const JournalEntry &entry)
{
    if (m_entries.size() >= m_limit) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_pending -= pending(m_entries.first()) ? 1 : 0;
        m_entries.removeFirst();
        endRemoveRows();
    }
    const int row = int(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    endInsertRows();
    if (pending(entry)) {
        ++m_pending;
        emit unacknowledgedChanged(m_pending);
    }
}

void JournalModel::acknowledge(const QList<int> &rows)
{
    QVector<qint64> ids;
    for (int row : rows) {
        if (row < 0 || row >= m_entries.size() || !pending(m_entries.at(row)))
            continue;
        m_entries[row].acknowledged = true;
        ids.append(m_entries.at(row).id);
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
    if (ids.isEmpty())
        return;
    m_pending -= int(ids.size());
    if (m_archive)
        m_archive->acknowledge(ids);
    emit unacknowledgedChanged(m_pending);
}

void JournalModel::acknowledgeAll()
{
    QList<int> rows;
    for (int row = 0; row < m_entries.size(); ++row)
        rows.append(row);
    acknowledge(rows);
}

QString JournalModel::systemLabel(const JournalEntry &e) const
{
    if (!isForeign(e))
        return e.system;
    return e.system.isEmpty() ? e.station : QStringLiteral("%0: %1").arg(e.station, e.system);
}

bool JournalModel::isForeign(const JournalEntry &e) const
{
    return !e.station.isEmpty() && (!m_archive || e.station != m_archive->station());
}

bool JournalModel::canShowSite() const
{
    return m_archive && !m_archive->station().isEmpty();
}

void JournalModel::setSiteView(bool on)
{
    if (on == siteView() || (on && !canShowSite()))
        return;
    if (on) {
        m_siteAfter = QDateTime::currentMSecsSinceEpoch() - SiteFirstSpanMs;
        m_siteTimer = new QTimer(this);
        m_siteTimer->setInterval(SitePollMs);
        connect(m_siteTimer, &QTimer::timeout, this, &JournalModel::pollSite);
        m_siteTimer->start();
        pollSite();
        return;
    }
    delete m_siteTimer;
    m_siteTimer = nullptr;
    m_siteReader.reset();
    m_siteSeen.clear();
    beginResetModel();
    m_entries.removeIf([this](const JournalEntry &e) { return isForeign(e); });
    endResetModel();
}

void JournalModel::pollSite()
{
    if (!siteView() || !m_archive->isAvailable())
        return;
    if (!m_siteReader)
        m_siteReader = std::make_unique<ArchiveReader>(m_archive->location());
    if (!m_siteReader->stillConnected())
        return;
    const qint64 from = m_siteAfter - SiteLookBackMs;
    for (const JournalEntry &e : m_siteReader->siteJournal(from)) {
        const QString key = QStringLiteral("%0/%1").arg(e.station).arg(e.id);
        if (m_siteSeen.contains(key))
            continue;
        m_siteSeen.insert(key, e.time);
        m_siteAfter = qMax(m_siteAfter, e.time);
        append(e);
    }
    m_siteSeen.removeIf([from](const QHash<QString, qint64>::iterator it) { return it.value() < from; });
}

QStringList JournalModel::systems() const
{
    QSet<QString> names;
    for (const JournalEntry &e : m_entries)
        if (!e.system.isEmpty())
            names.insert(systemLabel(e));
    QStringList out(names.begin(), names.end());
    out.sort();
    return out;
}

QString JournalModel::csv(const QList<int> &rows) const
{
    QString out = CsvText::line({QStringLiteral("time"), QStringLiteral("system"), QStringLiteral("board"),
                                 QStringLiteral("channel"), QStringLiteral("kind"), QStringLiteral("event"),
                                 QStringLiteral("condition"), QStringLiteral("acknowledged")});
    for (int row : rows) {
        if (row < 0 || row >= m_entries.size())
            continue;
        const JournalEntry &e = m_entries.at(row);
        QStringList fields{CsvText::isoTime(e.time)};
        for (int c = SystemColumn; c < ColumnCount; ++c)
            fields.append(cellText(e, c));
        out += CsvText::line(fields);
    }
    return out;
}

// ------------------------------------------------------------------ filter

JournalFilter::JournalFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(JournalModel::SortRole);
    setDynamicSortFilter(true);
    sort(JournalModel::TimeColumn, Qt::DescendingOrder);
}

void JournalFilter::setSystem(const QString &system)
{
    m_system = system;
    invalidateFilter();
}

void JournalFilter::setKind(int kind)
{
    m_kind = kind;
    invalidateFilter();
}

void JournalFilter::setText(const QString &text)
{
    m_text = text.trimmed();
    invalidateFilter();
}

QList<int> JournalFilter::shownRows() const
{
    QList<int> rows;
    for (int r = 0; r < rowCount(); ++r)
        rows.append(mapToSource(index(r, 0)).row());
    return rows;
}

bool JournalFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *model = qobject_cast<const JournalModel *>(sourceModel());
    if (!model)
        return true;
    const JournalEntry &e = model->entry(sourceRow);
    if (!m_system.isEmpty() && model->systemLabel(e) != m_system)
        return false;
    if (m_kind >= 0 && int(e.kind) != m_kind)
        return false;
    if (m_text.isEmpty())
        return true;
    for (int c = 0; c < JournalModel::ColumnCount; ++c)
        if (model->index(sourceRow, c).data().toString().contains(m_text, Qt::CaseInsensitive))
            return true;
    return false;
}
