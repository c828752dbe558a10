#include "platform/gui_thread.h"

#include <QApplication>
#include <QThread>

#include <atomic>
#include <deque>
#include <mutex>

#include "platform/accessibility.h"

namespace platform::detail {

namespace {

// Never destroyed: threads may still post while the process exits.
struct OpQueue {
    std::mutex lock;
    std::deque<std::function<void()>> ops;  // guarded by lock
    bool drainPosted = false;               // guarded by lock: a drain event waits in Qt's queue
};

OpQueue& queue() {
    static auto* q = new OpQueue;
    return *q;
}

std::atomic<QObject*> dispatcher{nullptr};

void postDrainEvent() {
    if (QObject* target = dispatcher.load())
        QMetaObject::invokeMethod(target, [] { runPendingOps(); }, Qt::QueuedConnection);
}

// Makes sure a drain event is on its way while ops wait, so that a nested
// event loop started by one op (a message box) keeps running later ops.
void requestDrain(bool onlyIfOpsWait) {
    if (!dispatcher.load()) return;  // ensureApplication drains what waits
    bool post = false;
    {
        std::lock_guard guard(queue().lock);
        if (!queue().drainPosted && (!onlyIfOpsWait || !queue().ops.empty())) {
            queue().drainPosted = true;
            post = true;
        }
    }
    if (post) postDrainEvent();
}

}  // namespace

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "tunelark";
    static char* argv[] = {name, nullptr};
    auto* app = new QApplication(argc, argv);  // lives until the process ends
    app->setQuitOnLastWindowClosed(false);
    installAccessibleRoles();
    dispatcher.store(new QObject(app));
    requestDrain(true);
}

bool onGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void postToGui(std::function<void()> op) {
    {
        std::lock_guard guard(queue().lock);
        queue().ops.push_back(std::move(op));
    }
    requestDrain(false);
}

void runPendingOps() {
    // Only the ops queued so far: a thread that keeps sending must not hold
    // the dialog's thread here; later ops wait for the next drain event.
    size_t budget;
    {
        std::lock_guard guard(queue().lock);
        queue().drainPosted = false;
        budget = queue().ops.size();
    }
    for (; budget > 0; --budget) {
        std::function<void()> op;
        {
            std::lock_guard guard(queue().lock);
            if (queue().ops.empty()) return;
            op = std::move(queue().ops.front());
            queue().ops.pop_front();
        }
        requestDrain(true);
        op();
    }
}

size_t pendingOpCount() {
    std::lock_guard guard(queue().lock);
    return queue().ops.size();
}

}  // namespace platform::detail
