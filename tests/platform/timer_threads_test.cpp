// Window timers: WM_TIMER on the dialog's thread, set and killed from any
// thread, replaced by a second SetTimer with the same id.
#include <thread>

#include "tests/platform/dialog_fixture.h"

namespace {

using TimersTest = DialogTest;

size_t ticksOf(const std::vector<Received>& timers, UINT_PTR id) {
    size_t n = 0;
    for (const auto& t : timers) n += t.wParam == id;
    return n;
}

TEST_F(TimersTest, TimerTicksUntilKilled) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(SetTimer(dialog, 3, 20, nullptr), 3u);
    ASSERT_TRUE(pumpUntil([this] { return ticksOf(messages(WM_TIMER), 3) >= 3; }));
    EXPECT_EQ(messages(WM_TIMER)[0].lParam, 0);
    EXPECT_TRUE(KillTimer(dialog, 3));
    EXPECT_FALSE(KillTimer(dialog, 3));
    const size_t atKill = messages(WM_TIMER).size();
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(messages(WM_TIMER).size(), atKill);
}

TEST_F(TimersTest, TimerZeroWorksAndSettingAnIdAgainReplacesIt) {
    ASSERT_NE(open(), nullptr);
    EXPECT_NE(SetTimer(dialog, 0, 20, nullptr), 0u);
    ASSERT_TRUE(pumpUntil([this] { return ticksOf(messages(WM_TIMER), 0) >= 2; }));
    SetTimer(dialog, 0, 3600 * 1000, nullptr);
    const size_t atReplace = messages(WM_TIMER).size();
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(messages(WM_TIMER).size(), atReplace);
    EXPECT_TRUE(KillTimer(dialog, 0));
}

TEST_F(TimersTest, AnotherThreadSetsAndKillsTimersThatRunHere) {
    ASSERT_NE(open(), nullptr);
    std::thread([this] { SetTimer(dialog, 5, 15, nullptr); }).join();
    ASSERT_TRUE(pumpUntil([this] { return ticksOf(messages(WM_TIMER), 5) >= 3; }));
    BOOL killed = FALSE;
    std::thread([&] { killed = KillTimer(dialog, 5); }).join();
    EXPECT_TRUE(killed);
    const size_t afterKill = messages(WM_TIMER).size();
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(messages(WM_TIMER).size(), afterKill);
    // The fixture checks that every WM_TIMER came on the dialog's thread.
}

struct ProcTick {
    HWND window;
    UINT message;
    UINT_PTR id;
};
std::vector<ProcTick> procTicks;

void CALLBACK_timerProc(HWND window, UINT message, UINT_PTR id, DWORD) {
    procTicks.push_back({window, message, id});
}

TEST_F(TimersTest, TimerWithItsOwnProcedureCallsItInsteadOfTheDialog) {
    ASSERT_NE(open(), nullptr);
    procTicks.clear();
    SetTimer(dialog, 8, 15, CALLBACK_timerProc);
    ASSERT_TRUE(pumpUntil([] { return procTicks.size() >= 2; }));
    KillTimer(dialog, 8);
    EXPECT_EQ(procTicks[0].window, dialog);
    EXPECT_EQ(procTicks[0].message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(procTicks[0].id, 8u);
    EXPECT_TRUE(messages(WM_TIMER).empty());
}

TEST_F(TimersTest, ADestroyedWindowGetsNoMoreTicks) {
    ASSERT_NE(open(), nullptr);
    SetTimer(dialog, 2, 10, nullptr);
    ASSERT_TRUE(pumpUntil([this] { return !messages(WM_TIMER).empty(); }));
    DestroyWindow(dialog);
    const size_t atEnd = messages(WM_TIMER).size();
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(messages(WM_TIMER).size(), atEnd);
    EXPECT_FALSE(KillTimer(dialog, 2));
    dialog = nullptr;
}

}  // namespace
