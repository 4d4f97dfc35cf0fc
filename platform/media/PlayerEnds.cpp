#include "platform/media/PlayerEnds.h"

#include "platform/media/MpvPicture.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mpv/client.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zypo {

namespace {
// How long the exit waits for the players closed last to end.
constexpr int ExitEndLimitMs = 3000;
// How often windows of ended players are looked for, to be taken down.
constexpr int CarrierSweepMs = 100;

/// Players being ended on threads of their own. Ending a player waits for its threads, and a
/// reader that waits for a disk that has stopped answering may never come back: the window must
/// not wait with it. The player's output window lives inside its carrier, so a carrier goes
/// (on the UI thread) only once its player has ended.
struct Ends {
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
};

Ends& ends();

void awaitEnds() {
    // At exit: the players closed last end (their streams closed, their outputs shut down)
    // before the process does; one stuck in its disk is left to the exit.
    Ends& e = ends();
    std::unique_lock lock(e.mutex);
    e.done.wait_for(lock, std::chrono::milliseconds(ExitEndLimitMs), [&e] { return e.running == 0; });
}

Ends& ends() {
    // Never destroyed: a player stuck in its disk still ends (or not) after the exit's wait.
    static Ends* const made = [] {
        std::atexit(awaitEnds);
        return new Ends;
    }();
    return *made;
}

struct EndingCarrier {
    std::shared_ptr<std::atomic<bool>> ended;
    QPointer<QWindow> carrier;
};
std::vector<EndingCarrier>& endingCarriers() {
    static std::vector<EndingCarrier> list;
    return list;
}
bool sweepQueued = false;

void sweepCarriers() {
    sweepQueued = false;
    auto& list = endingCarriers();
    std::erase_if(list, [](EndingCarrier& c) {
        if (!c.ended->load())
            return false;
        delete c.carrier;
        return true;
    });
    if (!list.empty() && QCoreApplication::instance()) {
        sweepQueued = true;
        QTimer::singleShot(CarrierSweepMs, QCoreApplication::instance(), sweepCarriers);
    }
}

} // namespace

void endPlayer(mpv_handle* mpv, QWindow* carrier, std::shared_ptr<MpvPicture> picture) {
    mpv_set_wakeup_callback(mpv, nullptr, nullptr);
    if (carrier) {
        // Out of the display window, which closes now, into a hidden top-level window.
        carrier->hide();
        carrier->setParent(nullptr);
    }
    auto ended = std::make_shared<std::atomic<bool>>(false);
    Ends& e = ends();
    {
        const std::lock_guard lock(e.mutex);
        ++e.running;
    }
    const auto end = [mpv, ended, &e, picture = std::move(picture)] {
        if (picture)
            picture->end(); // the renderer goes before its player
        mpv_terminate_destroy(mpv);
        ended->store(true);
        const std::lock_guard lock(e.mutex);
        --e.running;
        e.done.notify_all();
    };
    try {
        std::thread(end).detach();
    } catch (const std::system_error&) {
        end(); // no thread to be had: ended here, as a last resort
    }
    if (!carrier)
        return;
    endingCarriers().push_back({ended, carrier});
    if (!sweepQueued)
        sweepCarriers();
}

} // namespace zypo
