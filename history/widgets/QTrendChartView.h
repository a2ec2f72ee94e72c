#ifndef QTRENDCHARTVIEW_H
#define QTRENDCHARTVIEW_H

// The chart of the trend window and the ways to move through time with the
// mouse: drag a band to zoom into it, the wheel to zoom around the pointer,
// the middle button (or Shift with the left one) to pan; the arrow keys pan
// and + / - zoom too. It only asks: the window decides the new range.

#include <QChartView>

class QTrendChartView : public QChartView
{
    Q_OBJECT
public:
    explicit QTrendChartView(QChart *chart, QWidget *parent = nullptr);

signals:
    // Zoom by `factor` (< 1 in, > 1 out) keeping the time under the pointer.
    void zoomRequested(double centreMs, double factor);
    // Move the range by this many milliseconds (positive: later).
    void panRequested(double ms);
    // A band was dragged over this time span.
    void bandSelected(double fromMs, double toMs);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    double msPerPixel() const;
    double timeAt(const QPointF &pos) const;

    bool m_panning = false;
    bool m_banding = false;
    QPointF m_lastPos;
    QPointF m_bandStart;
    class QRubberBand *m_band = nullptr;
};

#endif
