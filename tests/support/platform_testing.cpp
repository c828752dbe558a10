#include "tests/support/platform_testing.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QSlider>
#include <QThread>
#include <QWindow>

#include <mutex>
#include <optional>

#include "platform/dialog_box.h"
#include "platform/dialog_events.h"
#include "platform/gui_thread.h"
#include "platform/message_box.h"
#include "platform/op_queue.h"

using namespace platform::detail;

namespace platform::testing {

namespace {

struct Control {
    std::shared_ptr<DialogState> dialog;
    std::shared_ptr<ControlModel> model;
};

Control controlOf(HWND hwnd) {
    const WindowRef ref = findWindow(hwnd);
    if (!ref.control) return {};
    return Control{ref.control->dialog.lock(), ref.control};
}

// Through the top-level window when it is shown: Qt then gives the click to
// the widget the window finds under the point, as it does a real one.
void sendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButtons buttons) {
    const QPointF centre = QRectF(widget->rect()).center();
    QWidget* top = widget->window();
    QWindow* window = top->windowHandle();
    const bool viaWindow = window && top != widget && top->isVisible();
    const QPointF at = viaWindow ? QPointF(widget->mapTo(top, centre.toPoint())) : centre;
    QMouseEvent event(type, at, widget->mapToGlobal(centre), Qt::LeftButton, buttons, Qt::NoModifier);
    if (viaWindow)
        QApplication::sendEvent(window, &event);
    else
        QApplication::sendEvent(widget, &event);
}

std::mutex interceptorLock;
MessageBoxInterceptor currentInterceptor;  // guarded by interceptorLock

// Called by every MessageBoxA once an interceptor was set; an empty one
// lets the box show.
std::optional<int> answerMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    MessageBoxInterceptor interceptor;
    {
        std::lock_guard guard(interceptorLock);
        interceptor = currentInterceptor;
    }
    if (!interceptor) return std::nullopt;
    return interceptor(owner, text, caption, type);
}

}  // namespace

void click(HWND control) {
    QPointer<QWidget> widget = widgetOf(control);
    if (!widget) return;
    sendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton);
    if (widget) sendMouse(widget, QEvent::MouseButtonRelease, Qt::NoButton);
}

void selectListRow(HWND listBox, int row) {
    if (auto* list = qobject_cast<QListWidget*>(widgetOf(listBox)))
        list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void moveTrackbar(HWND trackbar, int position, int code) {
    const Control c = controlOf(trackbar);
    auto* slider = qobject_cast<QSlider*>(widgetOf(trackbar));
    if (!c.dialog || !slider) return;
    {
        const QSignalBlocker blocker(slider);
        slider->setSliderPosition(position);
    }
    userMovedTrackbar(*c.dialog, *c.model, position, code);
}

void pressKey(HWND window, int qtKey) {
    QWidget* target = widgetOf(window);
    if (!target) return;
    if (findDialog(window) && target->focusWidget()) target = target->focusWidget();
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void pressEscape(HWND dialog) {
    pressKey(dialog, Qt::Key_Escape);
}

void pressEnter(HWND dialog) {
    pressKey(dialog, Qt::Key_Return);
}

void pressCloseBox(HWND dialog) {
    if (QWidget* window = widgetOf(dialog)) {
        QCloseEvent event;
        QApplication::sendEvent(window, &event);
    }
}

bool pumpEvents(int maxMs, const std::function<bool()>& until) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (until && until()) return true;
        if (clock.elapsed() >= maxMs) return !until;
        QThread::msleep(1);
    }
}

void flushUpdates() {
    runPendingOps();
}

size_t pendingUpdates() {
    OpQueue& queue = opQueue();
    MutexLock guard(queue.lock);
    return queue.ops.size();
}

HWND templateControl(HWND dialog, int index) {
    const auto d = findDialog(dialog);
    if (!d || index < 0 || index >= static_cast<int>(d->controls.size())) return nullptr;
    return d->controls[index]->hwnd;
}

QWidget* widgetOf(HWND window) {
    const WindowRef ref = findWindow(window);
    if (ref.control) return ref.control->widget.data();
    if (ref.dialog) return ref.dialog->widget.data();
    return nullptr;
}

QString shownText(HWND window) {
    QWidget* widget = widgetOf(window);
    if (findDialog(window)) return widget ? widget->windowTitle() : QString();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget)) return box->title();
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        const auto rows = list->selectedItems();
        return rows.isEmpty() ? QString() : rows.first()->text();
    }
    return QString();
}

int shownValue(HWND control) {
    QWidget* widget = widgetOf(control);
    QAccessibleInterface* accessible = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    QAccessibleValueInterface* value = accessible ? accessible->valueInterface() : nullptr;
    return value ? value->currentValue().toInt() : -1;
}

QStringList shownRows(HWND listBox) {
    QStringList rows;
    if (auto* list = qobject_cast<QListWidget*>(widgetOf(listBox)))
        for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

HWND focusedControl(HWND dialog) {
    const auto d = findDialog(dialog);
    if (!d || !d->widget) return nullptr;
    ControlModel* c = controlOfWidget(*d, d->widget->focusWidget());
    return c ? c->hwnd : nullptr;
}

void setMessageBoxInterceptor(MessageBoxInterceptor interceptor) {
    {
        std::lock_guard guard(interceptorLock);
        currentInterceptor = std::move(interceptor);
    }
    messageBoxStandIn.store(&answerMessageBox);
}

}  // namespace platform::testing

HWND CreateDialogParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC proc, LPARAM initParam) {
    const auto d = createDialog(templateName, proc, false);
    if (!d) return nullptr;
    initDialog(*d, initParam);
    return d->hwnd;
}
