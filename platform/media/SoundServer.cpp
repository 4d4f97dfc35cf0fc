#include "platform/media/SoundServer.h"

#include <QFileInfo>
#include <QString>
#include <chrono>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <thread>

namespace zypo {

bool expectsSoundServer() {
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER") ||
           QFileInfo::exists(QStringLiteral("/usr/bin/pulseaudio")) ||
           QFileInfo::exists(QStringLiteral("/usr/bin/pipewire-pulse"));
}

namespace {
using Clock = std::chrono::steady_clock;

/// Runs the loop until `done` says so; false when the connection fails or the limit passes.
template <class Done>
bool runUntil(pa_mainloop* loop, pa_context* context, Clock::time_point limit, Done done) {
    while (!done()) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || Clock::now() > limit)
            return false;
        if (pa_mainloop_prepare(loop, 100000) < 0 || pa_mainloop_poll(loop) < 0 ||
            pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

/// Connects to the server and, once connected, lets `ask` put its question on the connection,
/// which is dropped again after: nothing shows on the server. False when no connection came.
template <class Ask> bool withServer(Ask ask) {
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop)
        return false;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "zypo");
    bool ready = false;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto limit = Clock::now() + std::chrono::seconds(2);
        ready =
            runUntil(loop, context, limit, [&] { return pa_context_get_state(context) == PA_CONTEXT_READY; });
        if (ready)
            ask(loop, context, limit);
        pa_context_disconnect(context);
    }
    if (context)
        pa_context_unref(context);
    pa_mainloop_free(loop);
    return ready;
}

bool serverAnswers() {
    return withServer([](pa_mainloop*, pa_context*, Clock::time_point) {});
}

/// The rate of the output the server plays to by default, or 0.
int defaultOutputRate() {
    int rate = 0;
    withServer([&rate](pa_mainloop* loop, pa_context* context, Clock::time_point limit) {
        const auto answer = [](pa_context*, const pa_sink_info* info, int eol, void* to) {
            if (eol == 0 && info)
                *static_cast<int*>(to) = static_cast<int>(info->sample_spec.rate);
        };
        pa_operation* op = pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@", answer, &rate);
        if (!op)
            return;
        runUntil(loop, context, limit, [op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        pa_operation_unref(op);
    });
    return rate;
}

std::atomic<int> serverRate{0};
std::atomic<bool> askingRate{false};
} // namespace

int soundServerRate() {
    return serverRate.load(std::memory_order_relaxed);
}

void askSoundServerRate() {
    if (askingRate.exchange(true))
        return;
    std::thread([] {
        // A server that does not answer leaves the last rate known: it is most likely the one
        // the server has when it comes back.
        if (const int rate = defaultOutputRate(); rate > 0)
            serverRate.store(rate, std::memory_order_relaxed);
        askingRate.store(false);
    }).detach();
}

void SoundServerProbe::ask() {
    if (answer_ && answer_->load() == 0)
        return; // still asking
    answer_ = std::make_shared<std::atomic<int>>(0);
    std::thread([answer = answer_] { answer->store(serverAnswers() ? 1 : 2); }).detach();
}

bool SoundServerProbe::answered() {
    if (!answer_ || answer_->load() != 1)
        return false;
    answer_.reset();
    return true;
}

} // namespace zypo
