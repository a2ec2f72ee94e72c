#ifndef HISTORYHOOKS_H
#define HISTORYHOOKS_H

// Where the program meets its history (history/): the one place that turns
// what happens to the systems into archived values and journal entries, and
// that puts "Trend" and "Journal" into the main window. It follows the
// systems by itself: each listed system's own signals (values, event status,
// connection lost, live insertion), its commands panel's commands and the
// refused writes of the write path. A history that cannot be used is
// reported once and changes nothing else.

#include "ORVEHVWrapper.h"
#include "history/HistoryTypes.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <memory>

class Archive;
class JournalModel;
class MainWindow;
class ORVEHVNode;
class QAction;
class QJournalDock;
class QLabel;
class QSystemInterface;
class QTrendWindow;
class QWidget;
class StatusConditions;
class SystemConnections;

class HistoryHooks : public QObject
{
    Q_OBJECT
public:
    HistoryHooks(MainWindow &window, SystemConnections &connections);
    ~HistoryHooks() override;
    // The hooks of the main window alive now; null before and after.
    static HistoryHooks *instance();

    // A channel table got its sub-window: "Trend" in its context menu.
    static void tableShown(QWidget *subWindow);

    // Values reach the archive and the trends only while on (the default);
    // the journal is always kept. For measuring what archiving costs.
    void setArchiving(bool on) { m_archiving = on; }

    Archive *archive() const { return m_archive.get(); }
    JournalModel *journal() const { return m_journal; }
    QJournalDock *journalDock() const { return m_dock; }
    QAction *trendAction() const { return m_trendAction; }
    QAction *journalAction() const { return m_journalAction; }
    QLabel *alarmCount() const { return m_alarmCount; }

    // A trend window of what is selected in the channel tables: the selected
    // numeric parameters, or VMon and IMon of channels selected as a whole;
    // null (the operator told to select) when nothing is selected.
    QTrendWindow *openTrend();

private:
    void buildEntries();
    void follow(QSystemInterface *sys);
    void forget(QSystemInterface *sys);
    void record(const JournalEntry &entry);
    void onValue(QSystemInterface *sys, ORVEHVNode *node);
    void onStatusWord(QSystemInterface *sys, const ORVEHVNode *node, double value, qint64 time);
    void onEventStatus(QSystemInterface *sys, const ORVEHV_SYSTEMSTATUS_t &status);
    void onConnectionLost(QSystemInterface *sys, int errorCode);
    void onLiveInsertion(QSystemInterface *sys);
    void onWrite(ORVEHVNode *node, const QVariant &value, int result, const QString &reason);
    void onCommand(const QString &command, const QString &systemName, int result);
    void showChannel(const JournalEntry &entry);
    QSystemInterface *systemOf(const ORVEHVNode *node) const;
    QSystemInterface *systemNamed(const QString &name) const;

    MainWindow &m_window;
    SystemConnections &m_connections;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<StatusConditions> m_conditions;
    JournalModel *m_journal = nullptr;
    QJournalDock *m_dock = nullptr;
    QAction *m_trendAction = nullptr;
    QAction *m_journalAction = nullptr;
    QLabel *m_alarmCount = nullptr;
    bool m_archiving = true;
    // The archive's handle of each parameter node seen, found once: a value
    // costs one look-up. Emptied whenever nodes may be freed (boards about
    // to change or gone, a system removed), so no freed address is met again.
    QHash<const ORVEHVNode *, int> m_items;
    QHash<const QSystemInterface *, int> m_systemWords;  // last system event status
    QHash<const QSystemInterface *, bool> m_lost;        // connection lost, not yet back
};

#endif
