#include "platform/media/MpvPicture.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPainter>
#include <mpv/client.h>
#include <mpv/render.h>
#include <system_error>

namespace zypo {

namespace {
// Until a window asks for a size, frames are rendered small: mpv waits for each frame to be
// taken, also the first one of a clip that is opened ahead and not shown yet.
constexpr int UnseenSide = 16;
} // namespace

std::shared_ptr<MpvPicture> MpvPicture::create(mpv_handle* mpv) {
    std::shared_ptr<MpvPicture> picture(new MpvPicture);
    char api[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, api}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&picture->context_, mpv, params) < 0)
        return nullptr;
    // Called on mpv's threads: only wakes the render thread.
    mpv_render_context_set_update_callback(
        picture->context_,
        [](void* self) {
            auto* p = static_cast<MpvPicture*>(self);
            const std::lock_guard lock(p->mutex_);
            p->updated_ = true;
            p->wake_.notify_one();
        },
        picture.get());
    try {
        picture->thread_ = std::thread(&MpvPicture::run, picture.get());
    } catch (const std::system_error&) {
        mpv_render_context_free(picture->context_);
        picture->context_ = nullptr;
        return nullptr;
    }
    return picture;
}

MpvPicture::~MpvPicture() {
    end();
}

void MpvPicture::end() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable())
        thread_.join();
    if (context_) {
        mpv_render_context_free(context_);
        context_ = nullptr;
    }
}

void MpvPicture::setTarget(QSize size) {
    const std::lock_guard lock(mutex_);
    if (size == target_)
        return;
    target_ = size;
    redraw_ = true;
    wake_.notify_one();
}

void MpvPicture::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || updated_ || redraw_; });
        if (stop_)
            return;
        const bool updated = updated_;
        const bool redraw = redraw_;
        updated_ = false;
        redraw_ = false;
        const QSize size = target_.isValid() && !target_.isEmpty() ? target_ : QSize(UnseenSide, UnseenSide);
        lock.unlock();
        bool render = redraw;
        if (updated)
            render = (mpv_render_context_update(context_) & MPV_RENDER_UPDATE_FRAME) || render;
        if (render)
            renderInto(size);
        lock.lock();
    }
}

void MpvPicture::renderInto(QSize size) {
    // A row of a multiple of 16 pixels keeps the stride at 64 bytes, which mpv's converters
    // take without copying; the rows are cut to the size asked for.
    const int rowPixels = (size.width() + 15) / 16 * 16;
    QImage image(rowPixels, size.height(), QImage::Format_RGB32);
    if (image.isNull())
        return; // no memory for it: the window keeps the frame before
    int wh[2] = {size.width(), size.height()};
    char format[] = "bgr0"; // QImage's RGB32 in memory on a little-endian machine
    auto stride = static_cast<size_t>(image.bytesPerLine());
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, wh},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(context_, params) < 0)
        return;
    // The fourth byte is left as mpv's converter wrote it; RGB32 wants it opaque.
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] |= 0xff000000u;
    }
    if (rowPixels != size.width())
        image = image.copy(0, 0, size.width(), size.height());
    const std::lock_guard lock(mutex_);
    frame_ = std::move(image);
    if (repaintQueued_ || stop_)
        return;
    repaintQueued_ = true;
    if (auto* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [weak = weak_from_this()] {
            if (const auto self = weak.lock())
                self->repaintViewer();
        });
    }
}

void MpvPicture::repaintViewer() {
    {
        const std::lock_guard lock(mutex_);
        repaintQueued_ = false;
    }
    if (viewer_)
        viewer_->update();
}

void MpvPicture::setViewer(QWidget* viewer) {
    viewer_ = viewer;
    if (viewer)
        viewer->update();
}

void MpvPicture::paint(QWidget* viewer) const {
    const QImage frame = this->frame();
    if (frame.isNull())
        return;
    QPainter painter(viewer);
    // Rendered at the window's size in device pixels; scaled only for the moment between a new
    // size and the frame rendered at it.
    painter.drawImage(viewer->rect(), frame);
}

QImage MpvPicture::frame() const {
    const std::lock_guard lock(mutex_);
    return frame_;
}

} // namespace zypo
