#include "dialogs/AppIcon.h"

#include <QCoreApplication>
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

namespace {
QIcon* drawnIcon = nullptr;
}

QIcon appIcon() {
    // Drawn once. Every clip opens a video window of its own, and that window's icon lies
    // between one clip's end and the next one's first sound: drawing seven sizes took 3 ms, and
    // X11 carried them all to the window manager as the window came up (a quarter of a megabyte
    // for 128 and 256, 5 ms more). The menus of desktops take the larger sizes from the
    // installed icon theme, not from the window.
    if (!drawnIcon) {
        drawnIcon = new QIcon;
        for (int s : {16, 24, 32, 48, 64})
            drawnIcon->addPixmap(appIconPixmap(s));
        qAddPostRoutine([] {
            delete drawnIcon;
            drawnIcon = nullptr;
        });
    }
    return *drawnIcon;
}

} // namespace zypo
