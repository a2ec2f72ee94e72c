#ifndef QCOLLAPSIBLEWIDGET_H
#define QCOLLAPSIBLEWIDGET_H

// The left dock's list of system boxes, one under the other. At most one box
// is expanded: expanding one collapses the others, and the expand indicator
// of the expanded box collapses it again. Boxes are addressed by their index
// (the system index), which changes when systems are removed, not by their
// position in the list.

#include <QList>
#include <QPointer>
#include <QWidget>

class QCustomBox;
class QScrollArea;
class QVBoxLayout;

class QCollapsibleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QCollapsibleWidget(QWidget *parent = nullptr);

    // Appends (or inserts at position) a box; the list becomes its parent.
    // A box that is deleted leaves the list by itself.
    void addBox(QCustomBox *box);
    void insertBox(int position, QCustomBox *box);
    // Takes a box out of the list without deleting it.
    void removeBox(QCustomBox *box);

    int count() const;
    QCustomBox *box(int position) const;
    QCustomBox *boxWithIndex(int index) const;
    // The inner widget boxes are placed in (their parent).
    QWidget *boxArea() const { return m_area; }

    // Marks the box with this index selected and every other box unselected.
    void setSelectedIndex(int index);
    // Index of the expanded box, -1 when all are collapsed.
    int expandedIndex() const;
    void collapseAll();

public slots:
    void expandItem(int index);

private:
    QList<QCustomBox *> boxes() const;

    QScrollArea *m_scroll;
    QWidget *m_area;
    QVBoxLayout *m_layout;
    QList<QPointer<QCustomBox>> m_boxes;
};

#endif
