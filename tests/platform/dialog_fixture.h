// A main dialog made with CreateDialogParamA whose procedure records every
// message it gets; a test may answer messages through `handler`.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "app/resources/main_dialog.h"
#include "platform/win32.h"
#include "state/resource_ids.h"
#include "tests/support/platform_testing.h"

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        current = this;
        guiThread = std::this_thread::get_id();
        registerMainDialogResources();
    }

    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        platform::testing::pumpEvents(5000, [] { return platform::testing::pendingUpdates() == 0; });
        platform::testing::setMessageBoxInterceptor({});
        EXPECT_FALSE(calledOffGuiThread) << "the dialog procedure ran on another thread";
        current = nullptr;
    }

    HWND open(LPARAM initParam = 0) {
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, proc, initParam);
        platform::testing::flushUpdates();
        return dialog;
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }

    LRESULT send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
    }

    std::vector<Received> messages(UINT message) const {
        std::vector<Received> found;
        for (const auto& r : received)
            if (r.message == message) found.push_back(r);
        return found;
    }

    std::vector<Received> commands() const { return messages(WM_COMMAND); }

    bool pumpUntil(const std::function<bool()>& until, int maxMs = 10000) {
        return platform::testing::pumpEvents(maxMs, until);
    }

    static INT_PTR proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        DialogTest* test = current;
        if (!test) return 0;
        if (std::this_thread::get_id() != test->guiThread) test->calledOffGuiThread = true;
        test->received.push_back({m, w, l});
        if (test->handler) return test->handler(h, m, w, l);
        return m == WM_INITDIALOG ? TRUE : FALSE;
    }

    static inline DialogTest* current = nullptr;
    std::thread::id guiThread;
    std::atomic<bool> calledOffGuiThread{false};
    std::vector<Received> received;  // dialog's thread only
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> handler;
    HWND dialog = nullptr;
    bool keepDefaultFocus = true;
};
