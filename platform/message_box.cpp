// MessageBoxA: a modal box on the dialog's thread; from another thread the
// box runs on the dialog's thread and only the caller waits for it.
#include "platform/message_box.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/thread_safety.h"
#include "platform/gui_thread.h"
#include "platform/qt_text.h"
#include "platform/window_state.h"

using namespace platform::detail;

namespace {

// A leaf lock: nothing else is taken while it is held.
Mutex ownersLock;
std::map<HWND, int> boxesByOwner GUARDED_BY(ownersLock);  // boxes asked for and not yet answered

// Dialog's thread only: the boxes shown, with their owners.
std::vector<std::pair<HWND, QPointer<QMessageBox>>> shownBoxes;

// From the call of MessageBoxA until its return, the owner is disabled.
class OwnerDisabled {
public:
    explicit OwnerDisabled(HWND owner) : owner_(owner) {
        MutexLock guard(ownersLock);
        ++boxesByOwner[owner_];
    }
    ~OwnerDisabled() {
        MutexLock guard(ownersLock);
        if (--boxesByOwner[owner_] == 0) boxesByOwner.erase(owner_);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    HWND owner_;
};

QMessageBox::StandardButtons buttonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_ABORTRETRYIGNORE:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconFor(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int resultOf(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Abort:
        return IDABORT;
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Ignore:
        return IDIGNORE;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return 0;
    }
}

struct BoxRequest {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Dialog's thread. The box is owned by the owner dialog's window when it
// still exists, and closes with it.
QMessageBox* makeBox(const BoxRequest& r) {
    QWidget* parent = nullptr;
    if (const auto d = findDialog(r.owner)) parent = d->widget.data();
    auto* box = new QMessageBox(iconFor(r.type), decodeText(r.caption), decodeText(r.text), buttonsFor(r.type), parent);
    box->setTextFormat(Qt::PlainText);
    std::erase_if(shownBoxes, [](const auto& shown) { return shown.second.isNull(); });
    shownBoxes.emplace_back(r.owner, box);
    return box;
}

// Dialog's thread.
void closeBoxesOf(HWND owner) {
    for (const auto& [boxOwner, box] : std::vector(shownBoxes)) {
        if (boxOwner != owner || !box) continue;
        const QList<QAbstractButton*> buttons = box->buttons();
        if (buttons.size() == 1)
            buttons.front()->click();
        else
            box->reject();
    }
}

// The caller's side of a box shown for another thread. lock is a leaf; the
// wait releases it while it sleeps.
struct Answer {
    Mutex lock;
    std::condition_variable_any done;
    bool given GUARDED_BY(lock) = false;
    int result GUARDED_BY(lock) = 0;

    void give(int value) {
        MutexLock guard(lock);
        if (given) return;
        given = true;
        result = value;
        done.notify_all();
    }

    int wait() {
        MutexLock guard(lock);
        // A loop rather than a predicate: the analysis cannot see that a
        // lambda runs with the lock held.
        while (!given) done.wait(lock);
        return result;
    }
};

// Dialog's thread: shows the box without a loop of its own, so the dialog's
// thread goes on with its work while the caller waits.
void showForOtherThread(const BoxRequest& r, const std::shared_ptr<Answer>& answer) {
    QMessageBox* box = makeBox(r);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(box->parentWidget() ? Qt::WindowModal : Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box, [answer](int button) { answer->give(resultOf(button)); });
    // A box that goes away with its owner answers 0, as a failed box does.
    QObject::connect(box, &QObject::destroyed, [answer] { answer->give(0); });
    box->open();
}

}  // namespace

namespace platform::detail {

std::atomic<MessageBoxStandIn> messageBoxStandIn{nullptr};

}  // namespace platform::detail

namespace platform {

void closeMessageBoxes(HWND owner) {
    if (onGuiThread())
        closeBoxesOf(owner);
    else
        postToGui([owner] { closeBoxesOf(owner); });
}

}  // namespace platform

BOOL IsWindowEnabled(HWND window) {
    MutexLock guard(ownersLock);
    return boxesByOwner.count(window) ? FALSE : TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    BoxRequest request{owner, text ? text : "", caption ? caption : "Error", type};
    const OwnerDisabled disabled(owner);
    if (MessageBoxStandIn standIn = messageBoxStandIn.load())
        if (std::optional<int> answer = standIn(owner, request.text.c_str(), request.caption.c_str(), type))
            return *answer;

    if (!QCoreApplication::instance()) {
        // The application belongs on the main thread; a worker asking
        // before any window exists has no box to get.
        if (gettid() != getpid()) {
            std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
            return IDOK;
        }
        ensureApplication();
    }
    if (onGuiThread()) {
        QMessageBox* box = makeBox(request);
        QPointer<QMessageBox> guard(box);
        const int button = box->exec();
        delete guard.data();
        return resultOf(button);
    }
    auto answer = std::make_shared<Answer>();
    postToGui([request, answer] { showForOtherThread(request, answer); });
    return answer->wait();
}
