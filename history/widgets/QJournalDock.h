#ifndef QJOURNALDOCK_H
#define QJOURNALDOCK_H

// The "Journal" dock: the alarm journal newest first, filtered by system,
// kind and text; alarms not yet acknowledged in red. Acknowledge the
// selected rows or all; save what is shown as CSV. On a shared archive "Site"
// adds the other stations' entries. A double click on a row
// of a channel asks for that channel (channelRequested).

#include "history/HistoryTypes.h"

#include <QDockWidget>

class JournalFilter;
class JournalModel;
class QComboBox;
class QLineEdit;
class QTableView;

class QJournalDock : public QDockWidget
{
    Q_OBJECT
public:
    QJournalDock(JournalModel *model, QWidget *parent = nullptr);

    QTableView *view() const { return m_view; }
    JournalFilter *filter() const { return m_filter; }
    void acknowledgeSelected();
    void acknowledgeAll();
    bool exportCsv(const QString &path, QString *error = nullptr);
    // "3 unacknowledged alarms" / "No unacknowledged alarm"
    static QString countText(int count);

signals:
    void channelRequested(const JournalEntry &entry);

private:
    void refreshSystems();
    void askExport();

    JournalModel *m_model;
    JournalFilter *m_filter;
    QTableView *m_view;
    QComboBox *m_systems;
    QComboBox *m_kinds;
    QLineEdit *m_text;
};

#endif
