#include "platform/DiskWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace zypo {

namespace {
struct Answer {
    std::mutex mutex;
    std::condition_variable done;
    bool answered = false;
};
// Long enough for any disk that is there; short enough not to be seen.
constexpr auto QuickAnswer = std::chrono::milliseconds(30);
// How long the user's input waits behind a disk that answers slowly (see loop).
constexpr qint64 InputHeldMs = 1500;

std::mutex slowDiskMutex;
std::function<void()> slowDisk;
} // namespace

void DiskWait::setSlowDisk(std::function<void()> stall) {
    const std::lock_guard lock(slowDiskMutex);
    slowDisk = std::move(stall);
}

DiskWait::Result DiskWait::ask(std::function<void()> question, int limitMs) {
    return wait(std::move(question), limitMs, true);
}

DiskWait::Result DiskWait::askWithoutInput(std::function<void()> question, int limitMs) {
    return wait(std::move(question), limitMs, false);
}

DiskWait::Result DiskWait::wait(std::function<void()> question, int limitMs, bool userInput) {
    auto answer = std::make_shared<Answer>();
    std::function<void()> stall;
    {
        const std::lock_guard lock(slowDiskMutex);
        stall = slowDisk;
    }
    std::thread([answer, stall, question = std::move(question)] {
        if (stall)
            stall();
        question();
        const std::lock_guard lock(answer->mutex);
        answer->answered = true;
        answer->done.notify_all();
    }).detach();
    {
        std::unique_lock lock(answer->mutex);
        if (answer->done.wait_for(lock, QuickAnswer, [&] { return answer->answered; }))
            return Answered;
    }
    // A slow disk: the window goes on while the answer is awaited.
    return loop(
        [answer] {
            const std::lock_guard lock(answer->mutex);
            return answer->answered;
        },
        limitMs, userInput);
}

DiskWait::Result DiskWait::until(const std::function<bool()>& settled, int limitMs) {
    return loop(settled, limitMs, true);
}

DiskWait::Result DiskWait::loop(const std::function<bool()>& settled, int limitMs, bool userInput) {
    bool abandoned = false;
    waits_.push_back(&abandoned);
    QElapsedTimer clock;
    clock.start();
    Result result = TimedOut;
    // The user's clicks and keys wait, as they would behind a window that is busy, for as long
    // as a disk that is merely slow takes: an entry clicked and Play pressed at once then play
    // that entry, where Play met a transport with nothing open yet and went unheard, and keys
    // that follow a click do not run inside the click's own open. A disk silent for longer
    // lets them through, so that the user can give the wait up.
    bool holding = userInput;
    for (;;) {
        QEventLoop loop;
        QTimer tick;
        bool letInput = false;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (settled())
                result = Answered;
            else if (abandoned)
                result = Abandoned;
            else if (clock.elapsed() >= limitMs)
                result = TimedOut;
            else if (holding && clock.elapsed() >= InputHeldMs)
                letInput = true;
            else
                return;
            loop.quit();
        });
        tick.start(20);
        loop.exec(userInput && !holding ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (!letInput)
            break;
        holding = false;
    }
    waits_.erase(std::find(waits_.begin(), waits_.end(), &abandoned));
    // Ended from outside (the application quits every event loop as it ends): given up.
    if (result == TimedOut && clock.elapsed() < limitMs)
        result = Abandoned;
    return result;
}

void DiskWait::abandon() {
    for (bool* w : waits_)
        *w = true;
}

} // namespace zypo
