#include "platform/media/XlibErrors.h"

#include <X11/Xlib.h>
#include <atomic>
#include <dlfcn.h>

namespace zypo {

namespace {
std::atomic<int> passed{0};

int letPass(Display*, XErrorEvent*) {
    // The failed request was a player's drawing or window call: the player goes on (or ends)
    // without it, as mpv's own handler lets it.
    passed.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

using SetHandler = XErrorHandler (*)(XErrorHandler);

SetHandler xlibSetHandler() {
    static const auto real = reinterpret_cast<SetHandler>(dlsym(RTLD_NEXT, "XSetErrorHandler"));
    return real;
}
} // namespace

void keepXlibErrorsNonFatal() {
    if (const SetHandler real = xlibSetHandler())
        real(letPass);
}

int xlibErrorsPassed() {
    return passed.load(std::memory_order_relaxed);
}

} // namespace zypo

// Xlib's XSetErrorHandler as the players' libraries reach it: this program's definition comes
// before Xlib's own. Any handler asked for is set; a request for Xlib's default (which exits the
// process) sets the lenient one instead.
extern "C" XErrorHandler XSetErrorHandler(XErrorHandler handler) {
    const zypo::SetHandler real = zypo::xlibSetHandler();
    if (!real)
        return nullptr; // no Xlib in this process: nothing can call for it
    return real(handler ? handler : zypo::letPass);
}
