// Messages from other threads: they change the model at once, the widgets
// follow in send order, no sender ever waits for the dialog's thread, and a
// window may end while another thread still sends to it.
#include <QSlider>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "tests/platform/dialog_fixture.h"

namespace {

using namespace platform::testing;

using DialogThreadsTest = DialogTest;

TEST_F(DialogThreadsTest, WidgetsFollowAnotherThreadsUpdatesInSendOrder) {
    ASSERT_NE(open(), nullptr);
    constexpr int kCount = 3000;
    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (int i = 1; i <= kCount; ++i) {
            SetDlgItemTextA(dialog, IDC_STATUS, std::to_string(i).c_str());
            send(IDC_VOLUME, TBM_SETPOS, TRUE, i % 101);
        }
        done = true;
    });
    int last = 0;
    bool ordered = true;
    const bool finished = pumpUntil([&] {
        const QString shown = shownText(item(IDC_STATUS));
        const int now = shown == "TAG" ? 0 : shown.toInt();
        ordered = ordered && now >= last;
        last = now;
        return done && now == kCount;
    });
    sender.join();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(ordered);
    flushUpdates();
    EXPECT_EQ(static_cast<QSlider*>(widgetOf(item(IDC_VOLUME)))->value(), kCount % 101);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), kCount % 101);
}

TEST_F(DialogThreadsTest, ListRowsFromAnotherThreadEndAsTheLastRoundLeftThem) {
    ASSERT_NE(open(), nullptr);
    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (int round = 0; round < 60; ++round) {
            send(IDC_STATIONS, LB_RESETCONTENT);
            for (int row = 0; row <= round % 7; ++row)
                send(IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(round * 10 + row).c_str()));
        }
        send(IDC_STATIONS, LB_SETCURSEL, 2);
        done = true;
    });
    const QStringList expected = {"590", "591", "592", "593"};  // round 59 adds 59 % 7 + 1 rows
    EXPECT_TRUE(pumpUntil([&] { return done && shownRows(item(IDC_STATIONS)) == expected; }));
    sender.join();
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCOUNT), 4);
    EXPECT_EQ(shownText(item(IDC_STATIONS)), "592");
}

// The dialog's thread sits in a long handler; another thread's messages
// must all return while it is still there.
TEST_F(DialogThreadsTest, NoSenderWaitsForABusyDialogThread) {
    ASSERT_NE(open(), nullptr);
    std::mutex lock;
    std::condition_variable changed;
    bool workerDone = false;
    bool handlerSawWorkerDone = false;
    LRESULT position = -1;
    char textRead[32] = {};
    std::thread worker;
    handler = [&](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m != WM_COMMAND || LOWORD(w) != IDC_PAUSE) return m == WM_INITDIALOG || m == WM_USER + 5;
        worker = std::thread([&] {
            SetDlgItemTextA(dialog, IDC_STATUS, "from a worker");
            GetDlgItemTextA(dialog, IDC_STATUS, textRead, sizeof textRead);
            send(IDC_VOLUME, TBM_SETPOS, TRUE, 33);
            position = send(IDC_VOLUME, TBM_GETPOS);
            send(IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("row"));
            send(IDC_LEVEL_LEFT, PBM_SETPOS, 50);
            send(IDC_REC, BM_CLICK);
            send(IDC_PRESET_VOCAL, WM_ACTIVATE, WA_ACTIVE, 0);
            SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("new title"));
            SendMessageA(dialog, WM_USER + 5, 7, 8);
            SetTimer(dialog, 9, 10, nullptr);
            KillTimer(dialog, 9);
            std::lock_guard guard(lock);
            workerDone = true;
            changed.notify_all();
        });
        std::unique_lock guard(lock);
        handlerSawWorkerDone = changed.wait_for(guard, std::chrono::seconds(60), [&] { return workerDone; });
        return 1;
    };
    click(item(IDC_PAUSE));
    worker.join();
    EXPECT_TRUE(handlerSawWorkerDone);
    EXPECT_STREQ(textRead, "from a worker");
    EXPECT_EQ(position, 33);

    // What needs the dialog's thread happens once it is free, in order.
    ASSERT_TRUE(pumpUntil([this] { return !messages(WM_USER + 5).empty(); }));
    const auto posted = messages(WM_USER + 5);
    EXPECT_EQ(posted[0].wParam, 7u);
    EXPECT_EQ(posted[0].lParam, 8);
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[1].wParam, MAKEWPARAM(IDC_REC, BN_CLICKED));
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(focusedControl(dialog), item(IDC_PRESET_VOCAL));
    EXPECT_EQ(shownText(item(IDC_STATUS)), "from a worker");
    EXPECT_EQ(shownText(dialog), "new title");
    EXPECT_TRUE(messages(WM_TIMER).empty());
}

TEST_F(DialogThreadsTest, EndingTheWindowWhileAnotherThreadSendsIsSafe) {
    ASSERT_NE(open(), nullptr);
    const HWND status = item(IDC_STATUS);
    std::atomic<bool> stop{false};
    std::atomic<long> sent{0};
    std::atomic<long> answeredAfterEnd{0};
    std::atomic<bool> ended{false};
    std::thread sender([&] {
        while (!stop) {
            const bool wasEnded = ended;
            SendMessageA(status, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("busy"));
            SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_SETPOS, TRUE, sent % 100);
            SendDlgItemMessageA(dialog, IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("x"));
            const LRESULT length = SendMessageA(status, WM_GETTEXTLENGTH, 0, 0);
            if (wasEnded && length != 0) ++answeredAfterEnd;
            SetTimer(dialog, 1, 10, nullptr);
            ++sent;
        }
    });
    EXPECT_TRUE(pumpUntil([&] { return sent > 2000; }));
    DestroyWindow(dialog);
    ended = true;
    const long atEnd = sent;
    EXPECT_TRUE(pumpUntil([&] { return sent > atEnd + 2000 && widgetOf(dialog) == nullptr; }));
    stop = true;
    sender.join();
    EXPECT_EQ(answeredAfterEnd, 0);
    dialog = nullptr;
}

// The modal run ends when another thread calls EndDialog, while that thread
// goes on sending.
std::atomic<HWND> modalDialog{nullptr};

INT_PTR modalProc(HWND h, UINT m, WPARAM, LPARAM) {
    if (m == WM_INITDIALOG) modalDialog = h;
    return m == WM_INITDIALOG;
}

TEST(ModalDialogThreads, AnotherThreadEndsTheModalRunWhileSending) {
    registerMainDialogResources();
    modalDialog = nullptr;
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!modalDialog && !stop) std::this_thread::yield();
        for (int i = 0; i < 500; ++i) SetDlgItemTextA(modalDialog, IDC_STATUS, std::to_string(i).c_str());
        EndDialog(modalDialog, 42);
        while (!stop) SetDlgItemTextA(modalDialog, IDC_STATUS, "after the end");
    });
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, modalProc, 0);
    stop = true;
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_FALSE(IsWindow(modalDialog));
}

}  // namespace
