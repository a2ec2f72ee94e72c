#include "history/widgets/QTrendChartView.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

QTrendChartView::QTrendChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setRenderHint(QPainter::Antialiasing, false);
    setFocusPolicy(Qt::StrongFocus);
    // The band is drawn here and the range set by the window, which reloads
    // the values for it; the built-in zoom would only stretch the old ones.
    setRubberBand(QChartView::NoRubberBand);
}

double QTrendChartView::msPerPixel() const
{
    const auto axes = chart()->axes(Qt::Horizontal);
    const auto *axis = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis *>(axes.first());
    const double width = chart()->plotArea().width();
    if (!axis || width <= 0)
        return 0;
    return double(axis->max().toMSecsSinceEpoch() - axis->min().toMSecsSinceEpoch()) / width;
}

double QTrendChartView::timeAt(const QPointF &pos) const
{
    const auto axes = chart()->axes(Qt::Horizontal);
    const auto *axis = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis *>(axes.first());
    if (!axis)
        return 0;
    const QRectF area = chart()->plotArea();
    const double x = qBound(area.left(), mapToScene(pos.toPoint()).x(), area.right());
    return double(axis->min().toMSecsSinceEpoch()) + (x - area.left()) * msPerPixel();
}

void QTrendChartView::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    emit zoomRequested(timeAt(event->position()), delta > 0 ? 0.8 : 1.25);
    event->accept();
}

void QTrendChartView::mousePressEvent(QMouseEvent *event)
{
    m_lastPos = event->position();
    if (event->button() == Qt::MiddleButton
        || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
        m_panning = true;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton) {
        m_banding = true;
        m_bandStart = event->position();
    }
    event->accept();
}

void QTrendChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_panning) {
        const double dx = event->position().x() - m_lastPos.x();
        m_lastPos = event->position();
        if (dx != 0)
            emit panRequested(-dx * msPerPixel());
    } else if (m_banding) {
        const QRectF area = chart()->plotArea();
        const double x0 = qMin(m_bandStart.x(), event->position().x());
        const double x1 = qMax(m_bandStart.x(), event->position().x());
        if (!m_band) {
            m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
            m_band->setObjectName(QStringLiteral("trendBand"));
        }
        m_band->setGeometry(QRect(int(x0), int(area.top()), int(x1 - x0), int(area.height())));
        m_band->show();
    }
    event->accept();
}

void QTrendChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_banding) {
        if (m_band)
            m_band->hide();
        const double a = timeAt(m_bandStart), b = timeAt(event->position());
        // A click is no band.
        if (qAbs(event->position().x() - m_bandStart.x()) >= 4)
            emit bandSelected(qMin(a, b), qMax(a, b));
    }
    if (m_panning)
        unsetCursor();
    m_panning = m_banding = false;
    event->accept();
}

void QTrendChartView::keyPressEvent(QKeyEvent *event)
{
    const double span = msPerPixel() * chart()->plotArea().width();
    const double centre = timeAt(chart()->plotArea().center());
    switch (event->key()) {
    case Qt::Key_Left: emit panRequested(-span / 10); break;
    case Qt::Key_Right: emit panRequested(span / 10); break;
    case Qt::Key_Plus: emit zoomRequested(centre, 0.8); break;
    case Qt::Key_Minus: emit zoomRequested(centre, 1.25); break;
    default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
}
