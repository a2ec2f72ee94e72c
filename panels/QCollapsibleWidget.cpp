#include "panels/QCollapsibleWidget.h"

#include "panels/QCustomBox.h"

#include <QScrollArea>
#include <QVBoxLayout>

QCollapsibleWidget::QCollapsibleWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("collapsibleWidget"));
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("boxScrollArea"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_area = new QWidget;
    m_area->setObjectName(QStringLiteral("boxArea"));
    m_layout = new QVBoxLayout(m_area);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(6);
    m_layout->addStretch(1);
    m_scroll->setWidget(m_area);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);
}

void QCollapsibleWidget::addBox(QCustomBox *box)
{
    insertBox(count(), box);
}

void QCollapsibleWidget::insertBox(int position, QCustomBox *box)
{
    if (!box || m_boxes.contains(box))
        return;
    const int n = count();
    position = qBound(0, position, n);
    // The list (without deleted boxes) and the layout (boxes, then the stretch)
    // share positions.
    const QList<QCustomBox *> live = boxes();
    m_boxes.clear();
    for (QCustomBox *b : live)
        m_boxes.append(b);
    m_boxes.insert(position, box);
    box->setParent(m_area);
    m_layout->insertWidget(position, box);
    box->show();
    connect(box, &QCustomBox::clickedExpandButton, this, &QCollapsibleWidget::expandItem, Qt::UniqueConnection);
}

void QCollapsibleWidget::removeBox(QCustomBox *box)
{
    if (!box)
        return;
    for (int i = m_boxes.size() - 1; i >= 0; --i) {
        if (m_boxes.at(i) == box || m_boxes.at(i).isNull())
            m_boxes.removeAt(i);
    }
    m_layout->removeWidget(box);
    disconnect(box, &QCustomBox::clickedExpandButton, this, &QCollapsibleWidget::expandItem);
}

QList<QCustomBox *> QCollapsibleWidget::boxes() const
{
    QList<QCustomBox *> live;
    for (const QPointer<QCustomBox> &b : m_boxes) {
        if (b)
            live.append(b.data());
    }
    return live;
}

int QCollapsibleWidget::count() const { return boxes().size(); }

QCustomBox *QCollapsibleWidget::box(int position) const
{
    const QList<QCustomBox *> live = boxes();
    return position >= 0 && position < live.size() ? live.at(position) : nullptr;
}

QCustomBox *QCollapsibleWidget::boxWithIndex(int index) const
{
    for (QCustomBox *b : boxes()) {
        if (b->index() == index)
            return b;
    }
    return nullptr;
}

void QCollapsibleWidget::setSelectedIndex(int index)
{
    for (QCustomBox *b : boxes())
        b->setSelected(b->index() == index);
}

int QCollapsibleWidget::expandedIndex() const
{
    for (QCustomBox *b : boxes()) {
        if (b->isExpanded())
            return b->index();
    }
    return -1;
}

void QCollapsibleWidget::collapseAll()
{
    for (QCustomBox *b : boxes())
        b->setExpanded(false);
}

void QCollapsibleWidget::expandItem(int index)
{
    QCustomBox *target = boxWithIndex(index);
    if (!target)
        return;
    const bool expand = !target->isExpanded();
    for (QCustomBox *b : boxes()) {
        if (b != target)
            b->setExpanded(false);
    }
    target->setExpanded(expand);
}
