#pragma once
// The process-wide record of settings and playback state that every window reads and writes.
// Booleans are kept as 16-bit values with True = -1 and False = 0, as the rest of the logic and
// its tests compare them; counts and positions keep their 16-bit widths.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace zypo {

using Bool16 = std::int16_t;
inline constexpr Bool16 True = -1;
inline constexpr Bool16 False = 0;

/// A window handle as the logic passes it around: a guarded widget pointer, so a handle of a
/// window that has gone reads as null instead of dangling.
using WindowHandle = QPointer<QWidget>;

/// The window in front of the desktop: one of ours (guarded), or another program's, known only
/// by the window system's id.
struct ForegroundHandle {
    QPointer<QWidget> widget;
    quint64 native = 0;
};

inline constexpr const char* NoIniMidFile = "xxxxxxxxXxxx";

struct SharedState {
    QString AppTitle;
    QString VersionText;
    QString PlayFile;
    QString PlayFileUpper;
    std::int32_t PlayTime = 0;
    QString IniMidFile;
    std::int16_t PlayMode = 0;
    std::int16_t PlayWindow = 0;
    std::int16_t PlayErr = 0;
    double AviSize = 0;
    std::int16_t MainLeft = 0;
    std::int16_t MainTop = 0;
    std::int16_t VideoLeft = 0;
    std::int16_t VideoTop = 0;
    Bool16 AutoNext = False;
    Bool16 VideoCloseRestore = False;
    std::int16_t DefFileType = 0;
    WindowHandle VideoHwnd;
    Bool16 QueueMode = False;
    Bool16 SearchHit = False;
    ForegroundHandle PrevWindow;
};

} // namespace zypo
