#pragma once
// Which of the desktop's window systems the player asks Qt for. Its pictures are drawn into a
// native X11 window, and the screen modes (staying above other windows, handing the front back
// to another program's window) are what X11 offers programs; a Wayland session of GNOME, KDE
// Plasma or sway runs an X server for such programs (XWayland). So, when the user has not chosen
// a platform, the X11 one comes first wherever an X server is announced, and Wayland after it.
#include <QByteArray>
#include <functional>

namespace zypo {

/// The value for QT_QPA_PLATFORM, read from the environment through `env`; empty: leave it.
QByteArray preferredQtPlatform(const std::function<QByteArray(const char*)>& env);

/// Sets QT_QPA_PLATFORM from the process's environment; before the application is made.
void choosePlatform();

} // namespace zypo
