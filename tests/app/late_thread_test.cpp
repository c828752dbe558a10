// Exit does not wait for a connect thread still inside BASS_StreamCreateURL:
// such a thread may go on while the process runs its static destructors.
// A child run of this program calls what that thread calls (status text,
// download callback, title update, the next connection) once every ordinary
// global has been destroyed, and must still end cleanly.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "playback/stream_metadata.h"
#include "recording/recorder.h"
#include "state/control_update.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

const char* const kChildVariable = "TUNELARK_LATE_THREAD_CHILD";

// Built before, and so destroyed after, every global without a priority.
struct LateCalls {
    ~LateCalls() {
        if (!getenv(kChildVariable)) return;
        const char status[] = "ICY 200 OK\0";  // a header block ends with an empty text
        for (int i = 0; i < 3; ++i) {
            sendUpdate(decideText(IDC_STATUS, "connecting..."));
            followConnection(7);
            onDownloadBlock(status, 0, connectionUser(7));
            updateStreamTitle();
        }
    }
};
__attribute__((init_priority(101))) LateCalls lateCalls;

TEST(LateThread, ChildUsesTheGlobalsSoTheyHaveHistory) {
    if (!getenv(kChildVariable)) GTEST_SKIP() << "run by LateThread.CallsAfterStaticDestructionEndCleanly";
    for (int id = 1; id < 40; ++id) sendUpdate(decideText(id, "before exit"));
    updateStreamTitle();
}

TEST(LateThread, CallsAfterStaticDestructionEndCleanly) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv(kChildVariable, "1", 1);
        execl("/proc/self/exe", "late_thread_test", "--gtest_filter=LateThread.ChildUsesTheGlobalsSoTheyHaveHistory",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
