#ifndef QSYSINFODIALOG_H
#define QSYSINFODIALOG_H

// A mainframe's controller: CPU load, memory and, when the system reports
// one, its command queue, as read when the dialog opened. Deletes itself
// when closed.

#include <QDialog>

class QLabel;

class QSysInfoDialog : public QDialog
{
    Q_OBJECT
public:
    QSysInfoDialog(QWidget *parent, const QString &cpuLoad, const QString &memoryStatus,
                   const QString &cmdQueueStatus);

    // The shown values, for checks: 1/5/15 min, then total/free/used/buffers,
    // then the command queue.
    QStringList shownValues() const;

private:
    QList<QLabel *> m_values;
};

#endif
