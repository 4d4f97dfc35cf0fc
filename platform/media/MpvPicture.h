#pragma once
// A clip's picture where mpv cannot draw into a window of its own: on Wayland without an X
// server (and on any window system that is not X11). mpv renders each frame into memory
// (libmpv's render API, software renderer) on a thread of this object's own, at the size the
// display window asks for; the display window paints the latest frame.
//
// Rendering keeps up while the UI thread is busy (an item opening ahead, a dialog): mpv's video
// output waits for each frame to be taken before it goes on, and a picture that waited for the
// window would hold the clip up.
#include <QImage>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct mpv_handle;
struct mpv_render_context;

namespace zypo {

class MpvPicture : public std::enable_shared_from_this<MpvPicture> {
public:
    /// A renderer for the player, made after mpv_initialize and before a file is loaded (with
    /// vo=libmpv); nullptr when mpv will not make one.
    static std::shared_ptr<MpvPicture> create(mpv_handle* mpv);
    ~MpvPicture();
    MpvPicture(const MpvPicture&) = delete;
    MpvPicture& operator=(const MpvPicture&) = delete;

    /// The size in device pixels that frames are rendered at; the current frame is rendered
    /// again at the new size.
    void setTarget(QSize size);
    /// The window that shows the frames (UI thread); repainted when a frame is ready.
    void setViewer(QWidget* viewer);
    /// Paints the latest frame over the viewer's rectangle (from the viewer's paint event).
    void paint(QWidget* viewer) const;
    /// The latest frame (tests).
    QImage frame() const;
    /// Stops rendering and lets the renderer go; the player's core may be ended after this.
    /// Waits for the render thread only: safe on the thread that ends the player.
    void end();

private:
    MpvPicture() = default;
    void run();
    void renderInto(QSize size);
    void repaintViewer();

    mpv_render_context* context_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool updated_ = false; // mpv has something new
    bool redraw_ = false;  // the target changed
    bool stop_ = false;
    bool repaintQueued_ = false;
    QSize target_;
    QImage frame_;
    std::thread thread_;
    QPointer<QWidget> viewer_; // UI thread only
};

} // namespace zypo
