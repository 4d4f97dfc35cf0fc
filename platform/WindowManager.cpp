#include "platform/WindowManager.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace zypo {

QWidget* WindowManager::GetForegroundWindow() {
    return QApplication::activeWindow();
}

void WindowManager::SetForegroundWindow(QWidget* window) {
    // A minimised window stays minimised: bringing to the front does not restore.
    if (!window || window->isMinimized())
        return;
    window->raise();
    window->activateWindow();
}

void WindowManager::SetTopmost(QWidget* window) {
    if (!window)
        return;
    if (!(window->windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Changing the flags re-creates the native window: keep its place.
        const QPoint pos = window->pos();
        const bool wasVisible = window->isVisible();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        window->move(pos);
        if (!wasVisible)
            return; // shown later, on top
    }
    window->show();
    window->raise();
}

QWidget* WindowManager::GetFocus() {
    return QApplication::focusWidget();
}

static double dpiX() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
static double dpiY() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

double twipsPerPixelX() {
    return 1440.0 / dpiX();
}
double twipsPerPixelY() {
    return 1440.0 / dpiY();
}
int twipsToPixelsX(int twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixelX()));
}
int twipsToPixelsY(int twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixelY()));
}

int screenWidthTwips() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return static_cast<int>(std::lround((s ? s->geometry().width() : 1024) * twipsPerPixelX()));
}
int screenHeightTwips() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return static_cast<int>(std::lround((s ? s->geometry().height() : 768) * twipsPerPixelY()));
}

} // namespace zypo

namespace zypo {

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height));
}

void centreOnScreen(QWidget* window) {
    const int outerW = static_cast<int>(std::lround(window->frameGeometry().width() * twipsPerPixelX()));
    const int outerH = static_cast<int>(std::lround(window->frameGeometry().height() * twipsPerPixelY()));
    const int left = (screenWidthTwips() - outerW) / 2;
    const int top = (screenHeightTwips() - outerH) / 2;
    window->move(static_cast<int>(std::lround(left / twipsPerPixelX())),
                 static_cast<int>(std::lround(top / twipsPerPixelY())));
}

} // namespace zypo
