#ifndef JOURNALMODEL_H
#define JOURNALMODEL_H

// The alarm journal as a table: the entries of earlier sessions from the
// archive, then every new one the archive announces. Alarms (a condition
// raised, a command or write failed, a connection lost) wait to be
// acknowledged; acknowledging goes into the archive too. Older entries go
// when more than `limit` are held.
//
// On a site's shared archive the site view adds the other stations' entries
// as they are stored, each named "station: system"; they are this station's
// to read, not to acknowledge, and do not count among its alarms.
//
// JournalFilter shows it newest first and filters by system, kind and text.

#include "history/HistoryTypes.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <QHash>

#include <memory>

class Archive;
class ArchiveReader;
class QTimer;

class JournalModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn, SystemColumn, BoardColumn, ChannelColumn, KindColumn, EventColumn, TextColumn,
                  AckColumn, ColumnCount };
    // Raw values for sorting and filtering (time: the time, and within a
    // millisecond the entry id, which grows with time; kind: the JournalKind
    // number).
    static constexpr int SortRole = Qt::UserRole;
    // True for an alarm not yet acknowledged.
    static constexpr int PendingRole = Qt::UserRole + 1;

    explicit JournalModel(Archive *archive, QObject *parent = nullptr, int limit = 20000);
    ~JournalModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const JournalEntry &entry(int row) const { return m_entries.at(row); }
    void append(const JournalEntry &entry);
    void acknowledge(const QList<int> &rows);
    void acknowledgeAll();
    int unacknowledgedCount() const { return m_pending; }
    // The systems named in the journal, sorted.
    QStringList systems() const;
    // The system as the table names it: another station's with its station.
    QString systemLabel(const JournalEntry &e) const;
    bool isForeign(const JournalEntry &e) const;

    // Site view: only on a site's shared archive.
    bool canShowSite() const;
    void setSiteView(bool on);
    bool siteView() const { return m_siteTimer != nullptr; }
    // Reads what the other stations stored since the last time (timer).
    void pollSite();

    // CSV of the given rows (header first): time ISO 8601, system, board,
    // channel, kind, event, text, acknowledged.
    QString csv(const QList<int> &rows) const;

signals:
    void unacknowledgedChanged(int count);

private:
    bool pending(const JournalEntry &e) const { return isAlarm(e.event) && !e.acknowledged && !isForeign(e); }
    QString cellText(const JournalEntry &e, int column) const;

    Archive *m_archive;
    QVector<JournalEntry> m_entries;  // oldest first
    int m_limit;
    int m_pending = 0;
    QTimer *m_siteTimer = nullptr;
    std::unique_ptr<ArchiveReader> m_siteReader;
    qint64 m_siteAfter = 0;
    QHash<QString, qint64> m_siteSeen;  // station/id of entries read, their time
};

class JournalFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit JournalFilter(QObject *parent = nullptr);
    void setSystem(const QString &system);   // empty: every system
    void setKind(int kind);                  // -1: every kind
    void setText(const QString &text);       // empty: any text
    // Source rows of the shown rows, in shown order.
    QList<int> shownRows() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_system;
    int m_kind = -1;
    QString m_text;
};

#endif
