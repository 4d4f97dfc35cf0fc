#pragma once

namespace zypo {

/// Keeps an X protocol error in a player's output from ending the whole program. Xlib's own
/// handler exits the process on any error; mpv installs a handler of its own while its output
/// runs, but puts Xlib's back when one of its outputs shuts down. Players overlap here (the
/// item playing, the one opened ahead, those being ended), so a picture drawn by one of them
/// into a window that has just gone would end the program. Called before the first player is
/// made; from then on a request for Xlib's own handler gets one that lets the error pass.
void keepXlibErrorsNonFatal();

/// How many X errors were let pass in this process (for the tests).
int xlibErrorsPassed();

} // namespace zypo
