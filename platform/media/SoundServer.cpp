#include "platform/media/SoundServer.h"

#include <QFileInfo>
#include <QString>
#include <chrono>
#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <thread>

namespace zypo {

bool expectsSoundServer() {
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER") ||
           QFileInfo::exists(QStringLiteral("/usr/bin/pulseaudio")) ||
           QFileInfo::exists(QStringLiteral("/usr/bin/pipewire-pulse"));
}

namespace {
/// A connection made and dropped again, without a stream: nothing shows on the server.
bool serverAnswers() {
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop)
        return false;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "zypo");
    bool ready = false;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state == PA_CONTEXT_READY) {
                ready = true;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(state) || std::chrono::steady_clock::now() > limit)
                break;
            if (pa_mainloop_prepare(loop, 100000) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0)
                break;
        }
        pa_context_disconnect(context);
    }
    if (context)
        pa_context_unref(context);
    pa_mainloop_free(loop);
    return ready;
}
} // namespace

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
