#include "platform/desktop/WindowManager.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace zypo {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* c) {
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem > 0 ? it.data->root : 0;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

/// The window manager's idea of the active window, or 0.
quint64 nativeActiveWindow() {
    xcb_connection_t* c = x11Connection();
    if (!c)
        return 0;
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE)
        return 0;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, rootWindow(c), active, XCB_ATOM_WINDOW, 0, 1), nullptr);
    quint64 id = 0;
    if (r && r->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(r) >= 4)
        id = *static_cast<const std::uint32_t*>(xcb_get_property_value(r));
    std::free(r);
    return id;
}

bool activateNative(quint64 id) {
    xcb_connection_t* c = x11Connection();
    if (!c || id == 0)
        return false;
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE)
        return false;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(id);
    ev.type = active;
    ev.data.data32[0] = 2; // asked for by a pager: the window manager honours it
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, rootWindow(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
    return true;
}

// How often, and how far apart, a window just shown is asked for again.
constexpr int ActivationAsks = 15;
constexpr int ActivationAskMs = 200;

/// Asks for the window to be brought to the front: through the window manager on X11, through
/// Qt's own request (a compositor's activation token) elsewhere.
void askToActivate(QWidget* window) {
    if (x11Connection())
        activateNative(window->internalWinId());
    else
        window->activateWindow();
}

/// A window manager that maps a window on its own time passes over a request for a window it
/// does not show yet (on a busy machine, for more than a second): a Wayland compositor's X11
/// windows are drawn on the X server before the compositor shows them, and a Wayland
/// compositor takes a request for a surface it has not mapped as a launch notice. Such a window
/// is asked for again, for up to three seconds, until it has been active once: after that the
/// user may have moved on, and the moment it is seen active no more is asked, so that a user
/// who goes straight back to another window keeps it.
class ActivationAsk : public QObject, public QAbstractNativeEventFilter {
public:
    explicit ActivationAsk(QWidget* window) : QObject(window), window_(window) {
        setObjectName(name());
        window->installEventFilter(this);
        if (xcb_connection_t* c = x11Connection()) {
            // The window manager names its active window on the root window: each change is
            // seen as it happens (Qt follows the root window's properties).
            activeAtom_ = atom(c, "_NET_ACTIVE_WINDOW");
            root_ = rootWindow(c);
            qApp->installNativeEventFilter(this);
        }
        timer_.setInterval(ActivationAskMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { askAgain(); });
        timer_.start();
    }
    ~ActivationAsk() override {
        if (qApp)
            qApp->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || activeAtom_ == XCB_ATOM_NONE)
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY) {
            const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
            if (change->window == root_ && change->atom == activeAtom_ && cameToTheFront())
                finish();
        }
        return false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::WindowActivate && cameToTheFront())
            finish();
        return false;
    }

private:
    /// On X11 Qt gives its window the input focus itself, so the window is "activated" whether
    /// or not the window manager brought it to the front: only the window manager's own active
    /// window counts there.
    bool cameToTheFront() const {
        return x11Connection() ? nativeActiveWindow() == window_->internalWinId()
                               : QApplication::activeWindow() == window_.data();
    }

    void finish() {
        timer_.stop();
        deleteLater();
    }

    void askAgain() {
        if (!window_ || ++asks_ > ActivationAsks || !window_->isVisible() || window_->isMinimized() ||
            cameToTheFront()) {
            finish();
            return;
        }
        askToActivate(window_);
    }

public:
    static QString name() { return QStringLiteral("zypo-activation-ask"); }

private:
    QPointer<QWidget> window_;
    QTimer timer_;
    int asks_ = 0;
    xcb_atom_t activeAtom_ = XCB_ATOM_NONE;
    xcb_window_t root_ = 0;
};

void askAgainUntilActive(QWidget* window) {
    // (Not a QObject class of its own to Qt: found by its name.)
    for (QObject* earlier : window->findChildren<QObject*>(ActivationAsk::name(), Qt::FindDirectChildrenOnly))
        delete earlier;
    new ActivationAsk(window);
}

} // namespace

ForegroundHandle WindowManager::GetForegroundWindow() {
    ForegroundHandle h;
    h.widget = QApplication::activeWindow();
    h.native = nativeActiveWindow();
    if (!h.widget && h.native != 0) {
        // One of ours that Qt does not count as active yet (just shown)?
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->internalWinId() == h.native)
                h.widget = w;
    }
    return h;
}

void WindowManager::SetForegroundWindow(const ForegroundHandle& window) {
    if (QWidget* w = window.widget.data()) {
        // A minimised window stays minimised: bringing to the front does not restore.
        if (w->isMinimized())
            return;
        // Windows without a window system (headless runs) have no stacking to change.
        const bool windowed = QGuiApplication::platformName() != QLatin1String("offscreen");
        if (windowed)
            w->raise();
        w->activateWindow();
        // The window manager may not hand the focus over on Qt's request alone, nor on the
        // first request for a window it has not shown yet.
        if (w->internalWinId() != 0 && (activateNative(w->internalWinId()) || windowed))
            askAgainUntilActive(w);
        return;
    }
    activateNative(window.native);
}

void WindowManager::SetTopmost(QWidget* window) {
    if (!window)
        return;
    if (!(window->windowFlags() & Qt::WindowStaysOnTopHint)) {
        if (QWindow* handle = window->windowHandle()) {
            // The native window exists: change its state in place instead of re-creating it.
            window->overrideWindowFlags(window->windowFlags() | Qt::WindowStaysOnTopHint);
            handle->setFlags(handle->flags() | Qt::WindowStaysOnTopHint);
        } else {
            window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
            return; // shown later, on top
        }
    }
    if (!window->isVisible())
        return;
    window->show();
    window->raise();
}

bool WindowManager::KeepsAbove() const {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool useInterfaceFont() {
    const QString family = QStringLiteral("IPAGothic");
    if (!QFontDatabase::families().contains(family))
        return false;
    QFont font = QApplication::font();
    font.setFamilies({family});
    QApplication::setFont(font);
    return true;
}

QWidget* WindowManager::GetFocus() {
    return QApplication::focusWidget();
}

static double dpiX() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
static double dpiY() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

double twipsPerPixelX() {
    return 1440.0 / dpiX();
}
double twipsPerPixelY() {
    return 1440.0 / dpiY();
}
int twipsToPixelsX(int twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixelX()));
}
int twipsToPixelsY(int twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixelY()));
}

int screenWidthTwips() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return static_cast<int>(std::lround((s ? s->geometry().width() : 1024) * twipsPerPixelX()));
}
int screenHeightTwips() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return static_cast<int>(std::lround((s ? s->geometry().height() : 768) * twipsPerPixelY()));
}

} // namespace zypo

namespace zypo {

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height));
}

void centreOnScreen(QWidget* window) {
    const int outerW = static_cast<int>(std::lround(window->frameGeometry().width() * twipsPerPixelX()));
    const int outerH = static_cast<int>(std::lround(window->frameGeometry().height() * twipsPerPixelY()));
    const int left = (screenWidthTwips() - outerW) / 2;
    const int top = (screenHeightTwips() - outerH) / 2;
    window->move(static_cast<int>(std::lround(left / twipsPerPixelX())),
                 static_cast<int>(std::lround(top / twipsPerPixelY())));
}

} // namespace zypo
