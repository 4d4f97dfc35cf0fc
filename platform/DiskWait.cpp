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
    QEventLoop loop;
    QTimer tick;
    Result result = TimedOut;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (settled())
            result = Answered;
        else if (abandoned)
            result = Abandoned;
        else if (clock.elapsed() < limitMs)
            return;
        loop.quit();
    });
    tick.start(20);
    loop.exec(userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
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
