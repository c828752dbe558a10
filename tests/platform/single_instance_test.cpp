// One player per session: a second process cannot take the lock while the
// first holds it. The second process is this test program run again.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/single_instance.h"
#include "tests/support/wait_until.h"

namespace {

constexpr const char* kProbeVariable = "TUNELARK_LOCK_PROBE";

// Runs only in the child: tries the lock named by the variable, knocks on
// the holder's channel when refused, and says so through its exit code.
TEST(SingleInstanceProbe, TryTheLock) {
    const char* name = std::getenv(kProbeVariable);
    if (!name) GTEST_SKIP() << "runs only as the second process";
    _exit(acquireSingleInstance(name) ? 10 : knockOnRunningInstance(name) ? 11 : 13);
}

// 10: the child got the lock, 11: it did not and knocked on the holder's
// channel, 13: it did not and nobody listened.
int childTries(const std::string& name, const char* runtimeDir) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        setenv(kProbeVariable, name.c_str(), 1);
        if (runtimeDir)
            setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        execl("/proc/self/exe", "single_instance_test", "--gtest_filter=SingleInstanceProbe.*", nullptr);
        _exit(12);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tunelark-runtime-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        runtimeDir = pattern;
        name = "tunelark-test-" + std::to_string(getpid());
    }
    void TearDown() override { std::system(("rm -rf '" + runtimeDir + "'").c_str()); }

    std::string runtimeDir;
    std::string name;
};

TEST_F(SingleInstanceTest, ASecondProcessCannotTakeTheLockTheFirstHolds) {
    ASSERT_EQ(childTries(name, runtimeDir.c_str()), 10);  // free: the child takes it and ends
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    ASSERT_TRUE(acquireSingleInstance(name.c_str()));
    EXPECT_EQ(access((runtimeDir + "/" + name + ".lock").c_str(), F_OK), 0);
    EXPECT_EQ(childTries(name, runtimeDir.c_str()), 11);
    EXPECT_EQ(childTries(name + "-other", runtimeDir.c_str()), 10);  // another name is another lock
    EXPECT_TRUE(acquireSingleInstance(name.c_str()));                // the holder may ask again
}

TEST_F(SingleInstanceTest, KnocksReachTheHolderEvenBeforeItWatches) {
    const std::string holder = name + "-knock";
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    ASSERT_EQ(childTries(holder, runtimeDir.c_str()), 10);  // a holder that ended leaves its socket
    ASSERT_TRUE(acquireSingleInstance(holder.c_str()));
    ASSERT_EQ(childTries(holder, runtimeDir.c_str()), 11);  // while the holder still starts up
    int argc = 1;
    char program[] = "single_instance_test";
    char* argv[] = {program, nullptr};
    QCoreApplication application(argc, argv);
    int knocks = 0;
    watchForKnocks(holder.c_str(), [&knocks] { ++knocks; });
    const auto heard = [&knocks](int count) {
        return test::waitUntil(
            [&] {
                QCoreApplication::processEvents();
                return knocks == count;
            },
            60);
    };
    EXPECT_TRUE(heard(1));
    EXPECT_EQ(childTries(holder, runtimeDir.c_str()), 11);
    EXPECT_TRUE(heard(2));
}

TEST_F(SingleInstanceTest, WithoutARuntimeFolderTheLockLivesInTmp) {
    const std::string fallbackName = name + "-tmp";
    const std::string path = "/tmp/" + fallbackName + "-" + std::to_string(getuid()) + ".lock";
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(acquireSingleInstance(fallbackName.c_str()));
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(childTries(fallbackName, nullptr), 11);
    unlink(path.c_str());
    unlink((path.substr(0, path.size() - 5) + ".sock").c_str());
}

}  // namespace
