// The modal run: shown centred after WM_INITDIALOG, ended by EndDialog with
// its result or by DestroyWindow with 0, never shown when start-up fails.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <functional>

#include "app/resources/main_dialog.h"
#include "platform/win32.h"
#include "state/resource_ids.h"
#include "tests/support/platform_testing.h"

#include <gtest/gtest.h>

namespace {

std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> onMessage;

INT_PTR modalProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return onMessage ? onMessage(h, m, w, l) : 0;
}

INT_PTR runModal(LPARAM initParam = 0) {
    registerMainDialogResources();
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, modalProc, initParam);
}

class DialogBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        onMessage = nullptr;
        platform::testing::setMessageBoxInterceptor({});
    }
};

TEST_F(DialogBoxTest, RunsCentredAndVisibleUntilEndDialogAndReturnsItsResult) {
    bool visible = false;
    QPoint centre;
    HWND window = nullptr;
    onMessage = [&](HWND h, UINT m, WPARAM, LPARAM l) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            window = h;
            EXPECT_EQ(l, 77);
            visible = platform::testing::widgetOf(h)->isVisible();  // not yet
            SetTimer(h, 1, 20, nullptr);
        }
        if (m == WM_TIMER) {
            QWidget* w = platform::testing::widgetOf(h);
            visible = w->isVisible();
            centre = w->geometry().center();
            EndDialog(h, 42);
        }
        return 1;
    };
    EXPECT_EQ(runModal(77), 42);
    EXPECT_TRUE(visible);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 4);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(DialogBoxTest, DestroyWindowEndsTheRunWithZeroUnlessEndDialogGaveAResult) {
    const auto destroyOnTick = [](INT_PTR result) {
        return [result](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
            if (m == WM_INITDIALOG) SetTimer(h, 1, 20, nullptr);
            if (m == WM_TIMER) {
                if (result) EndDialog(h, result);
                DestroyWindow(h);
            }
            return 1;
        };
    };
    onMessage = destroyOnTick(0);
    EXPECT_EQ(runModal(), 0);
    onMessage = destroyOnTick(5);
    EXPECT_EQ(runModal(), 5);
}

TEST_F(DialogBoxTest, AStartUpThatDestroysTheWindowNeverShowsIt) {
    bool shownDuringBox = true;
    int timerTicks = 0;
    platform::testing::setMessageBoxInterceptor([&](HWND owner, const char*, const char*, UINT) {
        shownDuringBox = platform::testing::widgetOf(owner)->isVisible();
        return IDOK;
    });
    onMessage = [&](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            SetTimer(h, 0, 10, nullptr);
            MessageBoxA(h, "Can't initialize device\n(error code: 23)", "BASS Error!", MB_ICONWARNING);
            DestroyWindow(h);
        }
        if (m == WM_TIMER) ++timerTicks;
        return 1;
    };
    EXPECT_EQ(runModal(), 0);
    EXPECT_FALSE(shownDuringBox);
    platform::testing::pumpEvents(100);
    EXPECT_EQ(timerTicks, 0);
}

TEST_F(DialogBoxTest, EndDialogDuringStartUpReturnsItsResultAtOnce) {
    onMessage = [](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) EndDialog(h, 9);
        return 1;
    };
    EXPECT_EQ(runModal(), 9);
}

TEST_F(DialogBoxTest, AnUnknownTemplateRunsNothing) {
    onMessage = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR {
        ADD_FAILURE() << "no procedure call expected";
        return 0;
    };
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, modalProc, 0), -1);
    EXPECT_EQ(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, modalProc, 0), nullptr);
}

}  // namespace
