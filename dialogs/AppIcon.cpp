#include "dialogs/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace zypo {

QPixmap appIconPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    QRadialGradient badge(QPointF(12, 10), 20);
    badge.setColorAt(0, QColor(110, 110, 255));
    badge.setColorAt(1, QColor(20, 20, 140));
    p.setBrush(badge);
    p.setPen(QPen(QColor(10, 10, 80), 1));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    // Two note heads, their stems and the beam.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 240, 120));
    p.save();
    p.translate(11, 22);
    p.rotate(-20);
    p.drawEllipse(QRectF(-3.5, -2.5, 7, 5));
    p.restore();
    p.save();
    p.translate(21, 19);
    p.rotate(-20);
    p.drawEllipse(QRectF(-3.5, -2.5, 7, 5));
    p.restore();
    p.setPen(QPen(QColor(255, 240, 120), 1.6));
    p.drawLine(QPointF(14, 21), QPointF(14, 8));
    p.drawLine(QPointF(24, 18), QPointF(24, 5));
    p.setPen(QPen(QColor(255, 240, 120), 3));
    p.drawLine(QPointF(14, 8.5), QPointF(24, 5.5));
    return pm;
}

QIcon appIcon() {
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(appIconPixmap(s));
    return icon;
}

} // namespace zypo
