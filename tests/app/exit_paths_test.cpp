// The three ways out: Exit, Esc and the close box, in the modal run the
// program uses, and the single-instance guard of the real program.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/main_window.h"
#include "app/resources/main_dialog.h"
#include "engine/bass.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"

namespace {

enum class Way { ExitButton, Escape, CloseBox };
Way way;
const UINT_PTR actTimer = 77;

// The program's procedure, plus a timer that acts as the user once the
// window runs.
INT_PTR procWithUser(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == actTimer) {
        KillTimer(window, actTimer);
        switch (way) {
        case Way::ExitButton:
            platform::testing::click(GetDlgItem(window, IDC_EXIT));
            break;
        case Way::Escape:
            platform::testing::pressEscape(window);
            break;
        case Way::CloseBox:
            platform::testing::pressCloseBox(window);
            break;
        }
        return 1;
    }
    INT_PTR result = mainDialogProc(window, message, wParam, lParam);
    if (message == WM_INITDIALOG) SetTimer(window, actTimer, 100, nullptr);
    return result;
}

class ExitTest : public PlayerTest, public ::testing::WithParamInterface<Way> {};

TEST_P(ExitTest, EndsTheRunWithResultZeroAndReleasesTheEngine) {
    way = GetParam();
    registerMainDialogResources();
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, procWithUser, 0);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(player.mainWindow));
    BASS_INFO info;
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_TRUE(boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, ExitTest, ::testing::Values(Way::ExitButton, Way::Escape, Way::CloseBox));

pid_t startPlayer(const std::string& dir) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        execl(TUNELARK_PROGRAM, TUNELARK_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The exit status of pid, or -1 while it is still running after maxMs.
int waitExit(pid_t pid, int maxMs) {
    for (int waited = 0; waited < maxMs; waited += 20) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

// Whether pid holds a flock() lock, read from /proc/locks without touching
// the lock (taking it, even briefly, could turn the first player away).
bool holdsFileLock(pid_t pid) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, owner;
        fields >> number >> kind >> mode >> access >> owner;
        if (kind == "FLOCK" && owner == std::to_string(pid)) return true;
    }
    return false;
}

TEST_F(PlayerTest, SecondPlayerEndsAtOnceWithExitCodeZero) {
    std::string dir = workDir.string();
    pid_t first = startPlayer(dir);
    ASSERT_GT(first, 0);
    bool held = false;
    for (int i = 0; i < 1500 && !held; ++i) {
        held = holdsFileLock(first);
        if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(held) << "the first player never took its lock";
    pid_t second = startPlayer(dir);
    EXPECT_EQ(waitExit(second, 20000), 0);
    EXPECT_EQ(waitExit(first, 0), -1) << "the first player must keep running";
    kill(first, SIGTERM);
    if (waitExit(first, 10000) < 0) {
        kill(first, SIGKILL);
        waitExit(first, 10000);
    }
}

}  // namespace
