#pragma once
// Foreground, focus and stay-on-top requests. What the desktop will not honour (raising another
// program's window, topmost on some window managers) is asked for and otherwise let go.
#include <QWidget>

namespace zypo {

class WindowManager {
public:
    virtual ~WindowManager() = default;
    virtual QWidget* GetForegroundWindow();
    virtual void SetForegroundWindow(QWidget* window);
    /// Keeps the window above all others (and shows it if it is shown already), without moving
    /// or resizing it.
    virtual void SetTopmost(QWidget* window);
    virtual QWidget* GetFocus();
};

/// Twips ↔ pixels at the screen's logical DPI (1440 twips per inch).
int twipsToPixelsX(int twips);
int twipsToPixelsY(int twips);
double twipsPerPixelX();
double twipsPerPixelY();
/// A rectangle given in twips, in pixels.
QRect twipsRect(int left, int top, int width, int height);
/// Centres a window on the screen the way dialogs place themselves at load: left = (screen
/// width − window width) \\ 2, top likewise, in whole twips.
void centreOnScreen(QWidget* window);
/// The screen's size in twips.
int screenWidthTwips();
int screenHeightTwips();

} // namespace zypo
