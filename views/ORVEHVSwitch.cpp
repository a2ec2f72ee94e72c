#include "views/ORVEHVSwitch.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor OnTrack(104, 204, 56);
const QColor OnFace(240, 240, 240);
const QColor OffTrack(205, 205, 205);
const QColor OffFace(88, 88, 88);

QFont switchFont(const QFont &base)
{
    QFont f(base);
    f.setFamily(QStringLiteral("Antonio"));
    f.setBold(true);
    return f;
}
} // namespace

ORVEHVSwitch::ORVEHVSwitch(const QString &onText, const QString &offText, QWidget *parent)
    : QAbstractButton(parent), m_onText(onText), m_offText(offText)
{
    setCheckable(true);
    setMinimumSize(60, 30);
    setCursor(Qt::PointingHandCursor);
    syncText();
}

void ORVEHVSwitch::setOnText(const QString &t)
{
    m_onText = t;
    syncText();
    updateGeometry();
}

void ORVEHVSwitch::setOffText(const QString &t)
{
    m_offText = t;
    syncText();
    updateGeometry();
}

void ORVEHVSwitch::syncText()
{
    setText(isChecked() ? m_onText : m_offText);
    update();
}

void ORVEHVSwitch::checkStateSet()
{
    syncText();
}

void ORVEHVSwitch::nextCheckState()
{
    QAbstractButton::nextCheckState();
    syncText();
}

QSize ORVEHVSwitch::sizeHint() const
{
    const QFontMetrics fm(switchFont(font()));
    const int textW = qMax(fm.horizontalAdvance(m_onText), fm.horizontalAdvance(m_offText));
    // room for the text beside a knob as high as the track
    return QSize(qMax(60, textW + 30 + 16), qMax(30, fm.height() + 10));
}

QSize ORVEHVSwitch::minimumSizeHint() const
{
    return QSize(60, 30);
}

void ORVEHVSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = isChecked();
    const QRectF track = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal radius = track.height() / 2.0;

    const QColor trackColor = on ? OnTrack : OffTrack;
    QLinearGradient g(track.topLeft(), track.bottomLeft());
    g.setColorAt(0.0, trackColor.lighter(115));
    g.setColorAt(1.0, trackColor.darker(110));
    p.setPen(QPen(trackColor.darker(130), 1.0));
    p.setBrush(isEnabled() ? QBrush(g) : QBrush(OffTrack));
    p.drawRoundedRect(track, radius, radius);

    // knob: right when on, left when off
    const qreal d = track.height() - 4.0;
    const qreal x = on ? track.right() - 2.0 - d : track.left() + 2.0;
    const QRectF knob(x, track.top() + 2.0, d, d);
    const QColor knobColor = on ? OnFace : OffFace;
    QRadialGradient kg(knob.center(), d / 2.0, knob.topLeft() + QPointF(d / 3.0, d / 3.0));
    kg.setColorAt(0.0, knobColor.lighter(120));
    kg.setColorAt(1.0, knobColor);
    p.setPen(QPen(knobColor.darker(140), 1.0));
    p.setBrush(kg);
    p.drawEllipse(knob);

    QRectF textRect = track;
    if (on)
        textRect.setRight(knob.left() - 2.0);
    else
        textRect.setLeft(knob.right() + 2.0);
    p.setFont(switchFont(font()));
    p.setPen(on ? OnFace : OffFace);
    p.drawText(textRect, Qt::AlignCenter, text());

    if (hasFocus()) {
        p.setPen(QPen(QColor(152, 189, 64), 1.0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
}
