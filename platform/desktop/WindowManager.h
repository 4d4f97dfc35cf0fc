#pragma once
// Foreground, focus and stay-on-top requests. What the desktop will not honour (raising another
// program's window, topmost on some window managers) is asked for and otherwise let go.
#include "core/SharedState.h"

#include <QWidget>

namespace zypo {

/// On X11 the active window is the root window's _NET_ACTIVE_WINDOW, which the window manager
/// keeps for every program's windows; elsewhere only the player's own windows are known.
class WindowManager {
public:
    virtual ~WindowManager() = default;
    virtual ForegroundHandle GetForegroundWindow();
    /// Brings a window to the front and activates it: one of ours directly, another program's
    /// through the window manager (as a pager asks). A minimised window stays minimised.
    virtual void SetForegroundWindow(const ForegroundHandle& window);
    /// Keeps the window above all others (and shows it if it is shown already), without moving
    /// or resizing it, and without re-creating its native window (a picture drawn into it by the
    /// media engine stays).
    virtual void SetTopmost(QWidget* window);
    /// Whether SetTopmost keeps a window above others: X11 window managers do; a Wayland shell
    /// offers programs no such state.
    virtual bool KeepsAbove() const;
    virtual QWidget* GetFocus();
};

/// The Japanese interface font (IPAGothic) for every window and dialog, whatever the locale:
/// under a non-Japanese locale the desktop's default would be a Latin font with other widths.
/// False when the font is not installed (the default stays).
bool useInterfaceFont();

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
