#include "platform/window_visibility.h"

#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/control_widgets.h"

namespace platform::detail {

namespace {

// Dialog's thread: shows what the controls' models say now, for each
// control whose update waited.
void showWaitingControls(DialogState& d) {
    for (const auto& c : d.controls) {
        bool waiting;
        {
            MutexLock guard(c->lock);
            waiting = c->syncPending;
        }
        if (waiting) syncControlWidget(*c);
    }
}

// X11 tells a window that asks when it becomes fully covered, or visible
// again (VisibilityNotify); Qt does not ask, so the watcher asks for its
// window and reads the answers before Qt sees them.
class VisibilityWatcher final : public QObject, public QAbstractNativeEventFilter {
public:
    VisibilityWatcher(std::shared_ptr<DialogState> d, QWidget* window)
        : QObject(window), dialog_(std::move(d)), window_(window) {
        window->installEventFilter(this);
    }

    ~VisibilityWatcher() override {
        if (native_) QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::WinIdChange:
        case QEvent::Show:
            if (watched == window_) watchNativeWindow();
            update();
            break;
        case QEvent::Hide:
        case QEvent::WindowStateChange:
        case QEvent::Expose:
            update();
            break;
        default:
            break;
        }
        return false;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY) return false;
        const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
        if (visibility->window != xcbWindow_) return false;
        covered_ = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
        update();
        return false;
    }

private:
    // The window is hidden when shown but not to be seen. Until it was
    // first seen its widgets stay current, as they are built: the window
    // system maps a new window a moment after it is shown.
    void update() {
        QWindow* handle = window_->windowHandle();
        const bool exposed = handle && handle->isExposed();
        seen_ = seen_ || exposed;
        const bool hidden = window_->isVisible() && (window_->isMinimized() || (seen_ && !exposed) || covered_);
        if (hidden == dialog_->controlsWait.load()) return;
        dialog_->controlsWait.store(hidden);
        paceDialogTimers(*dialog_);
        if (!hidden) showWaitingControls(*dialog_);
    }

    void watchNativeWindow() {
        QWindow* handle = window_->windowHandle();
        if (handle && handle != watchedHandle_) {
            handle->installEventFilter(this);
            watchedHandle_ = handle;
        }
        // Only windows of the X11 platform get the answers (the offscreen
        // one, say, may know an X connection but makes no X windows).
        if (!handle || QGuiApplication::platformName() != QLatin1String("xcb")) return;
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
        const auto id = static_cast<xcb_window_t>(window_->winId());
        if (!connection || id == xcbWindow_) return;
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
        if (!attributes) return;
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
        std::free(attributes);
        xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        xcbWindow_ = id;
        covered_ = false;
        if (!native_) QCoreApplication::instance()->installNativeEventFilter(this);
        native_ = true;
    }

    std::shared_ptr<DialogState> dialog_;
    QWidget* window_;
    QWindow* watchedHandle_ = nullptr;
    xcb_window_t xcbWindow_ = 0;
    bool covered_ = false;
    bool seen_ = false;
    bool native_ = false;
};

}  // namespace

void watchWindowVisibility(const std::shared_ptr<DialogState>& d) {
    if (QWidget* window = d->widget.data()) new VisibilityWatcher(d, window);  // owned by the window
}

}  // namespace platform::detail
