#include "panels/PanelPictures.h"

#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QRadialGradient>

namespace {

void drawLamp(QPainter &p, const QRectF &r, const QColor &colour, bool lit)
{
    const QRectF lamp = r.adjusted(1.5, 1.5, -1.5, -1.5);
    QRadialGradient g(lamp.center() - QPointF(lamp.width() / 6, lamp.height() / 6), lamp.width() / 1.6);
    g.setColorAt(0, lit ? colour.lighter(170) : QColor(215, 215, 215));
    g.setColorAt(1, lit ? colour : QColor(120, 120, 120));
    p.setBrush(g);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawEllipse(lamp);
}

void drawTriangle(QPainter &p, const QRectF &r, bool down)
{
    QPainterPath path;
    const QRectF a = r.adjusted(r.width() * 0.25, r.height() * 0.25, -r.width() * 0.25, -r.height() * 0.25);
    if (down) {
        path.moveTo(a.topLeft());
        path.lineTo(a.topRight());
        path.lineTo(a.center().x(), a.bottom());
    } else {
        path.moveTo(a.topLeft());
        path.lineTo(a.right(), a.center().y());
        path.lineTo(a.bottomLeft());
    }
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(path);
}

void drawModule(QPainter &p, const QRectF &r)
{
    // A plug-in board seen from the front: grey panel, handle, lamps, connectors.
    const QRectF panel = r.adjusted(r.width() * 0.3, 1, -r.width() * 0.3, -1);
    QLinearGradient g(panel.topLeft(), panel.topRight());
    g.setColorAt(0, QColor(170, 172, 175));
    g.setColorAt(0.5, QColor(215, 217, 220));
    g.setColorAt(1, QColor(150, 152, 155));
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(g);
    p.drawRoundedRect(panel, 2, 2);
    const qreal w = panel.width();
    p.setBrush(QColor(90, 90, 95));
    p.drawRect(QRectF(panel.left() + w * 0.2, panel.top() + 2, w * 0.6, panel.height() * 0.06));
    p.drawRect(QRectF(panel.left() + w * 0.2, panel.bottom() - 2 - panel.height() * 0.06, w * 0.6,
                      panel.height() * 0.06));
    const qreal lamp = qMax<qreal>(3.0, w * 0.22);
    for (int i = 0; i < 4; ++i) {
        const QRectF l(panel.center().x() - lamp / 2, panel.top() + panel.height() * (0.16 + 0.07 * i), lamp, lamp);
        drawLamp(p, l, i == 0 ? QColor(40, 170, 40) : QColor(230, 150, 20), i == 0);
    }
    p.setPen(QPen(QColor(60, 60, 60), 1));
    for (int i = 0; i < 6; ++i) {
        const QRectF c(panel.center().x() - w * 0.22, panel.top() + panel.height() * (0.48 + 0.07 * i), w * 0.44,
                       panel.height() * 0.045);
        p.setBrush(QColor(200, 40, 40));
        p.drawEllipse(c);
    }
}

void drawSystem(QPainter &p, const QRectF &r, const QColor &accent)
{
    // A crate: frame with a row of board fronts.
    const QRectF crate = r.adjusted(1, r.height() * 0.15, -1, -r.height() * 0.15);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(crate, 2, 2);
    const int slotCount = 6;
    const qreal sw = (crate.width() - 4) / slotCount;
    for (int i = 0; i < slotCount; ++i) {
        const QRectF s(crate.left() + 2 + i * sw + 0.5, crate.top() + 2, sw - 1, crate.height() - 4);
        p.setBrush(i % 2 ? QColor(120, 125, 130) : accent);
        p.drawRect(s);
    }
}

} // namespace

namespace PanelPictures {

QPixmap drawn(const QString &path, const QSize &size)
{
    const QSize s = size.isValid() && !size.isEmpty() ? size : QSize(16, 16);
    QPixmap pm(s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, s.width(), s.height());
    const QString name = QFileInfo(path).baseName().toLower();
    if (name.startsWith(QLatin1String("led_on")))
        drawLamp(p, r, QColor(30, 190, 40), true);
    else if (name.startsWith(QLatin1String("led_warn")))
        drawLamp(p, r, QColor(240, 170, 0), true);
    else if (name.startsWith(QLatin1String("led_err")))
        drawLamp(p, r, QColor(220, 30, 30), true);
    else if (name.startsWith(QLatin1String("led_off")))
        drawLamp(p, r, QColor(128, 128, 128), false);
    else if (name == QLatin1String("arrd"))
        drawTriangle(p, r, true);
    else if (name == QLatin1String("arrr"))
        drawTriangle(p, r, false);
    else if (name.startsWith(QLatin1String("modulo")))
        drawModule(p, r);
    else if (name.startsWith(QLatin1String("cs-verde")))
        drawSystem(p, r, QColor(60, 170, 60));
    else if (name.startsWith(QLatin1String("b8181")))
        drawSystem(p, r, QColor(70, 110, 170));
    else if (name.startsWith(QLatin1String("sistema")))
        drawSystem(p, r, QColor(90, 140, 160));
    else {
        p.setPen(QPen(QColor(80, 80, 80), 1));
        p.setBrush(QColor(200, 200, 200));
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
    }
    return pm;
}

QPixmap load(const QString &path, const QSize &size)
{
    // Kept in the pixmap cache as shown: every board's box shows the same
    // picture, and shares it instead of holding a scaled copy of its own.
    const QString key = QStringLiteral("kebo-panel:%1:%2x%3").arg(path).arg(size.width()).arg(size.height());
    QPixmap shown;
    if (QPixmapCache::find(key, &shown))
        return shown;
    const QPixmap pm(path);
    if (pm.isNull())
        shown = drawn(path, size);
    else if (size.isValid() && !size.isEmpty() && pm.size() != size)
        shown = pm.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else
        shown = pm;
    QPixmapCache::insert(key, shown);
    return shown;
}

} // namespace PanelPictures
