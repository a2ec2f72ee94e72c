#ifndef FROZENNAMECOLUMN_H
#define FROZENNAMECOLUMN_H

// The channel names stay in sight while a wide table is scrolled to the
// right: once the "Name" column has scrolled out on the left, this strip
// draws it again over the left edge of the cells, row for row as the table
// shows them (hidden and moved rows, stripes, selection and stale greying
// come from the table itself). It holds no cells and edits nothing: a
// double click scrolls back and opens the real name cell, so a rename takes
// the table's one write path. Wheel turns scroll the table.

#include <QWidget>

class QCustomTableWidget;

class FrozenNameColumn : public QWidget
{
    Q_OBJECT
public:
    explicit FrozenNameColumn(QCustomTableWidget *table);

    // The table row drawn at a point of this strip; -1 on the header or
    // below the last row.
    int rowAt(const QPoint &point) const;

public slots:
    // Shown over the cells while the name column is scrolled out; placed
    // and sized after the table.
    void follow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    int nameColumn() const;
    int headerHeight() const;

    QCustomTableWidget *m_table;
    QMetaObject::Connection m_repaintOnData;  // while shown
};

#endif
