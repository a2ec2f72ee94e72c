#ifndef QSNAPSHOTCOMPARETABLE_H
#define QSNAPSHOTCOMPARETABLE_H

// The items in which two snapshots (or a snapshot and the live systems)
// differ: one row per item, a filter over system, place and parameter, a
// check box per row to pick items for a restore, and export of the rows
// shown as CSV.

#include "snapshot/SnapshotCompare.h"

#include <QSet>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class QSnapshotCompareTable : public QWidget
{
    Q_OBJECT
public:
    explicit QSnapshotCompareTable(QWidget *parent = nullptr);

    enum Column { Pick, System, Board, Channel, Parameter, First, Second, FirstReadback, SecondReadback, ColumnCount };

    void setDifferences(const QString &title, const QString &firstName, const QString &secondName,
                        const QVector<snapshot::Difference> &differences);
    const QVector<snapshot::Difference> &differences() const { return m_differences; }

    void setFilter(const QString &text);
    // addressKey() of the items whose rows are checked (hidden rows too).
    QSet<QString> pickedItems() const;
    // The rows shown, header first, as CSV text.
    QString csvText() const;
    bool exportCsv(const QString &path, QString *error) const;

    QTableWidget *table() const { return m_table; }
    QLineEdit *filterEdit() const { return m_filter; }
    QLabel *titleLabel() const { return m_title; }

private:
    void exportClicked();

    QLabel *m_title = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableWidget *m_table = nullptr;
    QPushButton *m_export = nullptr;
    QVector<snapshot::Difference> m_differences;
};

#endif
