#pragma once

#include <memory>

struct mpv_handle;
class QWindow;

namespace zypo {

class MpvPicture;

/// Ends a player without waiting for it. A closed player goes silent at once (the close
/// stopped it); its end takes mpv a few milliseconds (outputs shut down, threads joined), or
/// for ever when its reader is stuck in a silent disk.
void endPlayer(mpv_handle* mpv, QWindow* carrier, std::shared_ptr<MpvPicture> picture);

} // namespace zypo
