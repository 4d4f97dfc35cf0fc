// An X error in a player's output on a real X server: the program goes on.
#include "platform/media/XlibErrors.h"

#include <gtest/gtest.h> // before Xlib, whose macros would rename its words
// clang-format off
#include <X11/Xlib.h>
// clang-format on
#include <dlfcn.h>

using namespace zypo;

namespace {
int seen = 0;
int countingHandler(Display*, XErrorEvent*) {
    ++seen;
    return 0;
}

/// Asks the server to destroy a window that does not exist, and waits for its answer.
void failOneRequest(Display* d) {
    XDestroyWindow(d, 0x1fffff);
    XSync(d, False);
}
} // namespace

TEST(XlibErrors, TheLibrariesReachThisProgramsHandlerSetting) {
    // mpv calls XSetErrorHandler through the dynamic linker: it must find this program's.
    keepXlibErrorsNonFatal();
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "XSetErrorHandler"), reinterpret_cast<void*>(&XSetErrorHandler));
}

TEST(XlibErrors, AnErrorAfterAnOutputPutXlibsDefaultBackDoesNotEndTheProgram) {
    keepXlibErrorsNonFatal();
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr) << "no X server";
    // A player's output that shuts down puts Xlib's own handler back, which exits on an error.
    XSetErrorHandler(nullptr);
    const int before = xlibErrorsPassed();
    failOneRequest(d);
    EXPECT_EQ(xlibErrorsPassed(), before + 1);

    // A handler a running output sets is the one called.
    XSetErrorHandler(countingHandler);
    failOneRequest(d);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(xlibErrorsPassed(), before + 1);
    XCloseDisplay(d);
}
