#include "platform/desktop/Session.h"

#include <QtGlobal>

namespace zypo {

QByteArray preferredQtPlatform(const std::function<QByteArray(const char*)>& env) {
    if (!env("QT_QPA_PLATFORM").isEmpty())
        return {}; // the user's choice stands
    const bool wayland = !env("WAYLAND_DISPLAY").isEmpty() || env("XDG_SESSION_TYPE") == "wayland";
    if (!wayland || env("DISPLAY").isEmpty())
        return {}; // an X11 session, or Wayland with no X server: Qt's own choice
    // Qt takes the first platform that starts: Wayland still serves if the X server is gone.
    return QByteArrayLiteral("xcb;wayland");
}

void choosePlatform() {
    const QByteArray platform = preferredQtPlatform([](const char* name) { return qgetenv(name); });
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace zypo
