#ifndef QSITEITEMSDIALOG_H
#define QSITEITEMSDIALOG_H

// "Site...": every item the shared archive holds, of every station, to pick
// lines for a trend. A filter narrows the list (station, system, channel or
// parameter); chosen() carries the selected items when accepted.

#include "history/ArchiveReader.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

class QSiteItemsDialog : public QDialog
{
    Q_OBJECT
public:
    QSiteItemsDialog(const ArchiveLocation &location, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }
    QLineEdit *filter() const { return m_filter; }
    // "station / system / board 2 / CH03 (3) / VMon"
    static QString itemText(const ArchiveReader::StoredItem &item);

signals:
    void chosen(const QVector<ArchiveReader::StoredItem> &items);

private:
    void applyFilter(const QString &text);

    QVector<ArchiveReader::StoredItem> m_items;
    QListWidget *m_list;
    QLineEdit *m_filter;
};

#endif
