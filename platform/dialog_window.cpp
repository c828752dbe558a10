#include "platform/dialog_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>

#include "platform/accessibility.h"
#include "platform/control_widgets.h"
#include "platform/dialog_events.h"
#include "platform/dialog_units.h"
#include "platform/gui_thread.h"
#include "platform/qt_text.h"
#include "platform/resource_store.h"
#include "platform/window_visibility.h"

namespace platform::detail {

namespace {

class DialogWindow final : public QWidget {
public:
    explicit DialogWindow(std::shared_ptr<DialogState> d)
        : QWidget(nullptr, windowFlags(*d->templ)), dialog_(std::move(d)) {
        markAsDialog(this);
    }

    // Esc and Enter work wherever the focus is, as the dialog manager
    // handles them before any control sees them.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        switch (key->key()) {
        case Qt::Key_Escape:
            userPressedEscape(*dialog_);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            userPressedEnter(*dialog_, qobject_cast<QWidget*>(watched));
            return true;
        default:
            return false;
        }
    }

protected:
    // The close box and Alt+F4 only ask: the procedure decides.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        userClosed(*dialog_);
    }

private:
    static Qt::WindowFlags windowFlags(const DialogTemplate& t) {
        Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
        if ((t.style & WS_CAPTION) == WS_CAPTION) flags |= Qt::WindowTitleHint;
        if (t.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (t.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
        if (t.style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
        return flags;
    }

    std::shared_ptr<DialogState> dialog_;
};

QRect templateRect(const ControlTemplate& c) {
    return QRect(c.x, c.y, c.cx, c.cy);
}

// Win32's hit test passes through a group box, and through a static text
// that does not ask for clicks, to the control below. Qt gives a click to
// the topmost widget, and a frame lying over the controls it frames (the
// template puts it above those listed after it) would take theirs.
bool letsClicksThrough(const ControlTemplate& c) {
    return c.kind == ControlKind::GroupBox || (c.kind == ControlKind::StaticText && !(c.style & SS_NOTIFY));
}

}  // namespace

void buildDialogWindow(const std::shared_ptr<DialogState>& d) {
    auto* window = new DialogWindow(d);
    const QFont font = dialogFont(*d->templ);
    window->setFont(font);
    const QSize base = dialogBaseUnits(font);
    window->setFixedSize(dialogUnitsToPixels(QRect(0, 0, d->templ->cx, d->templ->cy), base).size());
    window->installEventFilter(window);
    d->widget = window;

    std::vector<QWidget*> widgets;
    for (const auto& c : d->controls) {
        QWidget* widget = createControlWidget(d, c, window, base);
        widget->setGeometry(dialogUnitsToPixels(templateRect(c->templ), base));
        widget->installEventFilter(window);
        widget->setAttribute(Qt::WA_TransparentForMouseEvents, letsClicksThrough(c->templ));
        c->widget = widget;
        widgets.push_back(widget);
        syncControlWidget(*c);
    }
    // Template order is the tab order, and the first control lies on top.
    for (size_t i = 1; i < widgets.size(); ++i) QWidget::setTabOrder(widgets[i - 1], widgets[i]);
    for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) (*it)->raise();
    syncDialogWidget(*d);
    watchWindowVisibility(d);
}

void showDialogWindow(DialogState& d) {
    QWidget* window = d.widget.data();
    if (!window) return;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
    window->show();
}

void syncDialogWidget(DialogState& d) {
    std::string title;
    HICON smallIcon, bigIcon;
    {
        MutexLock guard(d.lock);
        d.syncPending = false;
        title = d.title;
        smallIcon = d.smallIcon;
        bigIcon = d.bigIcon;
    }
    QWidget* window = d.widget.data();
    if (!window) return;
    window->setWindowTitle(decodeText(title));
    QIcon icon;
    for (HICON h : {bigIcon, smallIcon}) {
        const QImage image = iconImage(h);
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    window->setWindowIcon(icon);
}

void queueDialogSync(const std::shared_ptr<DialogState>& d) {
    {
        MutexLock guard(d->lock);
        if (d->syncPending) return;
        d->syncPending = true;
    }
    postToGui([d] { syncDialogWidget(*d); });
}

}  // namespace platform::detail
