#pragma once
// Questions to the disk that may never be answered (a network share that stops answering, a
// drive that spins up, a volume going away) are asked on a thread of their own. The caller
// waits for the answer up to a limit, and while it waits the window goes on drawing. Clicks and
// keys wait behind a disk that is only slow (a second or so) and are taken after it; past that
// Stop, another entry or the end of the player give the wait up at once. A disk that answers
// within a few milliseconds costs no event loop, so nothing else runs meanwhile.
#include <functional>
#include <vector>

namespace zypo {

/// How long a disk may stay silent before what waits for it fails (an open, a listing).
constexpr int DiskAnswerLimitMs = 10000;

class DiskWait {
public:
    enum Result { Answered, Abandoned, TimedOut };
    /// Runs `question` on a thread of its own. It must hold on to everything it uses (by value
    /// or shared): a question that never returns outlives the wait, and maybe its caller.
    Result ask(std::function<void()> question, int limitMs);
    /// As ask, but the user's clicks and keys wait until the answer (or the limit) has come, so
    /// that a list being filled is not changed under its own hands; the window still draws.
    Result askWithoutInput(std::function<void()> question, int limitMs);
    /// Waits in the same way until `settled` (asked on the UI thread, every few milliseconds)
    /// says yes: for an engine that reads a file on threads of its own and tells when it is done.
    Result until(const std::function<bool()>& settled, int limitMs);
    /// Every wait under way ends now, as Abandoned.
    void abandon();
    bool waiting() const { return !waits_.empty(); }
    /// Stands a slow disk in for the real one: runs before every question, on its thread
    /// (tests; empty: none).
    static void setSlowDisk(std::function<void()> stall);

private:
    Result wait(std::function<void()> question, int limitMs, bool userInput);
    Result loop(const std::function<bool()>& settled, int limitMs, bool userInput);
    std::vector<bool*> waits_;
};

} // namespace zypo
