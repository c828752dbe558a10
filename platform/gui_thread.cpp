#include "platform/gui_thread.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThread>

#include <atomic>
#include <deque>

#include "platform/accessibility.h"
#include "platform/op_queue.h"

namespace platform::detail {

namespace {

OpQueue& queue() {
    return opQueue();
}

std::atomic<QObject*> dispatcher{nullptr};

// How many drains (runPendingOps or a DrainAtEnd) are under way on this
// thread; only the dialog's thread runs them. Inside one, an op queued by
// the dialog's thread itself needs no drain event: the outermost one runs
// it when it ends.
thread_local int drainDepth = 0;

void postDrainEvent() {
    if (QObject* target = dispatcher.load())
        QMetaObject::invokeMethod(
            target, [] { runPendingOps(); }, Qt::QueuedConnection);
}

// Makes sure a drain event is on its way while ops wait, so that a nested
// event loop started by one op (a message box) keeps running later ops.
void requestDrain(bool onlyIfOpsWait) {
    if (!dispatcher.load()) return;  // ensureApplication drains what waits
    if (!onlyIfOpsWait && drainDepth > 0) return;
    bool post = false;
    {
        MutexLock guard(queue().lock);
        if (!queue().drainPosted && (!onlyIfOpsWait || !queue().ops.empty())) {
            queue().drainPosted = true;
            post = true;
        }
    }
    if (post) postDrainEvent();
}

// An event loop of the dialog's thread is about to wait. Inside a drain that
// is a nested loop (a message box shown by an op or a tick): the ops queued
// meanwhile must run in it, not wait for the box to close.
void onAboutToBlock() {
    if (drainDepth > 0) requestDrain(true);
}

}  // namespace

DrainAtEnd::DrainAtEnd() {
    ++drainDepth;
}

DrainAtEnd::~DrainAtEnd() {
    if (--drainDepth > 0) return;
    runPendingOps();
}

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "tunelark";
    static char* argv[] = {name, nullptr};
    // The window repaints a few small strips twenty times a second. Sent
    // through the X socket they cost less than through shared memory, where
    // Qt waits for the server (a round trip) before every paint into the
    // image it last sent. A setting of the user's own wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    auto* app = new QApplication(argc, argv);  // lives until the process ends
    app->setQuitOnLastWindowClosed(false);
    installAccessibleRoles();
    auto* target = new QObject(app);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, target,
                     onAboutToBlock);
    dispatcher.store(target);
    requestDrain(true);
}

bool onGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void postToGui(std::function<void()> op) {
    {
        MutexLock guard(queue().lock);
        queue().ops.push_back(std::move(op));
    }
    requestDrain(false);
}

void runPendingOps() {
    // Only the ops queued so far: a thread that keeps sending must not hold
    // the dialog's thread here; later ops wait for the next drain event.
    size_t budget;
    {
        MutexLock guard(queue().lock);
        queue().drainPosted = false;
        budget = queue().ops.size();
    }
    ++drainDepth;
    for (; budget > 0; --budget) {
        std::function<void()> op;
        {
            MutexLock guard(queue().lock);
            if (queue().ops.empty()) break;
            op = std::move(queue().ops.front());
            queue().ops.pop_front();
        }
        op();
    }
    --drainDepth;
    requestDrain(true);  // what the ops queued, or what came meanwhile
}

OpQueue& opQueue() {
    static auto* q = new OpQueue;
    return *q;
}

}  // namespace platform::detail
